#include "ui/playback/SoundDevice.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include "media/audio/SoundFormat.h"

namespace {

class SystemSoundDevice final : public SoundDevice {
  public:
    explicit SystemSoundDevice(std::unique_ptr<QAudioSink> sink, QIODevice* device)
        : sink_(std::move(sink)), device_(device) {}
    ~SystemSoundDevice() override { sink_->stop(); }

    qint64 bytesFree() const override { return sink_->bytesFree(); }
    qint64 processedUSecs() const override { return sink_->processedUSecs(); }
    void write(const char* data, qint64 size) override { device_->write(data, size); }
    bool failed() const override {
        return sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError;
    }

  private:
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_;  // the sink's, written as it has room
};

}  // namespace

std::unique_ptr<SoundDevice> openSystemSoundDevice() {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(kelvane::kSoundRate);
    format.setChannelCount(kelvane::kSoundChannels);
    format.setSampleFormat(QAudioFormat::Float);
    if (device.isNull() || !device.isFormatSupported(format)) {
        return nullptr;
    }
    auto sink = std::make_unique<QAudioSink>(device, format);
    // In push mode the stream waits for its first samples before it plays.
    QIODevice* io = sink->start();
    if (io == nullptr || sink->error() != QAudio::NoError ||
        sink->state() == QAudio::StoppedState) {
        return nullptr;
    }
    return std::make_unique<SystemSoundDevice>(std::move(sink), io);
}
