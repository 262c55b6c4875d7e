#pragma once

#include <functional>

#include "ui/lists/PaneDocument.h"
#include "ui/lists/PaneListView.h"
#include "ui/lists/PreviewFlag.h"

namespace kelvane {

class ProfileFile;
class TemplateListModel;

// The template list: the project's 64 template slots, each labelled with the key that inserts it
// in the timeline. The user selects templates, fills a slot by dropping a file entry on it, edits
// templates, cuts, copies, pastes and deletes them, and drags one onto the timeline. With
// "Preview" on (INI section "EventView"), selecting one template shows its source image.
class TemplateListView : public PaneListView {
    Q_OBJECT

  public:
    // Shows the event dialog for the selected templates and applies it; true on OK.
    using PropertiesEditor = std::function<bool(QWidget* parent)>;

    TemplateListView(UiDocument& document, ProfileFile& profile, QWidget* parent = nullptr);
    ~TemplateListView() override;

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;

    void setPropertiesEditor(PropertiesEditor editor) { editProperties_ = std::move(editor); }
    uint32_t currentSlot() const { return current_; }
    bool previewOn() const { return preview_.on(); }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    void selectionChangedFromView(const std::vector<int>& rows) override;
    void currentChangedFromView(int row) override;
    void showOwnSelection() override { showFlags(); }
    void startRowDrag(int row) override;

  private:
    void showFlags();
    // Only slot `slot` selected and current, kept in view, previewed.
    void choose(uint32_t slot);
    void postPreview();
    void showProperties();
    bool selected(uint32_t slot) const;

    PaneDocument doc_;
    uint32_t current_ = 0;
    PreviewFlag preview_;
    TemplateListModel* model_;
    PropertiesEditor editProperties_;
    PaneSubscription updates_;
};

}  // namespace kelvane
