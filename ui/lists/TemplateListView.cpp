#include "ui/lists/TemplateListView.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "ui/lists/ListDrags.h"
#include "ui/lists/PaneMenu.h"
#include "ui/lists/TemplateListModel.h"

namespace kelvane {
namespace {

int32_t draggedFileId(const QDropEvent* event) {
    return fileEntryOf(event->mimeData());
}

}  // namespace

TemplateListView::TemplateListView(UiDocument& document, ProfileFile& profile, QWidget* parent)
    : PaneListView(parent),
      doc_(document),
      preview_(profile, "EventView"),
      model_(new TemplateListModel(doc_, current_, this)) {
    setAccessibleName(QStringLiteral("イベント一覧"));
    setModel(model_);
    updates_ = doc_.watch(this, [this](UpdateHint hint) {
        if (HasHint(hint, UpdateHint::Templates)) {
            model_->slotsChanged();
            showFlags();
        }
    });
    showFlags();
}

TemplateListView::~TemplateListView() = default;

bool TemplateListView::selected(uint32_t slot) const {
    return (doc_.project().templates[slot].flags & kEventSelected) != 0;
}

void TemplateListView::showFlags() {
    std::vector<int> rows;
    for (uint32_t i = 0; i < kTemplateSlots; ++i) {
        if (selected(i)) {
            rows.push_back(int(i));
        }
    }
    showSelection(rows, int(current_));
    model_->slotsChanged();
}

void TemplateListView::selectionChangedFromView(const std::vector<int>& rows) {
    std::array<bool, kTemplateSlots> chosen{};
    for (int row : rows) {
        chosen[size_t(row)] = true;
    }
    doc_.selectTemplates(this, [&chosen](uint32_t slot) { return chosen[slot]; });
    model_->slotsChanged();
}

void TemplateListView::currentChangedFromView(int row) {
    current_ = uint32_t(row);
    model_->slotsChanged();
}

void TemplateListView::postPreview() {
    if (preview_.on()) {
        doc_.requestEventPreview(this, doc_.project().templates[current_]);
    }
}

void TemplateListView::choose(uint32_t slot) {
    doc_.selectTemplates(this, [slot](uint32_t i) { return i == slot; });
    current_ = slot;
    showFlags();
    scrollTo(model_->index(int(slot)));
    postPreview();
}

void TemplateListView::mousePressEvent(QMouseEvent* event) {
    doc_.endDrag();
    setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton && index.isValid()) {
        // As list controls do: the row under the pointer becomes current; a selected row keeps
        // the rest of the selection with it.
        const uint32_t slot = uint32_t(index.row());
        if (selected(slot)) {
            current_ = slot;
            showFlags();
        } else {
            choose(slot);
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton || !index.isValid()) {
        event->accept();
        return;
    }
    const uint32_t slot = uint32_t(index.row());
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers & Qt::ControlModifier) {
        const bool was = selected(slot);
        doc_.selectTemplates(this, [&](uint32_t i) { return i == slot ? !was : selected(i); });
    } else if (modifiers & Qt::ShiftModifier) {
        // The templates strictly between the current slot and this one change state, then this.
        const uint32_t from = std::min(current_, slot);
        const uint32_t to = std::max(current_, slot);
        std::array<bool, kTemplateSlots> state{};
        for (uint32_t i = 0; i < kTemplateSlots; ++i) {
            const bool flip = (i > from && i < to) || i == slot;
            state[i] = flip ? !selected(i) : selected(i);
        }
        doc_.selectTemplates(this, [&state](uint32_t i) { return state[i]; });
    } else {
        doc_.selectTemplates(this, [slot](uint32_t i) { return i == slot; });
    }
    current_ = slot;
    size_t count = 0;
    for (uint32_t i = 0; i < kTemplateSlots; ++i) {
        count += selected(i) ? 1 : 0;
    }
    if (count == 1) {
        postPreview();
    }
    showFlags();
    if (TemplateInUse(doc_.project().templates[slot])) {
        armDrag(index.row(), event->position().toPoint());
    }
}

void TemplateListView::mouseReleaseEvent(QMouseEvent* event) {
    disarmDrag();
    doc_.endDrag();
    event->accept();
}

void TemplateListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid()) {
        return;
    }
    const uint32_t slot = uint32_t(index.row());
    const bool wasCurrent = current_ == slot;
    doc_.selectTemplates(this, [slot](uint32_t i) { return i == slot; });
    current_ = slot;
    showFlags();
    if (wasCurrent) {
        showProperties();
    }
}

