#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "export/playback/PlaybackEngine.h"
#include "export/playback/SoundClock.h"
#include "model/Subscription.h"
#include "platform/UserPrompt.h"
#include "ui/commands/CommandTarget.h"
#include "ui/playback/SoundDevice.h"

class MainWindow;
class PlaybackKeys;
class PlaybackPaintLog;
class SoundOutput;
class TimelineView;

namespace kelvane {
class Document;
class PreviewView;
}  // namespace kelvane

// "再生/停止": plays the project in the preview pane at its rate, from the timeline's cursor to
// the end, or round the timeline's selection until stopped. The frames come from a playback
// engine working on a render copy of the project; this side shows each at its due time, moves
// the timeline's cursor with it and keeps the status bar's "再生中 00:03.200 (コマ落ち 0)". After
// a stop the preview shows the composition at the cursor again, drawn from the live project.
//
// Playback stops before anything edits, opens, closes, saves or exports: every command of the
// window but the few that only change the view, and every change the document reports.
class PlaybackController : public QObject, public CommandTarget {
    Q_OBJECT
  public:
    // Joins the window's command route, its toolbar icon and the Space key of the timeline and
    // the preview.
    PlaybackController(MainWindow& window, kelvane::Document& document);
    ~PlaybackController() override;

    // For tests: the clock the next playback runs on.
    void setClock(kelvane::PlaybackClock clock) { clock_ = std::move(clock); }
    // For tests: whether a playback with sound tries the sound device at all.
    void setSoundEnabled(bool enabled) { soundEnabled_ = enabled; }
    // For tests: where a playback with sound plays it.
    void setSoundDevices(SoundDeviceOpener opener) { soundDevices_ = std::move(opener); }
    // Whether the running playback's pictures follow the sound heard.
    bool followsSound() const { return soundClock_ != nullptr && !soundClock_->Lost(); }
    // Why the running (or last) playback has no sound; empty when it has, or needs none.
    QString silenceReason() const { return silenceReason_; }

    bool playing() const { return engine_ != nullptr; }
    // False when there is nothing to play (a project without frames, or no memory for a copy).
    bool start();
    // The user's stop (or the end): the preview shows the exact composition at the cursor.
    void stop();
    // A stop forced by what comes next (an edit, a command): the preview request is left to it.
    void stopForChange();

    // The commands that leave playback running: they only change what the window shows.
    static bool commandKeepsPlaying(CommandId id);

    // What the last (or the running) playback did, for the benchmark.
    struct Statistics {
        uint64_t framesShown = 0;
        uint64_t framesDropped = 0;
        // From the start to the first frame shown; empty while none is.
        std::optional<std::chrono::nanoseconds> firstFrameAfter;
    };
    Statistics statistics() const;

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;

  signals:
    void playingChanged(bool playing);
    void frameShown(uint32_t frame);

  private:
    enum class StopKind { ShowCursor, LeaveRequest };
    void halt(StopKind kind);
    void tick();
    void scheduleTick(bool tookFrame);
    void show(const kelvane::PlaybackEngine::Frame& frame);
    void stateChanged();
    void startSound();
    void soundFailed(const QString& reason);
    std::chrono::nanoseconds now() const;

    // Stands for the movie readers' timeout question while playback runs: a frame that does not
    // come in time is given up, never asked about.
    class GiveUpPrompt final : public kelvane::UserPrompt {
      public:
        void ShowError(const std::string&) override {}
        bool AskYesNo(const std::string&) override { return false; }
        bool AskOkCancel(const std::string&) override { return false; }
        kelvane::PromptAnswer AskYesNoCancel(const std::string&) override {
            return kelvane::PromptAnswer::Cancel;
        }
    };

    MainWindow& window_;
    kelvane::Document& document_;
    kelvane::PlaybackClock clock_;
    bool soundEnabled_ = true;
    SoundDeviceOpener soundDevices_ = openSystemSoundDevice;
    std::unique_ptr<kelvane::SoundClock> soundClock_;  // while the playback has sound to play
    QPointer<SoundOutput> sound_;
    bool soundPending_ = false;  // the device plays from the first frame on
    QString silenceReason_;
    std::unique_ptr<kelvane::PlaybackEngine> engine_;
    kelvane::PlaybackRange range_;
    double frameRate_ = 30.0;
    QPointer<kelvane::PreviewView> preview_;
    QPointer<TimelineView> timeline_;
    QTimer timer_;
    std::chrono::nanoseconds startedAt_{};
    Statistics statistics_;
    GiveUpPrompt giveUp_;
    kelvane::UserPrompt* previousTimeoutQuery_ = nullptr;
    kelvane::Subscription updates_;
    std::unique_ptr<PlaybackKeys> keys_;
    std::unique_ptr<PlaybackPaintLog> paintLog_;
    uint32_t shownFrame_ = 0;  // the frame last handed to the preview pane
    QMetaObject::Connection paintLogged_;
};
