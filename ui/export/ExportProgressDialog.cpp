#include "ui/export/ExportProgressDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "media/TimeoutQuery.h"
#include "ui/dialogs/DialogControls.h"

namespace kelvane {

namespace {

constexpr QSize kPreviewSize(320, 240);

// The text has a tab between its two columns; a label shows it as a wide gap.
QString displayText(const std::string& text) {
    return QString::fromStdString(text).replace(u'\t', QStringLiteral("　　"));
}

}  // namespace

// Message boxes over the dialog, asked on the UI thread.
class ExportProgressDialog::BoxPrompt final : public UserPrompt {
  public:
    explicit BoxPrompt(ExportProgressDialog& dialog) : dialog_(dialog) {}

    void ShowError(const std::string& message) override {
        showError(&dialog_, QString::fromStdString(message));
    }
    bool AskYesNo(const std::string& message) override {
        if (message == kTimeoutQuestion) {
            return dialog_.askTimeoutContinue();
        }
        return ask(kErrorCaption, message, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    bool AskOkCancel(const std::string& message) override {
        return ask(kConfirmCaption, message, QMessageBox::Ok | QMessageBox::Cancel) ==
               QMessageBox::Ok;
    }
    PromptAnswer AskYesNoCancel(const std::string& message) override {
        switch (ask(kProgramCaption, message,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
            case QMessageBox::Yes:
                return PromptAnswer::Yes;
            case QMessageBox::No:
                return PromptAnswer::No;
            default:
                return PromptAnswer::Cancel;
        }
    }

  private:
    int ask(const char* caption, const std::string& message, QMessageBox::StandardButtons buttons) {
        return QMessageBox::question(&dialog_, QString::fromUtf8(caption),
                                     QString::fromStdString(message), buttons);
    }

    ExportProgressDialog& dialog_;
};

// The timeout target: any thread may ask it.
class ExportProgressDialog::TimeoutAnswer final : public UserPrompt {
  public:
    TimeoutAnswer(const std::atomic<bool>& timeoutIsError, UserPrompt& relay)
        : timeoutIsError_(timeoutIsError), relay_(relay) {}

    void ShowError(const std::string& message) override { relay_.ShowError(message); }
    bool AskYesNo(const std::string& message) override {
        if (message == kTimeoutQuestion && timeoutIsError_.load()) {
            return false;  // the fetch gives up at once, nobody is asked
        }
        return relay_.AskYesNo(message);
    }
    bool AskOkCancel(const std::string& message) override { return relay_.AskOkCancel(message); }
    PromptAnswer AskYesNoCancel(const std::string& message) override {
        return relay_.AskYesNoCancel(message);
    }

  private:
    const std::atomic<bool>& timeoutIsError_;
    UserPrompt& relay_;
};

ExportPreviewArea::ExportPreviewArea(QWidget* parent) : QWidget(parent) {
    setFixedSize(kPreviewSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("現在の画像"));
}

void ExportPreviewArea::setFrame(QImage frame) {
    frame_ = std::move(frame);
    update();
}

void ExportPreviewArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (frame_.isNull()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    painter.drawImage(rect(), frame_);
}

QImage previewImageOf(const PixelImage& image, QSize size) {
    if (image.Pixels() == nullptr || image.Width() <= 0 || image.Height() <= 0 ||
        image.BitsPerPixel() != 32) {
        return {};
    }
    // Rows are stored bottom-up: stretched as they lie, then turned the right way up.
    const QImage view(image.Pixels(), image.Width(), image.Height(), qsizetype(image.Pitch()),
                      QImage::Format_RGB32);
    // A plain stretch, pixel for pixel, as the frame is shown elsewhere.
    return view.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation).mirrored();
}

ExportProgressDialog::ExportProgressDialog(QWidget* parent, ExportJob& job,
                                           const ExportSettings& settings, FrameComposer& composer)
    : QDialog(parent), job_(job), driver_(job, settings, composer) {
    setWindowTitle(QStringLiteral("AVIファイル作成状況"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 12);
    preview_ = new ExportPreviewArea(this);
    layout->addWidget(preview_, 0, Qt::AlignHCenter | Qt::AlignTop);
    text_ = new QLabel(this);
    text_->setMinimumHeight(text_->fontMetrics().lineSpacing() * 2 + 4);
    layout->addWidget(text_);
    bar_ = new QProgressBar(this);
    bar_->setAccessibleName(QStringLiteral("進捗度"));
    bar_->setRange(0, int(std::min<uint32_t>(settings.length, INT32_MAX)));
    bar_->setValue(0);
    layout->addWidget(bar_);
    showImage_ = makeCheck(this, QStringLiteral("現在の画像を表示する"));
    timeoutIsError_ = makeCheck(this, QStringLiteral("タイムアウトをエラーにする"));
    abortOnError_ =
        makeCheck(this, QStringLiteral("イベント描画時にエラーが発生した場合は中断する"));
    layout->addWidget(showImage_);
    layout->addWidget(timeoutIsError_);
    layout->addWidget(abortOnError_);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    abort_ = makeButton(this, QStringLiteral("中断"));
    row->addWidget(abort_);
    layout->addLayout(row);

    showImage_->setChecked(true);
    timeoutIsError_->setChecked(false);
    abortOnError_->setChecked(job_.abortOnDrawError);
    connect(showImage_, &QCheckBox::toggled, this, [this](bool on) {
        driver_.SetShowCurrentImage(on);
        if (!on) {
            preview_->setFrame(QImage());
        }
    });
    connect(timeoutIsError_, &QCheckBox::toggled, this, [this](bool on) {
        driver_.SetTimeoutIsError(on);
        timeoutGivesUp_.store(on);
    });
    connect(abortOnError_, &QCheckBox::toggled, this,
            [this](bool on) { driver_.SetAbortOnDrawError(on); });
    connect(abort_, &QPushButton::clicked, this, &ExportProgressDialog::reject);

    // A zero-interval timer fires once per turn of the event loop: one frame, then input,
    // painting and the other timers get their turn.
    pump_.setInterval(0);
    connect(&pump_, &QTimer::timeout, this, &ExportProgressDialog::pump);
}

ExportProgressDialog::~ExportProgressDialog() {
    pump_.stop();
    if (timeoutTarget_ && TimeoutQuery() == timeoutTarget_.get()) {
        SetTimeoutQuery(previousTimeoutTarget_);
    }
    if (relay_) {
        relay_->Close();
    }
}

UserPrompt& ExportProgressDialog::timeoutTarget() {
    if (!timeoutTarget_) {
        boxes_ = std::make_unique<BoxPrompt>(*this);
        // Questions from other threads are queued into this dialog's event loop.
        relay_ = std::make_unique<UiThreadPrompt>(*boxes_, [this](UiThreadPrompt::Task task) {
            QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
        });
        timeoutTarget_ = std::make_unique<TimeoutAnswer>(timeoutGivesUp_, *relay_);
    }
    return *timeoutTarget_;
}

int ExportProgressDialog::exec() {
    previousTimeoutTarget_ = TimeoutQuery();
    SetTimeoutQuery(&timeoutTarget());
    driver_.Start();
    driver_.SetShowCurrentImage(showImage_->isChecked());
    driver_.SetTimeoutIsError(timeoutIsError_->isChecked());
    timeoutGivesUp_.store(timeoutIsError_->isChecked());
    applyTick(driver_.Tick());
    pump_.start();
    return QDialog::exec();
}

void ExportProgressDialog::pump() {
    // A question asked inside a step runs a nested event loop; the timer must not step again
    // until the first step has returned.
    if (stepping_ || finished_) {
        return;
    }
    stepping_ = true;
    const uint32_t before = job_.FramesWritten();
    driver_.Step();
    stepping_ = false;
    if (cancelPending_) {
        // "中断" came while the frame was being made (from inside a question's event loop).
        driver_.Cancel();
        finish(Rejected);
        return;
    }
    if (job_.FramesWritten() != before) {
        emit frameWritten(job_.FramesWritten());
    }
    if (driver_.Ended() || driver_.TimerDue()) {
        // A run that has ended ticks at once rather than when the timer comes round.
        applyTick(driver_.Tick());
    }
}

void ExportProgressDialog::applyTick(const ExportTick& tick) {
    switch (tick.action) {
        case ExportTick::Action::EndOk:
            finish(Accepted);
            return;
        case ExportTick::Action::EndCancel:
            finish(Rejected);
            return;
        case ExportTick::Action::Refresh:
            break;
    }
    bar_->setValue(int(std::min<uint32_t>(tick.position, uint32_t(bar_->maximum()))));
    if (tick.hasText) {
        text_->setText(displayText(tick.text));
    }
    if (tick.preview != nullptr) {
        preview_->setFrame(previewImageOf(*tick.preview, kPreviewSize));
    }
}

void ExportProgressDialog::finish(int result) {
    if (finished_) {
        return;
    }
    finished_ = true;
    pump_.stop();
    SetTimeoutQuery(previousTimeoutTarget_);
    // A question still on its way from another thread gets the safe answer.
    if (relay_) {
        relay_->Close();
    }
    done(result);
}

void ExportProgressDialog::reject() {
    if (finished_) {
        QDialog::reject();
        return;
    }
    cancelledByUser_ = true;
    if (stepping_) {
        // The writer must not close under a frame being made; the step's end does it.
        cancelPending_ = true;
        return;
    }
    driver_.Cancel();
    finish(Rejected);
}

QString ExportProgressDialog::progressText() const {
    return text_->text();
}

int ExportProgressDialog::progressValue() const {
    return bar_->value();
}

bool ExportProgressDialog::askTimeoutContinue() {
    if (driver_.AnswerTimeoutQuestion()) {
        return false;  // "タイムアウトをエラーにする": the fetch gives up at once
    }
    return QMessageBox::question(this, QStringLiteral("エラー"),
                                 QString::fromUtf8(kTimeoutQuestion),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace kelvane
