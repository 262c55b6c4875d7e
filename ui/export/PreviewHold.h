#pragma once

#include <QList>
#include <QPointer>

#include "model/ViewState.h"

class QWidget;

namespace kelvane {

class Document;
class PreviewView;

// For as long as it lives, the preview panes of `parent`'s window keep the picture they show and
// the preview request is empty, so that nothing but the export touches the project's sources.
// At its end the request comes back as pending, and the panes draw it afresh.
class PreviewHold {
  public:
    PreviewHold(QWidget* parent, Document& doc);
    ~PreviewHold();
    PreviewHold(const PreviewHold&) = delete;
    PreviewHold& operator=(const PreviewHold&) = delete;

  private:
    Document& doc_;
    PreviewRequest request_;
    QList<QPointer<PreviewView>> views_;
};

}  // namespace kelvane
