#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <atomic>
#include <memory>

#include "export/ExportDriver.h"
#include "platform/UiThreadPrompt.h"
#include "platform/UserPrompt.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace kelvane {

// The 320 x 240 area that shows the frame written last, stretched to fit.
class ExportPreviewArea : public QWidget {
    Q_OBJECT
  public:
    explicit ExportPreviewArea(QWidget* parent);
    void setFrame(QImage frame);
    const QImage& frame() const { return frame_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage frame_;
};

// A bottom-up 32-bit frame as a top-down image of the preview's size.
QImage previewImageOf(const PixelImage& image, QSize size);

// "AVIファイル作成状況": runs a set-up export to its end. One frame is composed and written per
// turn of the event loop, on the thread that owns the project, so the window repaints, the timer
// text moves on and "中断" is served between any two frames. While it is open it answers the
// movie reader's timeout question: No at once when "タイムアウトをエラーにする" is checked, else
// the user is asked. Ends with Accepted when every frame was written, Rejected otherwise.
class ExportProgressDialog : public QDialog {
    Q_OBJECT
  public:
    ExportProgressDialog(QWidget* parent, ExportJob& job, const ExportSettings& settings,
                         FrameComposer& composer);
    ~ExportProgressDialog() override;

    int exec() override;
    void reject() override;  // "中断", Escape and closing the window
    // Whether the run ended because the user stopped it, rather than by an error.
    bool cancelledByUser() const { return cancelledByUser_; }

    // The texts and controls, for the tests.
    QString progressText() const;
    int progressValue() const;
    const ExportPreviewArea* previewArea() const { return preview_; }
    QCheckBox* showImageCheck() const { return showImage_; }
    QCheckBox* timeoutCheck() const { return timeoutIsError_; }
    QCheckBox* abortCheck() const { return abortOnError_; }
    QPushButton* abortButton() const { return abort_; }
    // Asked on the UI thread when a movie's fetch timed out: true goes on waiting.
    bool askTimeoutContinue();
    // What the movie reader asks while the dialog is open.
    UserPrompt& timeoutTarget();

  signals:
    // After every frame handed to the writer (tests wait on it).
    void frameWritten(uint32_t written);

  private:
    void pump();
    void applyTick(const ExportTick& tick);
    void finish(int result);

    class BoxPrompt;
    class TimeoutAnswer;

    ExportJob& job_;
    ExportDriver driver_;
    QTimer pump_;
    bool stepping_ = false;
    bool cancelPending_ = false;
    bool finished_ = false;
    bool cancelledByUser_ = false;
    UserPrompt* previousTimeoutTarget_ = nullptr;
    // The movie reader may ask from any thread: "タイムアウトをエラーにする" is answered at once
    // wherever the question comes from; otherwise the relay carries it to this dialog's boxes.
    std::atomic<bool> timeoutGivesUp_{false};
    std::unique_ptr<BoxPrompt> boxes_;
    std::unique_ptr<UiThreadPrompt> relay_;
    std::unique_ptr<TimeoutAnswer> timeoutTarget_;

    QLabel* text_;
    QProgressBar* bar_;
    QCheckBox* showImage_;
    QCheckBox* timeoutIsError_;
    QCheckBox* abortOnError_;
    ExportPreviewArea* preview_;
    QPushButton* abort_;
};

}  // namespace kelvane
