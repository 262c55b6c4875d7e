#include "ui/export/PreviewHold.h"

#include <QWidget>

#include "model/Document.h"
#include "ui/preview/PreviewView.h"

namespace kelvane {

PreviewHold::PreviewHold(QWidget* parent, Document& doc)
    : doc_(doc), request_(doc.Views().preview) {
    if (parent != nullptr) {
        for (PreviewView* view : parent->window()->findChildren<PreviewView*>()) {
            view->holdPicture(true);
            views_.append(view);
        }
    }
    doc_.Views().preview = PreviewRequest{};
    doc_.Views().preview.pending = true;
}

PreviewHold::~PreviewHold() {
    doc_.Views().preview = request_;
    doc_.Views().preview.pending = true;
    for (const QPointer<PreviewView>& view : views_) {
        if (view != nullptr) {
            view->holdPicture(false);
        }
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Preview);
}

}  // namespace kelvane
