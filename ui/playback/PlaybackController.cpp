#include "ui/playback/PlaybackController.h"

#include <QAction>
#include <QLabel>
#include <algorithm>

#include "export/playback/PlaybackSound.h"
#include "export/playback/RenderCopy.h"
#include "media/TimeoutQuery.h"
#include "media/audio/SoundMixer.h"
#include "model/Document.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PaneGrid.h"
#include "ui/playback/PlaybackIcon.h"
#include "ui/playback/PlaybackKeys.h"
#include "ui/playback/PlaybackPaintLog.h"
#include "ui/playback/PlaybackStatus.h"
#include "ui/playback/SoundOutput.h"
#include "ui/preview/PreviewView.h"
#include "ui/timeline/TimelineView.h"

namespace {

// Looks at the engine at least this often, so that a playback whose clock is not the machine's
// (a test's) still follows it.
constexpr std::chrono::milliseconds kLongestWait{20};
// A frame not yet ready at its due time may still come within its period.
constexpr std::chrono::milliseconds kRetryWait{2};

}  // namespace

PlaybackController::PlaybackController(MainWindow& window, kelvane::Document& document)
    : window_(window),
      document_(document),
      clock_(kelvane::SteadyPlaybackClock()),
      paintLog_(PlaybackPaintLog::FromEnvironment()) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    window_.setExtraCommands(this);
    window_.setBeforeCommand([this](CommandId id) {
        if (playing() && !commandKeepsPlaying(id)) {
            stopForChange();
        }
    });
    keys_ = std::make_unique<PlaybackKeys>(window_, [this] {
        window_.executeCommand(CommandId::PlayStop);
        window_.refreshCommands();
    });
    // The copy plays on, whatever changes; but what it shows would no longer be the project.
    updates_ = document_.Observers().OnUpdate(this, [this](const void*, kelvane::UpdateHint) {
        if (playing()) {
            stopForChange();
        }
    });
    stateChanged();
}

PlaybackController::~PlaybackController() {
    halt(StopKind::LeaveRequest);
    window_.setBeforeCommand({});
    window_.setExtraCommands(nullptr);
}

bool PlaybackController::commandKeepsPlaying(CommandId id) {
    switch (id) {
        case CommandId::PlayStop:
        case CommandId::AllTracks:
        case CommandId::ZoomIn:
        case CommandId::ZoomOut:
        case CommandId::AutoExtend:
        case CommandId::PreviewToggle:
        case CommandId::ViewToolBar:
        case CommandId::ViewStatusBar:
        case CommandId::WindowSplit:
        case CommandId::NextPane:
        case CommandId::PreviousPane:
        case CommandId::AppAbout:
            return true;
        default:
            return false;
    }
}

bool PlaybackController::start() {
    if (playing()) {
        return true;
    }
    const kelvane::Project& project = document_.GetProject();
    PaneGrid* grid = window_.paneGrid();
    preview_ = grid != nullptr ? qobject_cast<kelvane::PreviewView*>(grid->pane(0)) : nullptr;
    timeline_ = grid != nullptr ? qobject_cast<TimelineView*>(grid->pane(3)) : nullptr;
    timeline::TimelineState view;
    if (timeline_) {
        view = timeline_->state();
    }
    if (!kelvane::PlaybackRangeFor(project.settings.length, view.cursor, view.selectionStart,
                                   view.selectionEnd, range_)) {
        return false;
    }
    startedAt_ = clock_();
    std::unique_ptr<kelvane::Project> copy = kelvane::MakeRenderCopy(project);
    if (!copy) {
        return false;
    }
    frameRate_ = project.settings.frameRate;
    kelvane::PlaybackEngine::Options options;
    options.range = range_;
    options.rate = kelvane::ExactRateOf(frameRate_);
    options.clock = clock_;
    silenceReason_.clear();
    soundPending_ = false;
    const bool withSound = soundEnabled_ && kelvane::ProjectHasSound(*copy);
    if (withSound) {
        // The stream stands at 0 until the device plays its first sample, which it is given
        // once the first frame is ready: that frame is due with the sound's start.
        soundClock_ = std::make_unique<kelvane::SoundClock>(clock_);
        options.clock = soundClock_->AsPlaybackClock();
    }
    statistics_ = Statistics{};
    previousTimeoutQuery_ = kelvane::TimeoutQuery();
    kelvane::SetTimeoutQuery(&giveUp_);
    engine_ = std::make_unique<kelvane::PlaybackEngine>(std::move(copy), options);
    if (paintLog_) {
        paintLog_->started(range_.start);
        if (preview_) {
            paintLogged_ = connect(preview_, &kelvane::PreviewView::playbackFramePainted, this,
                                   [this] { paintLog_->painted(shownFrame_); });
        }
    }
    window_.messagePane()->setText(playingStatus(range_.start, frameRate_, 0));
    if (withSound) {
        // While the engine composes the first frame.
        startSound();
    }
    scheduleTick(false);
    stateChanged();
    return true;
}

void PlaybackController::stop() {
    halt(StopKind::ShowCursor);
}

