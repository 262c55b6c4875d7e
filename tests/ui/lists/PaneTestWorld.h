#pragma once

#include <memory>
#include <string>

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "media/MediaDocumentServices.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "platform/ProfileFile.h"
#include "render/PixelImage.h"
#include "support/ScriptedPrompt.h"
#include "ui/preview/PreviewImageFile.h"

namespace lists {

std::u16string u16(const QString& text);
// The pixel tables and sampling matrix that drawing needs, built once.
void prepareRendering();

// A document over real media in a scratch folder, with its INI file and scripted messages.
struct PaneTestWorld {
    PaneTestWorld() { prepareRendering(); }

    // A picture file whose pixel (x, y) from the top is 0x00RRGGBB `colour(x, y)`.
    template <typename Colour>
    std::u16string picture(const QString& name, int width, int height, Colour colour) {
        kelvane::PixelImage image;
        image.Create(width, height, 32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                image.Row32(y)[x] = colour(x, y);
            }
        }
        const std::u16string path = u16(dir.filePath(name));
        kelvane::writePreviewImage(path, image);
        return path;
    }
    std::u16string picture(const QString& name, int width = 4, int height = 2) {
        return picture(name, width, height, [](int x, int y) { return uint32_t(x * 0x10 + y); });
    }
    QString file(const QString& name) const { return dir.filePath(name); }
    // Makes `count` files entries through the document, as a drop would.
    void addPictures(int count) {
        std::vector<std::u16string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(picture(QStringLiteral("p%1.bmp").arg(i)));
        }
        kelvane::FileSelection selection;
        doc.Files().AddDroppedFiles(paths, selection);
    }

    QTemporaryDir dir;
    kelvane::testing::ScriptedPrompt prompt{false};
    kelvane::MediaDocumentServices services{prompt};
    kelvane::MemoryClipboard clipboard;
    kelvane::Document doc{services, prompt, clipboard};
    kelvane::ProfileFile profile{u16(dir.filePath(QStringLiteral("kelvane.INI")))};
};

}  // namespace lists