void TemplateListView::keyPressEvent(QKeyEvent* event) {
    // A drag in progress, from here or from another pane, owns the keyboard.
    if (doc_.dragActive()) {
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (modifiers == Qt::NoModifier) {
        if (event->key() == Qt::Key_Up) {
            choose(current_ > 0 ? current_ - 1 : 0);
            return;
        }
        if (event->key() == Qt::Key_Down) {
            choose(std::min<uint32_t>(current_ + 1, kTemplateSlots - 1));
            return;
        }
        const auto& keys = doc_.templateKeys();
        for (uint32_t i = 0; i < kTemplateSlots; ++i) {
            if (keys[i] != u' ' && event->key() == int(keys[i])) {
                choose(i);
                return;
            }
        }
    }
    PaneListView::keyPressEvent(event);
}

void TemplateListView::focusOutEvent(QFocusEvent* event) {
    disarmDrag();
    PaneListView::focusOutEvent(event);
}

void TemplateListView::contextMenuEvent(QContextMenuEvent* event) {
    showPaneMenu(this, *this, event->globalPos(),
                 {{CommandId::Properties, "プロパティ(&S)..."},
                  kMenuSeparator,
                  {CommandId::EditCut, "切り取り(&T)"},
                  {CommandId::EditCopy, "コピー(&C)"},
                  {CommandId::EditPaste, "貼り付け(&P)"},
                  {CommandId::EditClear, "消去(&E)"},
                  kMenuSeparator,
                  {CommandId::EditSelectAll, "すべて選択(&A)"},
                  kMenuSeparator,
                  {CommandId::PreviewToggle, "プレビュー表示(&V)"}});
}

void TemplateListView::startRowDrag(int row) {
    const EventTemplate& slot = doc_.project().templates[size_t(row)];
    if (!TemplateInUse(slot)) {
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(templateSlotMime(uint32_t(row)));
    doc_.beginDrag(DragSource::Template, 0, &slot);
    drag->exec(Qt::CopyAction);
    doc_.endDrag();
}

void TemplateListView::dragEnterEvent(QDragEnterEvent* event) {
    if (draggedFileId(event) >= 0) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TemplateListView::dragMoveEvent(QDragMoveEvent* event) {
    if (draggedFileId(event) >= 0 && indexAt(event->position().toPoint()).isValid()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TemplateListView::dropEvent(QDropEvent* event) {
    const int32_t fileId = draggedFileId(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (fileId < 0 || !index.isValid()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    doc_.dropFileOnTemplate(uint32_t(index.row()), fileId);
}

bool TemplateListView::commandState(CommandId id, CommandState& state) const {
    switch (id) {
        case CommandId::EditCut:
        case CommandId::EditCopy:
        case CommandId::EditPaste:
        case CommandId::EditClear:
        case CommandId::EditSelectAll:
            state = CommandState{true, false};
            return true;
        case CommandId::Properties: {
            bool any = false;
            for (uint32_t i = 0; i < kTemplateSlots && !any; ++i) {
                any = selected(i);
            }
            state = CommandState{any && editProperties_, false};
            return true;
        }
        case CommandId::PreviewToggle:
            state = CommandState{true, preview_.on()};
            return true;
        default:
            return false;
    }
}

void TemplateListView::runCommand(CommandId id) {
    switch (id) {
        case CommandId::EditCut:
            doc_.cutTemplates();
            break;
        case CommandId::EditCopy:
            doc_.copyTemplates();
            break;
        case CommandId::EditPaste:
            doc_.pasteTemplates(current_);
            break;
        case CommandId::EditClear:
            doc_.deleteTemplates();
            break;
        case CommandId::EditSelectAll:
            doc_.selectTemplates(this, [](uint32_t) { return true; });
            break;
        case CommandId::Properties:
            showProperties();
            break;
        case CommandId::PreviewToggle:
            preview_.toggle();
            break;
        default:
            break;
    }
    showFlags();
}

void TemplateListView::showProperties() {
    uint32_t count = 0;
    uint32_t only = 0;
    for (uint32_t i = 0; i < kTemplateSlots; ++i) {
        if (selected(i)) {
            ++count;
            only = i;
        }
    }
    if (count == 0 || !editProperties_) {
        return;
    }
    if (editProperties_(this) && count == 1) {
        current_ = only;
    }
    showFlags();
}

}  // namespace kelvane
