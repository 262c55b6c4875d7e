#include "ui/lists/FileListModel.h"

#include <algorithm>

#include "ui/lists/ListRowDelegate.h"
#include "ui/lists/ListRowTexts.h"

namespace kelvane {

FileListModel::FileListModel(const PaneDocument& document, const FileSelection& selection,
                             QObject* parent)
    : QAbstractListModel(parent), doc_(document), selection_(selection) {
    ids_.reserve(kFileSlots);
}

void FileListModel::reload() {
    beginResetModel();
    ids_.clear();
    for (uint32_t id = 0; id < kFileSlots; ++id) {
        if (doc_.project().files[id].Used()) {
            ids_.push_back(id);
        }
    }
    endResetModel();
}

int FileListModel::rowOf(uint32_t id) const {
    const auto at = std::lower_bound(ids_.begin(), ids_.end(), id);
    return at != ids_.end() && *at == id ? int(at - ids_.begin()) : -1;
}

void FileListModel::marksChanged() {
    if (!ids_.empty()) {
        emit dataChanged(index(0), index(int(ids_.size()) - 1),
                         {kRowSelectedRole, kRowCurrentRole});
    }
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(ids_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(ids_.size())) {
        return {};
    }
    const uint32_t id = ids_[size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return fileRowText(doc_.project(), id);
        case kRowSelectedRole:
            return selection_.marks.test(id);
        case kRowCurrentRole:
            return selection_.cursor == id;
        case kRowItemRole:
            return int(id);
        default:
            return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

}  // namespace kelvane
