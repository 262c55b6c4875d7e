#include "ui/shell/RecentFileList.h"

#include <string>

#include "platform/ProfileFile.h"

namespace {

std::string keyFor(int index) {
    return "File" + std::to_string(index + 1);
}

}  // namespace

RecentFileList::RecentFileList(kelvane::ProfileFile& profile) : profile_(profile) {
    for (int i = 0; i < kCapacity; ++i) {
        kelvane::PathBuffer path{};
        profile_.ReadString(kSection, keyFor(i), u"", path);
        const QString file = QString::fromStdU16String(std::u16string(kelvane::PathView(path)));
        if (!file.isEmpty() && !files_.contains(file)) {
            files_.append(file);
        }
    }
}

void RecentFileList::add(const QString& path) {
    files_.removeAll(path);
    files_.prepend(path);
    while (files_.size() > kCapacity) {
        files_.removeLast();
    }
    write();
}

void RecentFileList::remove(int index) {
    if (index >= 0 && index < files_.size()) {
        files_.removeAt(index);
        write();
    }
}

void RecentFileList::write() {
    for (int i = 0; i < kCapacity; ++i) {
        const QString file = i < files_.size() ? files_[i] : QString();
        profile_.WriteString(kSection, keyFor(i), file.toStdU16String());
    }
}
