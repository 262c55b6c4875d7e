#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/DocumentForms.h"
#include "ui/lists/PaneDocument.h"
#include "ui/lists/PaneListView.h"
#include "ui/lists/PreviewFlag.h"

namespace kelvane {

class FileListModel;
class ProfileFile;

// The file list: the used slots of the project's file table, one row each in ID order. The user
// selects files, adds, duplicates and deletes them, edits their properties, drops files from the
// desktop on it and drags an entry onto the timeline or the template list. With "Preview" on
// (INI section "FileView"), selecting one file shows it in the preview pane.
class FileListView : public PaneListView {
    Q_OBJECT

  public:
    // Shows the property dialog of slot `id` and applies it through the document; true on OK.
    using PropertiesEditor =
        std::function<bool(QWidget* parent, uint32_t id, FileSelection& selection)>;

    FileListView(UiDocument& document, ProfileFile& profile, QWidget* parent = nullptr);
    ~FileListView() override;

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;

    void setPropertiesEditor(PropertiesEditor editor) { editProperties_ = std::move(editor); }
    // Puts file `id` on the timeline as a drop there would ("タイムラインに配置", Insert).
    using TimelinePlacer = std::function<bool(uint32_t id)>;
    void setTimelinePlacer(TimelinePlacer place) { placeOnTimeline_ = std::move(place); }
    // Adds files as a drop from the desktop does: in order, with progress when it takes longer
    // than half a second.
    // The progress window closes before the message naming the files that failed.
    void addDroppedFiles(const std::vector<std::u16string>& paths);
    // How long the adding runs before its progress window shows (tests shorten it).
    void setProgressDelay(int ms) { progressDelayMs_ = ms; }

    const FileSelection& selection() const { return selection_; }
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
    void showOwnSelection() override { showMarks(); }
    void startRowDrag(int row) override;

  private:
    // The table changed: rows again, marks of empty slots cleared.
    void layoutRows();
    void showMarks();
    void pressRow(uint32_t id, Qt::KeyboardModifiers modifiers);
    void step(int direction);
    void postPreview();
    void showProperties();
    void addFile();

    PaneDocument doc_;
    FileSelection selection_;
    PreviewFlag preview_;
    FileListModel* model_;
    PropertiesEditor editProperties_;
    TimelinePlacer placeOnTimeline_;
    PaneSubscription updates_;
    int progressDelayMs_ = 500;
};

}  // namespace kelvane
