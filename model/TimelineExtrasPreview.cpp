// The event dialog's preview of pending extras on the timeline: shown in the live project without
// an edit, and taken back by restoring the track's very arrays.
#include <new>
#include <utility>
#include <vector>

#include "model/Document.h"
#include "model/EventClipboard.h"
#include "model/TimelineCommands.h"

namespace kelvane {

namespace {

// The events and extras as they were; the renderer's scan starts over, since what it last
// evaluated was the preview.
void Restore(Track& track, const Track& original) {
    track.ShareFrom(original);
    track.EvalState().ForgetPosition();
}

}  // namespace

bool TimelineCommands::PreviewSelectedExtras(
    uint32_t track, const std::function<EventExtras(const EventExtras&)>& extras) {
    Track* t = EditableTrack(track);
    if (!t || !extras) {
        return false;
    }
    if (previewOriginal_ && previewTrack_ != track) {
        EndPreview();
    }
    if (!previewOriginal_) {
        previewOriginal_.reset(new (std::nothrow) Track);
        if (!previewOriginal_) {
            return false;
        }
        previewOriginal_->ShareFrom(*t);
        previewTrack_ = track;
    } else {
        // Each preview starts from the events as they were, not from the last preview.
        Restore(*t, *previewOriginal_);
    }
    const Track& original = *previewOriginal_;
    bool shown = true;
    try {
        std::vector<uint32_t> picked;
        const auto events = original.EventSpan();
        for (uint32_t i = 0; i < events.size(); ++i) {
            if (IsUsedAndSelected(events[i])) {
                picked.push_back(i);
            }
        }
        for (uint32_t i : picked) {
            if (!t->SetExtras(i, extras(original.ExtrasAt(i)))) {
                shown = false;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        shown = false;
    }
    if (!shown) {
        Restore(*t, original);
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
    return shown;
}

void TimelineCommands::EndPreview() {
    if (!previewOriginal_) {
        return;
    }
    Restore(doc_.Model().tracks[previewTrack_], *previewOriginal_);
    previewOriginal_.reset();
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
}

}  // namespace kelvane
