#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/Subscription.h"
#include "model/UpdateHint.h"

namespace kelvane {

// Which selection changed: the Selected flags of one track's events, or of the template slots.
struct SelectionChange {
    enum class Scope { TrackEvents, Templates };
    Scope scope = Scope::TrackEvents;
    uint32_t track = 0;  // for TrackEvents
};

// The document's notifications. Keep the returned Subscription for as long as the callback may
// run (a view keeps it as a member). Views pass themselves as `owner`: a change that a view
// makes with itself as sender is not reported back to it.
class DocumentObservers {
  public:
    using UpdateCallback = std::function<void(const void* sender, UpdateHint hint)>;
    using SelectionCallback =
        std::function<void(const void* sender, const SelectionChange& change)>;

    // The project changed as the hint says.
    Subscription OnUpdate(const void* owner, UpdateCallback callback) {
        return updates_.Add(owner, std::move(callback));
    }
    // Selected flags changed (no edit: nothing is modified or undoable).
    Subscription OnSelectionChanged(const void* owner, SelectionCallback callback) {
        return selection_.Add(owner, std::move(callback));
    }
    // The modified flag took a new value.
    Subscription OnModifiedChanged(std::function<void(bool modified)> callback) {
        return modified_.Add(nullptr, std::move(callback));
    }
    // Undo or redo became available or unavailable.
    Subscription OnUndoRedoChanged(std::function<void(bool canUndo, bool canRedo)> callback) {
        return undoRedo_.Add(nullptr, std::move(callback));
    }
    // The window title changed ("<name> - Kelvane").
    Subscription OnTitleChanged(std::function<void(const std::u16string& title)> callback) {
        return title_.Add(nullptr, std::move(callback));
    }

  private:
    friend class Document;

    ObserverList<const void*, UpdateHint> updates_;
    ObserverList<const void*, const SelectionChange&> selection_;
    ObserverList<bool> modified_;
    ObserverList<bool, bool> undoRedo_;
    ObserverList<const std::u16string&> title_;
};

}  // namespace kelvane