void PlaybackController::stopForChange() {
    halt(StopKind::LeaveRequest);
}

void PlaybackController::halt(StopKind kind) {
    if (!engine_) {
        return;
    }
    timer_.stop();
    engine_->Stop();
    statistics_.framesShown = engine_->FramesShown();
    statistics_.framesDropped = engine_->FramesDropped();
    if (sound_) {
        // Mixes nothing more from the engine's copy; the device plays the fade on its own.
        sound_->fadeOutAndClose();
        sound_ = nullptr;
    }
    engine_.reset();
    soundClock_.reset();
    disconnect(paintLogged_);
    soundPending_ = false;
    if (kelvane::TimeoutQuery() == &giveUp_) {
        kelvane::SetTimeoutQuery(previousTimeoutQuery_);
    }
    window_.messagePane()->setText(MainWindow::kReadyText);
    const uint32_t cursor = timeline_ ? timeline_->state().cursor : range_.start;
    if (kind == StopKind::ShowCursor) {
        // Drawn afresh from the live project: exactly what an export writes for this frame.
        kelvane::PreviewRequest& request = document_.Views().preview;
        request = kelvane::PreviewRequest{true, kelvane::PreviewKind::AllTracksAtFrame, 0, cursor};
    }
    if (preview_) {
        preview_->showPlaybackFrame(nullptr);
    }
    if (kind == StopKind::ShowCursor) {
        document_.UpdateAllViews(this, kelvane::UpdateHint::Preview);
    }
    stateChanged();
}

void PlaybackController::tick() {
    if (!engine_) {
        return;
    }
    if (soundPending_ && engine_->Started()) {
        soundPending_ = false;
        if (sound_) {
            sound_->play();
        }
    }
    const std::optional<kelvane::PlaybackEngine::Frame> frame = engine_->TakeDue();
    if (frame) {
        show(*frame);
    }
    if (engine_->Ended()) {
        stop();
        return;
    }
    scheduleTick(frame.has_value());
}

void PlaybackController::scheduleTick(bool tookFrame) {
    std::chrono::nanoseconds wait = kRetryWait;
    if (const std::optional<std::chrono::nanoseconds> due = engine_->NextDue(); due && tookFrame) {
        wait = std::max(*due - now(), std::chrono::nanoseconds(0));
    }
    wait = std::min<std::chrono::nanoseconds>(wait, kLongestWait);
    // Rounded up: a look before the due time would find nothing new.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait);
    timer_.start(int(ms.count()));
}

void PlaybackController::show(const kelvane::PlaybackEngine::Frame& frame) {
    if (!statistics_.firstFrameAfter) {
        statistics_.firstFrameAfter = clock_() - startedAt_;
    }
    statistics_.framesShown = engine_->FramesShown();
    statistics_.framesDropped = engine_->FramesDropped();
    shownFrame_ = frame.frame;
    if (preview_) {
        preview_->showPlaybackFrame(frame.image);
    }
    if (timeline_) {
        timeline_->followPlayback(frame.frame, range_.loop);
    }
    QString status = playingStatus(frame.frame, frameRate_, statistics_.framesDropped);
    if (!silenceReason_.isEmpty()) {
        status += QStringLiteral("  ") + silenceReason_;
    }
    window_.messagePane()->setText(status);
    emit frameShown(frame.frame);
}

void PlaybackController::startSound() {
    auto sound = std::make_unique<kelvane::PlaybackSound>(engine_->project(), range_,
                                                          kelvane::ExactRateOf(frameRate_));
    auto* output = new SoundOutput(std::move(sound), *soundClock_, this);
    QString reason;
    if (!output->open(soundDevices_, reason)) {
        delete output;
        soundFailed(reason);
        return;
    }
    sound_ = output;
    soundPending_ = true;
    connect(output, &SoundOutput::failed, this, [this, output](const QString& why) {
        if (sound_ == output) {
            soundFailed(why);
        }
    });
}

void PlaybackController::soundFailed(const QString& reason) {
    // The pictures run on from where the sound left them, on the machine's clock.
    soundClock_->Lose();
    silenceReason_ = reason;
    window_.messagePane()->setText(window_.messagePane()->text() + QStringLiteral("  ") + reason);
}

std::chrono::nanoseconds PlaybackController::now() const {
    return soundClock_ ? soundClock_->Now() : clock_();
}

PlaybackController::Statistics PlaybackController::statistics() const {
    return statistics_;
}

void PlaybackController::stateChanged() {
    if (QAction* action = window_.commandAction(CommandId::PlayStop)) {
        action->setIcon(playbackIcon(playing(), window_.style()));
    }
    window_.refreshCommands();
    emit playingChanged(playing());
}

bool PlaybackController::commandState(CommandId id, CommandState& state) const {
    if (id != CommandId::PlayStop) {
        return false;
    }
    state = CommandState{playing() || document_.GetProject().settings.length > 0, playing()};
    return true;
}

void PlaybackController::runCommand(CommandId id) {
    if (id != CommandId::PlayStop) {
        return;
    }
    if (playing()) {
        stop();
    } else {
        start();
    }
}
