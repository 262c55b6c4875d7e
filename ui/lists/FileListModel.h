#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractListModel>

#include "model/DocumentForms.h"
#include "model/Project.h"
#include "ui/lists/PaneDocument.h"

namespace kelvane {

// The used slots of the file table in ID order, one row each, with the list's marks and current
// file. Row texts are made when a row is shown, so filling the list costs one pass over the
// table. The project is asked of the document every time: new and open replace it.
class FileListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    FileListModel(const PaneDocument& document, const FileSelection& selection, QObject* parent);

    // Takes the table as it is now.
    void reload();
    // The row of file `id`; -1 when the slot is not listed.
    int rowOf(uint32_t id) const;
    uint32_t idAt(int row) const { return ids_[size_t(row)]; }
    const std::vector<uint32_t>& ids() const { return ids_; }
    // The marks or the current file changed: the rows repaint.
    void marksChanged();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const PaneDocument& doc_;
    const FileSelection& selection_;
    std::vector<uint32_t> ids_;
};

}  // namespace kelvane
