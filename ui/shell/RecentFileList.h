#pragma once

#include <QStringList>

namespace kelvane {
class ProfileFile;
}

// The four most recently opened or saved projects, newest first, kept in the INI section
// "Recent File List" under "File1" to "File4". Every change is written at once, so a second
// window or a crash loses nothing.
class RecentFileList {
  public:
    static constexpr int kCapacity = 4;
    static inline const char* const kSection = "Recent File List";

    explicit RecentFileList(kelvane::ProfileFile& profile);

    const QStringList& files() const { return files_; }
    // Puts `path` first, dropping an older entry of the same file and the fifth entry.
    void add(const QString& path);
    void remove(int index);

  private:
    void write();

    kelvane::ProfileFile& profile_;
    QStringList files_;
};
