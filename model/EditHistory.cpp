#include "model/EditHistory.h"

#include <cstring>
#include <string_view>

#include "model/DocumentServices.h"

namespace kelvane {
namespace {

bool SamePath(const PathBuffer& a, const PathBuffer& b) {
    return PathView(a) == PathView(b);  // exact: paths differing only in case are other files
}

bool SameFont(const LogFont& a, const LogFont& b) {
    return std::memcmp(&a, &b, sizeof(LogFont)) == 0;
}

// Brings one live slot to the snapshot's description, loading only when the loaded object no
// longer matches it.
bool RestoreSlot(const Project& snapshot, const FileEntry& s, FileEntry& l,
                 DocumentServices& services) {
    switch (s.kind) {
        case FileKind::Movie:
            if (l.kind != s.kind || !SamePath(l.path, s.path) ||
                l.referenceDuration != s.referenceDuration) {
                l.referenceDuration = s.referenceDuration;
                if (!services.OpenFile(snapshot, l, s.kind, PathView(s.path))) {
                    return false;
                }
            }
            break;
        case FileKind::Image:
        case FileKind::Effect:
        case FileKind::Project:
            if (l.kind != s.kind || !SamePath(l.path, s.path)) {
                if (!services.OpenFile(snapshot, l, s.kind, PathView(s.path))) {
                    return false;
                }
            }
            break;
        case FileKind::Text:
            // The text colour is drawn into the image, so a colour change needs a new image too.
            if (l.kind != s.kind || l.text != s.text || !SameFont(l.font, s.font) ||
                l.colour != s.colour) {
                return services.MakeText(l, s.text, s.TextColour(), s.font);
            }
            return true;
        default:
            if (l.Used()) {
                l.Release();
            }
            return true;
    }
    // The transparent colour is applied when drawing, never baked into the loaded image: taking
    // the snapshot's colour also undoes an edit that changed nothing but the colour.
    if (s.kind != FileKind::Effect) {
        l.colour = s.colour;
    }
    return true;
}

// Tracks, templates and settings: the part of a copy that both modes share. The event arrays are
// shared, not copied: an edit gives the live track a new array or unshares it before writing, so
// a snapshot keeps what it saw at no cost for the tracks an edit did not touch.
void CopyEditedData(const Project& from, Project& to) {
    for (size_t t = 0; t < kTrackCount; ++t) {
        to.tracks[t].ShareFrom(from.tracks[t]);
    }
    to.templates = from.templates;
    to.templateExtras = from.templateExtras;
    std::memcpy(to.projectFolder, from.projectFolder, sizeof(to.projectFolder));
    to.settings = from.settings;
    to.CopyDefaultMethodToTracks();
}

}  // namespace

bool CopyProjectSnapshot(const Project& live, Project& snapshot) {
    for (size_t i = 0; i < kFileSlots; ++i) {
        if (!snapshot.files[i].CopyDescriptorFrom(live.files[i])) {
            return false;
        }
    }
    CopyEditedData(live, snapshot);
    return true;
}

bool RestoreProjectSnapshot(const Project& snapshot, Project& live, DocumentServices& services) {
    for (size_t i = 0; i < kFileSlots; ++i) {
        if (!RestoreSlot(snapshot, snapshot.files[i], live.files[i], services)) {
            return false;
        }
    }
    CopyEditedData(snapshot, live);
    return true;
}

bool EditHistory::Checkpoint(Project& live) {
    Slot(position_).reset();
    std::unique_ptr<Project> snapshot = Project::Create();
    if (!snapshot || !CopyProjectSnapshot(live, *snapshot)) {
        return false;
    }
    Slot(position_) = std::move(snapshot);
    ++position_;
    newest_ = position_;
    if (position_ - oldest_ > kRingSize - 1) {
        oldest_ = position_ - (kRingSize - 1);
    }
    // Drops the redo entries and frees the slot that the next checkpoint fills.
    for (uint32_t q = position_; q <= oldest_ + (kRingSize - 1); ++q) {
        Slot(q).reset();
    }
    live.CopyDefaultMethodToTracks();
    return true;
}

bool EditHistory::Undo(Project& live, DocumentServices& services, bool* restored) {
    if (oldest_ >= position_ || !Slot(position_ - 1)) {
        return false;
    }
    if (position_ == newest_) {
        // The live state is kept so that redo can come back to it; a slot left by an earlier
        // undo is reused.
        std::unique_ptr<Project>& slot = Slot(position_);
        if (!slot) {
            slot = Project::Create();
        }
        if (!slot || !CopyProjectSnapshot(live, *slot)) {
            slot.reset();
            return false;
        }
    }
    --position_;
    const bool complete = RestoreProjectSnapshot(*Slot(position_), live, services);
    if (restored) {
        *restored = complete;
    }
    return true;
}

bool EditHistory::Redo(Project& live, DocumentServices& services, bool* restored) {
    if (position_ >= newest_ || !Slot(position_ + 1)) {
        return false;
    }
    ++position_;
    const bool complete = RestoreProjectSnapshot(*Slot(position_), live, services);
    if (restored) {
        *restored = complete;
    }
    return true;
}

void EditHistory::Clear() {
    for (std::unique_ptr<Project>& slot : ring_) {
        slot.reset();
    }
    position_ = 0;
    oldest_ = 0;
    newest_ = 0;
}

size_t EditHistory::SnapshotCount() const {
    size_t n = 0;
    for (const std::unique_ptr<Project>& slot : ring_) {
        n += slot ? 1 : 0;
    }
    return n;
}

}  // namespace kelvane
