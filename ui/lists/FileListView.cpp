#include "ui/lists/FileListView.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

#include "ui/lists/FileDropProgress.h"
#include "ui/lists/FileListModel.h"
#include "ui/lists/ListDrags.h"
#include "ui/lists/PaneMenu.h"

namespace kelvane {
namespace {

std::vector<std::u16string> localPaths(const QMimeData* data) {
    std::vector<std::u16string> paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            const QString path = url.toLocalFile();
            paths.emplace_back(reinterpret_cast<const char16_t*>(path.utf16()),
                               size_t(path.size()));
        }
    }
    return paths;
}

}  // namespace

FileListView::FileListView(UiDocument& document, ProfileFile& profile, QWidget* parent)
    : PaneListView(parent),
      doc_(document),
      preview_(profile, "FileView"),
      model_(new FileListModel(doc_, selection_, this)) {
    setAccessibleName(QStringLiteral("ファイル一覧"));
    setModel(model_);
    updates_ = doc_.watch(this, [this](UpdateHint hint) {
        if (HasHint(hint, UpdateHint::FileList)) {
            layoutRows();
        }
    });
    layoutRows();
}

FileListView::~FileListView() = default;

void FileListView::layoutRows() {
    for (uint32_t id = 0; id < kFileSlots; ++id) {
        if (!doc_.project().files[id].Used()) {
            selection_.marks.reset(id);
        }
    }
    model_->reload();
    showMarks();
}

void FileListView::showMarks() {
    std::vector<int> rows;
    const std::vector<uint32_t>& ids = model_->ids();
    for (size_t row = 0; row < ids.size(); ++row) {
        if (selection_.marks.test(ids[row])) {
            rows.push_back(int(row));
        }
    }
    showSelection(rows, model_->rowOf(selection_.cursor));
    model_->marksChanged();
}

void FileListView::selectionChangedFromView(const std::vector<int>& rows) {
    selection_.marks.reset();
    for (int row : rows) {
        selection_.marks.set(model_->idAt(row));
    }
    model_->marksChanged();
}

void FileListView::currentChangedFromView(int row) {
    selection_.cursor = model_->idAt(row);
    model_->marksChanged();
}

void FileListView::pressRow(uint32_t id, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::ControlModifier) {
        selection_.marks.flip(id);
    } else if (modifiers & Qt::ShiftModifier) {
        // The files strictly between the current one and this one change state, then this one.
        const uint32_t from = std::min(selection_.cursor, id);
        const uint32_t to = std::max(selection_.cursor, id);
        for (uint32_t k = from + 1; k < to; ++k) {
            if (doc_.project().files[k].Used()) {
                selection_.marks.flip(k);
            }
        }
        selection_.marks.flip(id);
    } else {
        selection_.marks.reset();
        selection_.marks.set(id);
    }
    selection_.cursor = id;
    if (selection_.marks.count() == 1) {
        postPreview();
    }
    showMarks();
}

void FileListView::postPreview() {
    if (preview_.on()) {
        doc_.requestFilePreview(this, selection_.cursor);
    }
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    doc_.endDrag();
    setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton && index.isValid()) {
        // As list controls do: the row under the pointer becomes current, so that the menu's
        // commands act on what the user pointed at. A marked row keeps the other marks with it.
        const uint32_t id = model_->idAt(index.row());
        if (selection_.marks.test(id)) {
            selection_.cursor = id;
            showMarks();
        } else {
            pressRow(id, Qt::NoModifier);
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (!index.isValid()) {
        selection_.marks.reset();
        showMarks();
        return;
    }
    pressRow(model_->idAt(index.row()), event->modifiers());
    // Every press on a row may become a drag onto the timeline or the template list.
    armDrag(index.row(), event->position().toPoint());
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    disarmDrag();
    doc_.endDrag();
    event->accept();
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid()) {
        return;
    }
    const uint32_t id = model_->idAt(index.row());
    const bool wasCurrent = selection_.cursor == id;
    selection_.marks.reset();
    selection_.marks.set(id);
    selection_.cursor = id;
    showMarks();
    if (wasCurrent) {
        showProperties();
    }
}

void FileListView::step(int direction) {
    // The nearest used slot below (Up) or above (Down) the current file, if any.
    int64_t k = int64_t(selection_.cursor) + direction;
    for (; k >= 0 && k < int64_t(kFileSlots); k += direction) {
        if (doc_.project().files[size_t(k)].Used()) {
            selection_.cursor = uint32_t(k);
            break;
        }
    }
    selection_.marks.reset();
    if (doc_.project().files[selection_.cursor].Used()) {
        selection_.marks.set(selection_.cursor);
    }
    showMarks();
    const int row = model_->rowOf(selection_.cursor);
    if (row >= 0) {
        scrollTo(model_->index(row));
    }
    postPreview();
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Up) {
            step(-1);
            return;
        }
        if (event->key() == Qt::Key_Down) {
            step(+1);
            return;
        }
        if (event->key() == Qt::Key_Insert) {
            runCommand(CommandId::PlaceOnTimeline);
            return;
        }
    }
    PaneListView::keyPressEvent(event);
}

