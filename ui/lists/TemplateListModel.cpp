#include "ui/lists/TemplateListModel.h"

#include "ui/lists/ListRowDelegate.h"
#include "ui/lists/ListRowTexts.h"

namespace kelvane {

TemplateListModel::TemplateListModel(const PaneDocument& document, const uint32_t& current,
                                     QObject* parent)
    : QAbstractListModel(parent), doc_(document), current_(current) {}

void TemplateListModel::slotsChanged() {
    emit dataChanged(index(0), index(int(kTemplateSlots) - 1));
}

int TemplateListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(kTemplateSlots);
}

QVariant TemplateListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(kTemplateSlots)) {
        return {};
    }
    const uint32_t slot = uint32_t(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return templateRowText(doc_.project(), slot, doc_.templateKeys()[slot]);
        case kRowSelectedRole:
            return (doc_.project().templates[slot].flags & kEventSelected) != 0;
        case kRowCurrentRole:
            return slot == current_;
        case kRowItemRole:
            return int(slot);
        default:
            return {};
    }
}

Qt::ItemFlags TemplateListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

}  // namespace kelvane
