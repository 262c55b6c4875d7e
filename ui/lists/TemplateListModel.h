#pragma once

#include <array>
#include <cstdint>

#include <QAbstractListModel>

#include "model/Project.h"
#include "ui/lists/PaneDocument.h"

namespace kelvane {

// The 64 template slots, one row each, labelled with their keys. The selection is the templates'
// own Selected flag. The project is asked of the document every time: new and open replace it.
class TemplateListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    TemplateListModel(const PaneDocument& document, const uint32_t& current, QObject* parent);

    // Texts, flags or the current slot changed: every row repaints.
    void slotsChanged();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const PaneDocument& doc_;
    const uint32_t& current_;
};

}  // namespace kelvane
