#include "ui/dialogs/PropertyDialogs.h"

#include <algorithm>
#include <optional>

#include "media/EffectParams.h"
#include "media/EffectPlugin.h"
#include "media/MediaSource.h"
#include "model/Project.h"
#include "ui/dialogs/EventPropertiesDialog.h"
#include "ui/dialogs/FilePropertiesDialog.h"
#include "ui/dialogs/FontChoices.h"
#include "ui/dialogs/ProjectPropertiesDialog.h"

// Every call into the document lives in this file, so that a change of the document's interface
// touches the dialogs in one place only.

namespace kelvane {

namespace {

bool isPicked(const TrackEvent& event) {
    return (event.flags & (kEventUsed | kEventSelected)) == (kEventUsed | kEventSelected);
}

// The effect whose parameters the items draw with: only when every item names the same effect
// entry and its effect takes parameters. `extras` holds each item's.
std::optional<EffectParamContext> effectParamsOf(const Project& project, int32_t fileId,
                                                 const std::vector<const EventExtras*>& extras) {
    if (fileId < 0 || size_t(fileId) >= kFileSlots) {
        return std::nullopt;
    }
    const FileEntry& entry = project.files[size_t(fileId)];
    const MediaSource* source = MediaSource::Of(entry);
    if (entry.kind != FileKind::Effect || source == nullptr || !source->effect ||
        !source->effect->TakesParams() || source->effect->Params().empty()) {
        return std::nullopt;
    }
    EffectParamContext context;
    context.infos = source->effect->Params();
    std::vector<const EffectParamList*> stored;
    for (const EventExtras* item : extras) {
        stored.push_back(item->effectParams.get());
    }
    context.shown = CommonEffectParams(context.infos, stored);
    return context;
}

// Each item's new extras from its present ones, with the changed parameters.
std::function<EventExtras(const EventExtras&)> withEffectEdits(std::vector<EffectParamInfo> infos,
                                                               EffectParamEdits edits) {
    return [infos = std::move(infos), edits = std::move(edits)](const EventExtras& present) {
        EventExtras changed = present;
        changed.effectParams = ApplyEffectParamEdits(infos, present.effectParams.get(), edits);
        return changed;
    };
}

struct EventDialogResult {
    EventPropertyValues values;
    std::vector<EffectParamInfo> infos;  // the effect's parameters, when the page was offered
    EffectParamEdits edits;
    // Each item's new extras from its present ones; empty when no parameter changed.
    std::function<EventExtras(const EventExtras&)> extras() const {
        if (std::none_of(edits.begin(), edits.end(), [](const auto& e) { return e.has_value(); })) {
            return {};
        }
        return withEffectEdits(infos, edits);
    }
};

// The dialog on one item (filled in) or several (blank); the values on OK.
std::optional<EventDialogResult> runEventDialog(QWidget* parent, const TrackEvent* single,
                                                RefTime frameDuration, bool withStart,
                                                std::optional<EffectParamContext> effect) {
    const EventPropertyValues values = single != nullptr
                                           ? eventPropertiesFrom(*single, frameDuration, withStart)
                                           : EventPropertyValues{};
    std::vector<EffectParamInfo> infos;
    if (effect) {
        infos = effect->infos;
    }
    EventPropertiesDialog dialog(parent, values, single == nullptr, std::move(effect));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return EventDialogResult{dialog.values(), std::move(infos), dialog.effectEdits()};
}

// The one file ID all the items name; -1 when they differ.
template <typename Items>
int32_t sharedFileId(const Items& items) {
    int32_t fileId = -1;
    for (const auto* item : items) {
        if (fileId != -1 && item->fileId != fileId) {
            return -1;
        }
        fileId = item->fileId;
    }
    return fileId;
}

MovieFrameDuration movieFrameDurations(const Project& project) {
    return [&project](int32_t fileId) -> RefTime {
        if (fileId < 0 || size_t(fileId) >= kFileSlots) {
            return 0;
        }
        const FileEntry& entry = project.files[size_t(fileId)];
        return entry.kind == FileKind::Movie ? MediaSource::GetFrameDuration(entry) : 0;
    };
}

}  // namespace

bool editTrackEventProperties(QWidget* parent, Document& doc, uint32_t track, bool autoExtend) {
    const Project& project = doc.GetProject();
    if (track >= kTrackCount) {
        return false;
    }
    const Track& t = project.tracks[track];
    const auto events = t.EventSpan();
    std::vector<const TrackEvent*> picked;
    std::vector<const EventExtras*> pickedExtras;
    for (uint32_t i = 0; i < events.size(); ++i) {
        if (isPicked(events[i])) {
            picked.push_back(&events[i]);
            pickedExtras.push_back(&t.ExtrasAt(i));
        }
    }
    if (picked.empty()) {
        return false;
    }
    const TrackEvent* single = picked.size() == 1 ? picked[0] : nullptr;
    const RefTime frameDuration = project.settings.frameDuration;
    auto effect = effectParamsOf(project, sharedFileId(picked), pickedExtras);
    if (effect) {
        // The preview follows the parameters while their page is open; however the dialog ends,
        // the track is put back first, and OK then makes the one edit that undo takes back.
        effect->preview = [&doc, track, infos = effect->infos](const EffectParamEdits& edits) {
            doc.Timeline().PreviewSelectedExtras(track, withEffectEdits(infos, edits));
        };
    }
    const auto result = runEventDialog(parent, single, frameDuration, true, std::move(effect));
    doc.Timeline().EndPreview();
    if (!result) {
        return false;
    }
    const MovieFrameDuration movie = movieFrameDurations(project);
    return doc.Timeline().EditSelected(
        track,
        [&](TrackEvent& event) {
            applyEventProperties(result->values, event, frameDuration, movie);
        },
        autoExtend, result->extras());
}

bool editTemplateProperties(QWidget* parent, Document& doc) {
    const Project& project = doc.GetProject();
    std::vector<const TrackEvent*> picked;
    std::vector<const EventExtras*> pickedExtras;
    for (size_t i = 0; i < kTemplateSlots; ++i) {
        if ((project.templates[i].flags & kEventSelected) != 0) {
            picked.push_back(&project.templates[i]);
            pickedExtras.push_back(&project.templateExtras[i]);
        }
    }
    if (picked.empty()) {
        return false;
    }
    const TrackEvent* single = picked.size() == 1 ? picked[0] : nullptr;
    const RefTime frameDuration = project.settings.frameDuration;
    auto effect = effectParamsOf(project, sharedFileId(picked), pickedExtras);
    const auto result = runEventDialog(parent, single, frameDuration, false, std::move(effect));
    if (!result) {
        return false;
    }
    const MovieFrameDuration movie = movieFrameDurations(project);
    return doc.Templates().EditSelected(
        [&](EventTemplate& slot) {
            applyEventProperties(result->values, slot, frameDuration, movie);
        },
        result->extras());
}

bool editFileProperties(QWidget* parent, Document& doc, uint32_t id, FileSelection& selection) {
    if (id >= kFileSlots) {
        return false;
    }
    const Project& project = doc.GetProject();
    FilePropertiesForm form = doc.Files().FormForDialog(id);
    if (!project.files[id].Used()) {
        // A new entry: should it become a text, it starts legible in Japanese.
        form.font = defaultTextFont(installedFonts());
    }
    FilePropertiesDialog dialog(
        parent, form,
        FileDialogPaths{
            QString::fromStdU16String(std::u16string(PathView(project.settings.basePath))),
            QString::fromStdU16String(std::u16string(PathView(project.projectFolder)))});
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return doc.Files().ApplyProperties(id, dialog.form(), selection);
}

bool editProjectSettings(QWidget* parent, Document& doc) {
    ProjectPropertiesDialog dialog(parent, doc.Settings().FormForDialog());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return doc.Settings().Apply(dialog.form());
}

}  // namespace kelvane
