#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

#include "export/playback/PlaybackSound.h"
#include "export/playback/SoundClock.h"
#include "ui/playback/SoundDevice.h"

// Plays a playback's sound on a sound device, written every 10 ms as far as the device has room,
// and tells the playback's clock which stream time is being heard. The device's own count of what
// it has played (its latency taken off) is that time; what was handed over but still waits in its
// buffers is not heard yet.
//
// The device is opened, and the sound mixed from the start, while the first picture is still
// being composed; it is first written to when that picture is ready, so that a start waits for
// neither.
class SoundOutput : public QObject {
    Q_OBJECT
  public:
    // The message for a playback without sound, said once in the status bar.
    static QString noDeviceText();
    static QString deviceFailedText();

    SoundOutput(std::unique_ptr<kelvane::PlaybackSound> sound, kelvane::SoundClock& clock,
                QObject* parent = nullptr);
    ~SoundOutput() override;

    // Opens a device, idle. False, with the reason for the status bar, when there is no device
    // or it refuses the stream.
    bool open(const SoundDeviceOpener& opener, QString& reason);
    // The stream's first picture is ready: the device gets the first samples and plays on.
    void play();
    // Fades the sound out (no click), stops reporting to the clock, and lets the device play
    // the fade before it is closed; the object then deletes itself.
    void fadeOutAndClose();

  signals:
    // The device stopped or stopped making progress: the playback goes on without sound.
    void failed(const QString& reason);

  private:
    void feed();
    void report();
    void fail();

    std::unique_ptr<kelvane::PlaybackSound> sound_;
    kelvane::SoundClock* clock_;
    std::unique_ptr<SoundDevice> device_;
    std::vector<float> samples_;
    QTimer reports_;
    qint64 lastProcessed_ = -1;
    int stalledReports_ = 0;
    bool playing_ = false;
    bool failed_ = false;
};
