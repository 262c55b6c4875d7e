#pragma once

#include <cstddef>

class QProgressDialog;
class QWidget;

namespace kelvane {

// The progress of adding many files: a window-modal dialog that appears only when the work has
// taken half a second (`showAfterMs`), counts the files and lets the user stop after the current
// one.
class FileDropProgress {
  public:
    static constexpr int kShowAfterMs = 500;

    FileDropProgress(QWidget* parent, size_t total, int showAfterMs = kShowAfterMs);
    ~FileDropProgress();
    FileDropProgress(const FileDropProgress&) = delete;
    FileDropProgress& operator=(const FileDropProgress&) = delete;

    // Before file `done` of `total`; false once the user has stopped.
    bool step(size_t done, size_t total);
    // The work is over: the dialog goes, before any message about the files appears.
    void close();
    bool visible() const;

  private:
    QProgressDialog* dialog_;
};

}  // namespace kelvane
