#include "ui/lists/ListDrags.h"

#include <QMimeData>

#include "model/Project.h"
#include "ui/dragdrop/MimeTypes.h"

namespace kelvane {

QMimeData* fileEntryMime(uint32_t fileId) {
    auto* data = new QMimeData;
    data->setData(mime::kFileEntry, QByteArray::number(fileId));
    return data;
}

QMimeData* templateSlotMime(uint32_t slot) {
    auto* data = new QMimeData;
    data->setData(mime::kTemplateSlot, QByteArray::number(slot));
    return data;
}

int32_t fileEntryOf(const QMimeData* data) {
    if (data == nullptr || !data->hasFormat(mime::kFileEntry)) {
        return -1;
    }
    bool ok = false;
    const uint id = data->data(mime::kFileEntry).toUInt(&ok);
    return ok && id < kFileSlots ? int32_t(id) : -1;
}

}  // namespace kelvane
