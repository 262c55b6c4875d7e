#pragma once

#include <array>
#include <cstdint>

#include <QAbstractListModel>

#include "model/Project.h"

namespace kelvane {

// The 64 template slots, one row each, labelled with their keys. The selection is the templates'
// own Selected flag.
class TemplateListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    TemplateListModel(const Project& project, const std::array<char16_t, kTemplateSlots>& keys,
                      const uint32_t& current, QObject* parent);

    // Texts, flags or the current slot changed: every row repaints.
    void slotsChanged();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const Project& project_;
    const std::array<char16_t, kTemplateSlots>& keys_;
    const uint32_t& current_;
};

}  // namespace kelvane
