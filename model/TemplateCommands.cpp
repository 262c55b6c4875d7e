#include "model/TemplateCommands.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/Document.h"
#include "model/DocumentMessages.h"
#include "model/DocumentServices.h"
#include "model/EventClipboard.h"
#include "model/EventDefaults.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

bool IsSelected(const EventTemplate& slot) {
    return (slot.flags & kEventSelected) != 0;
}

}  // namespace

bool TemplateCommands::DropFile(uint32_t slot, int32_t fileId) {
    if (slot >= kTemplateSlots || fileId < 0 || size_t(fileId) >= kFileSlots) {
        return false;
    }
    Project& project = doc_.BeginEdit();
    int32_t width = 0;
    int32_t height = 0;
    doc_.Services().ImageSize(project.files[size_t(fileId)], width, height);
    StoreTemplate(project.templates[slot], project.templateExtras[slot],
                  NewEventDefaults(project, fileId, 0, width, height), EventExtras{});
    doc_.UpdateAllViews(nullptr, UpdateHint::Templates);
    return true;
}

bool TemplateCommands::EditSelected(
    const std::function<void(EventTemplate&)>& apply,
    const std::function<EventExtras(const EventTemplate& edited, const EventExtras&)>& extras) {
    const auto& slots = doc_.GetProject().templates;
    if (!apply || std::none_of(slots.begin(), slots.end(), IsSelected)) {
        return false;
    }
    Project& project = doc_.BeginEdit();
    for (size_t i = 0; i < kTemplateSlots; ++i) {
        EventTemplate& slot = project.templates[i];
        if (IsSelected(slot)) {
            apply(slot);
            slot.start = 0;
            if (extras) {
                project.templateExtras[i] = extras(slot, project.templateExtras[i]);
            }
        }
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Templates);
    return true;
}

bool TemplateCommands::Copy() {
    std::vector<TrackEvent> events;
    std::vector<EventExtras> extras;
    const Project& project = doc_.GetProject();
    for (size_t i = 0; i < kTemplateSlots; ++i) {
        if (IsUsedAndSelected(project.templates[i])) {
            events.push_back(project.templates[i]);
            extras.push_back(project.templateExtras[i]);
        }
    }
    if (events.empty()) {
        doc_.Prompt().ShowError(messages::kNothingToCopy);
        return false;
    }
    return PutEventsOnClipboard(doc_.SystemClipboard(), std::move(events), false, extras);
}

bool TemplateCommands::Cut() {
    // Like delete and paste, the cut takes a checkpoint: the clipboard is no copy the user can
    // count on to get the templates back (the next copy replaces it). Nothing goes unless the
    // clipboard took the templates.
    if (!Copy()) {
        return false;
    }
    Project& project = doc_.BeginEdit();
    for (size_t i = 0; i < kTemplateSlots; ++i) {
        if (IsUsedAndSelected(project.templates[i])) {
            project.templates[i].flags = 0;
            project.templateExtras[i] = EventExtras{};
        }
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Templates);
    return true;
}

bool TemplateCommands::Paste(uint32_t& cursor) {
    std::vector<TrackEvent> events;
    std::vector<EventExtras> extras;
    if (!TakeEventsFromClipboard(doc_.SystemClipboard(), events, &extras)) {
        return false;
    }
    Project& project = doc_.BeginEdit();
    auto& slots = project.templates;
    for (EventTemplate& slot : slots) {
        slot.flags &= ~uint32_t(kEventSelected);
    }
    uint32_t at = cursor % kTemplateSlots;
    for (size_t i = 0; i < events.size(); ++i) {
        // Only a used slot is stepped over; after the first event, the slot just written is.
        if (TemplateInUse(slots[at])) {
            at = (at + 1) % kTemplateSlots;
        }
        StoreTemplate(slots[at], project.templateExtras[at], events[i], extras[i]);
        slots[at].flags |= kEventUsed | kEventSelected;
    }
    cursor = at;
    doc_.UpdateAllViews(nullptr, UpdateHint::Templates);
    return true;
}

bool TemplateCommands::Delete() {
    const auto& slots = doc_.GetProject().templates;
    if (std::none_of(slots.begin(), slots.end(), IsUsedAndSelected)) {
        doc_.Prompt().ShowError(messages::kNothingToErase);
        return false;
    }
    Project& deleting = doc_.BeginEdit();
    for (size_t i = 0; i < kTemplateSlots; ++i) {
        if (IsSelected(deleting.templates[i])) {
            deleting.templates[i].flags = 0;
            deleting.templateExtras[i] = EventExtras{};
        }
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Templates);
    return true;
}

void TemplateCommands::Select(const SlotPredicate& selected, const void* sender) {
    if (!selected) {
        return;
    }
    bool changed = false;
    auto& slots = doc_.Model().templates;
    for (uint32_t i = 0; i < kTemplateSlots; ++i) {
        const uint32_t flags = selected(i, slots[i]) ? slots[i].flags | kEventSelected
                                                     : slots[i].flags & ~uint32_t(kEventSelected);
        changed |= flags != slots[i].flags;
        slots[i].flags = flags;
    }
    if (changed) {
        doc_.NotifySelection(sender, {SelectionChange::Scope::Templates, 0});
    }
}

void TemplateCommands::SelectAll(const void* sender) {
    Select([](uint32_t, const EventTemplate&) { return true; }, sender);
}

}  // namespace kelvane
