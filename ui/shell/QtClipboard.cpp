#include "ui/shell/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "ui/dragdrop/MimeTypes.h"

bool QtClipboard::Put(std::span<const uint8_t> block) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    auto* data = new QMimeData;
    data->setData(mime::kEventBlock,
                  QByteArray(reinterpret_cast<const char*>(block.data()), qsizetype(block.size())));
    clipboard->setMimeData(data);
    return true;
}

bool QtClipboard::Get(std::vector<uint8_t>& block) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    if (data == nullptr || !data->hasFormat(mime::kEventBlock)) {
        return false;
    }
    const QByteArray bytes = data->data(mime::kEventBlock);
    block.assign(bytes.begin(), bytes.end());
    return true;
}
