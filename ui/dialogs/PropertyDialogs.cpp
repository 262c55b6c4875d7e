#include "ui/dialogs/PropertyDialogs.h"

#include <algorithm>
#include <optional>

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

// The dialog on one item (filled in) or several (blank); the values on OK.
std::optional<EventPropertyValues> runEventDialog(QWidget* parent, const TrackEvent* single,
                                                  RefTime frameDuration, bool withStart) {
    const EventPropertyValues values = single != nullptr
                                           ? eventPropertiesFrom(*single, frameDuration, withStart)
                                           : EventPropertyValues{};
    EventPropertiesDialog dialog(parent, values, single == nullptr);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.values();
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
    const auto events = project.tracks[track].EventSpan();
    const auto picked = std::count_if(events.begin(), events.end(), isPicked);
    if (picked == 0) {
        return false;
    }
    const TrackEvent* single =
        picked == 1 ? &*std::find_if(events.begin(), events.end(), isPicked) : nullptr;
    const RefTime frameDuration = project.settings.frameDuration;
    const auto values = runEventDialog(parent, single, frameDuration, true);
    if (!values) {
        return false;
    }
    const MovieFrameDuration movie = movieFrameDurations(project);
    return doc.Timeline().EditSelected(
        track,
        [&](TrackEvent& event) { applyEventProperties(*values, event, frameDuration, movie); },
        autoExtend);
}

bool editTemplateProperties(QWidget* parent, Document& doc) {
    const Project& project = doc.GetProject();
    auto selected = [](const EventTemplate& slot) { return (slot.flags & kEventSelected) != 0; };
    const auto count = std::count_if(project.templates.begin(), project.templates.end(), selected);
    if (count == 0) {
        return false;
    }
    const TrackEvent* single =
        count == 1 ? &*std::find_if(project.templates.begin(), project.templates.end(), selected)
                   : nullptr;
    const RefTime frameDuration = project.settings.frameDuration;
    const auto values = runEventDialog(parent, single, frameDuration, false);
    if (!values) {
        return false;
    }
    const MovieFrameDuration movie = movieFrameDurations(project);
    return doc.Templates().EditSelected(
        [&](EventTemplate& slot) { applyEventProperties(*values, slot, frameDuration, movie); });
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
