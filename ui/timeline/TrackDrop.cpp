#include "ui/timeline/TrackDrop.h"

#include <QMimeData>

#include "model/EventTemplate.h"
#include "model/Project.h"
#include "ui/dragdrop/MimeTypes.h"

namespace timeline {
namespace {

std::optional<uint32_t> slotNumber(const QMimeData* data, const QString& type, size_t count) {
    if (!data->hasFormat(type)) {
        return std::nullopt;
    }
    bool ok = false;
    const uint number = QString::fromLatin1(data->data(type)).trimmed().toUInt(&ok);
    if (!ok || number >= count) {
        return std::nullopt;
    }
    return uint32_t(number);
}

}  // namespace

std::optional<TrackDrop> TrackDrop::fromMime(const QMimeData* data) {
    if (!data) {
        return std::nullopt;
    }
    if (auto id = slotNumber(data, mime::kFileEntry, kelvane::kFileSlots)) {
        return TrackDrop{Source::File, *id};
    }
    if (auto slot = slotNumber(data, mime::kTemplateSlot, kelvane::kTemplateSlots)) {
        return TrackDrop{Source::Template, *slot};
    }
    return std::nullopt;
}

}  // namespace timeline
