#pragma once

#include <cstdint>
#include <functional>

#include "model/EventExtras.h"
#include "model/EventTemplate.h"

namespace kelvane {

class Document;

// The commands on the 64 template slots (the event list), clipboard included. Edits update the
// views with UpdateHint::Templates. Selection changes are no edits: no checkpoint, no modified
// flag, a selection notification only.
class TemplateCommands {
  public:
    using SlotPredicate = std::function<bool(uint32_t slot, const EventTemplate& content)>;

    explicit TemplateCommands(Document& document) : doc_(document) {}

    // A file dropped on a slot: the slot becomes a new event with the defaults.
    bool DropFile(uint32_t slot, int32_t fileId);
    // The event property dialog ended with OK for the templates carrying Selected.
    // `extras` (when given) gives each, as `apply` left it, its new extras from its present ones.
    bool EditSelected(const std::function<void(EventTemplate&)>& apply,
                      const std::function<EventExtras(const EventTemplate& edited,
                                                      const EventExtras&)>& extras = {});
    bool Copy();
    bool Cut();
    // Fills slots from `cursor` on; `cursor` ends on the last slot written.
    bool Paste(uint32_t& cursor);
    bool Delete();

    // Every slot becomes selected exactly when `selected` says so.
    void Select(const SlotPredicate& selected, const void* sender = nullptr);
    void SelectAll(const void* sender = nullptr);

  private:
    Document& doc_;
};

}  // namespace kelvane