void FileListView::focusOutEvent(QFocusEvent* event) {
    disarmDrag();
    PaneListView::focusOutEvent(event);
}

void FileListView::contextMenuEvent(QContextMenuEvent* event) {
    showPaneMenu(this, *this, event->globalPos(),
                 {{CommandId::Properties, "プロパティ(&S)..."},
                  {CommandId::AddFile, "追加(&N)..."},
                  {CommandId::DuplicateFile, "複製(&X)"},
                  {CommandId::PlaceOnTimeline, "タイムラインに配置(&T)"},
                  kMenuSeparator,
                  {CommandId::EditClear, "消去(&E)"},
                  kMenuSeparator,
                  {CommandId::EditSelectAll, "すべて選択(&A)"},
                  kMenuSeparator,
                  {CommandId::PreviewToggle, "プレビュー表示(&V)"}});
}

void FileListView::startRowDrag(int row) {
    const uint32_t id = model_->idAt(row);
    auto* drag = new QDrag(this);
    drag->setMimeData(fileEntryMime(id));
    doc_.beginDrag(DragSource::File, int32_t(id), nullptr);
    drag->exec(Qt::CopyAction);
    doc_.endDrag();
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!localPaths(event->mimeData()).empty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FileListView::dropEvent(QDropEvent* event) {
    const std::vector<std::u16string> paths = localPaths(event->mimeData());
    if (paths.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The files are added once the drop is over: until then the program the files came from
    // holds the pointer, and neither "中止" nor a message could be answered.
    QTimer::singleShot(0, this, [this, paths] { addDroppedFiles(paths); });
}

void FileListView::addDroppedFiles(const std::vector<std::u16string>& paths) {
    FileDropProgress progress(this, paths.size(), progressDelayMs_);
    doc_.addDroppedFiles(
        paths, selection_,
        [&progress](size_t done, size_t total) { return progress.step(done, total); },
        [&progress] { progress.close(); });
}

bool FileListView::commandState(CommandId id, CommandState& state) const {
    switch (id) {
        case CommandId::EditClear:
        case CommandId::EditSelectAll:
        case CommandId::DuplicateFile:
            state = CommandState{true, false};
            return true;
        // Both need the property dialog.
        case CommandId::AddFile:
            state = CommandState{bool(editProperties_), false};
            return true;
        case CommandId::Properties:
            state = CommandState{editProperties_ && selection_.marks.test(selection_.cursor) &&
                                     doc_.project().files[selection_.cursor].Used(),
                                 false};
            return true;
        case CommandId::PreviewToggle:
            state = CommandState{true, preview_.on()};
            return true;
        case CommandId::PlaceOnTimeline:
            state = CommandState{placeOnTimeline_ && doc_.project().files[selection_.cursor].Used(),
                                 false};
            return true;
        default:
            return false;
    }
}

void FileListView::runCommand(CommandId id) {
    switch (id) {
        case CommandId::EditClear:
            doc_.deleteFiles(selection_);
            break;
        case CommandId::EditSelectAll:
            for (uint32_t k = 0; k < kFileSlots; ++k) {
                selection_.marks.set(k, doc_.project().files[k].Used());
            }
            showMarks();
            break;
        case CommandId::Properties:
            if (selection_.marks.test(selection_.cursor)) {
                showProperties();
            }
            break;
        case CommandId::AddFile:
            addFile();
            break;
        case CommandId::DuplicateFile:
            doc_.duplicateFiles(selection_);  // the document's update lays the rows out
            break;
        case CommandId::PreviewToggle:
            preview_.toggle();
            break;
        case CommandId::PlaceOnTimeline:
            if (placeOnTimeline_ && doc_.project().files[selection_.cursor].Used()) {
                placeOnTimeline_(selection_.cursor);
            }
            break;
        default:
            break;
    }
}

void FileListView::showProperties() {
    if (editProperties_ && doc_.project().files[selection_.cursor].Used()) {
        editProperties_(this, selection_.cursor, selection_);
    }
    layoutRows();
}

void FileListView::addFile() {
    doc_.addFile(selection_, [this](uint32_t id) {
        if (editProperties_) {
            editProperties_(this, id, selection_);
        }
    });
    layoutRows();
}

}  // namespace kelvane
