#pragma once

#include <QAudioSink>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "export/playback/PlaybackSound.h"
#include "export/playback/SoundClock.h"

// Plays a playback's sound on the system's default sound device through QAudioSink, which pulls
// the samples as it needs them, and tells the playback's clock which stream time is being heard.
// The device's own count of what it has played (its latency taken off) is that time; what was
// handed over but still waits in its buffers is not heard yet.
class SoundOutput : public QObject {
    Q_OBJECT
  public:
    // The message for a playback without sound, said once in the status bar.
    static QString noDeviceText();
    static QString deviceFailedText();

    SoundOutput(std::unique_ptr<kelvane::PlaybackSound> sound, kelvane::SoundClock& clock,
                QObject* parent = nullptr);
    ~SoundOutput() override;

    // Opens the default device and starts pulling. False, with the reason for the status bar,
    // when there is no device or it refuses the stream.
    bool start(QString& reason);
    // Fades the sound out (no click), stops reporting to the clock, and lets the device play
    // the fade before it is closed; the object then deletes itself.
    void fadeOutAndClose();

  signals:
    // The device stopped or stopped making progress: the playback goes on without sound.
    void failed(const QString& reason);

  private:
    class Source final : public QIODevice {
      public:
        explicit Source(kelvane::PlaybackSound& sound) : sound_(sound) {}
        bool isSequential() const override { return true; }
        qint64 bytesAvailable() const override;

      protected:
        qint64 readData(char* data, qint64 maxSize) override;
        qint64 writeData(const char*, qint64) override { return -1; }

      private:
        kelvane::PlaybackSound& sound_;
    };

    void report();
    void fail();

    std::unique_ptr<kelvane::PlaybackSound> sound_;
    kelvane::SoundClock* clock_;
    Source source_;
    std::unique_ptr<QAudioSink> sink_;
    QTimer reports_;
    qint64 lastProcessed_ = -1;
    int stalledReports_ = 0;
    bool failed_ = false;
};
