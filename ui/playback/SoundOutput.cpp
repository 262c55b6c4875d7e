#include "ui/playback/SoundOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>
#include <vector>

#include "media/audio/SoundFormat.h"

namespace {

constexpr int kBytesPerSample = kelvane::kSoundChannels * int(sizeof(float));
// The device's buffer: 50 ms, short, so that a stop is heard at once.
constexpr int kBufferBytes = kelvane::kSoundRate / 20 * kBytesPerSample;
constexpr int kReportMs = 10;
// A device whose played count stands still this long while it should play has failed.
constexpr int kStalledReports = 500 / kReportMs;
// A closed stream plays what it was given: the buffer, the fade and the server's latency.
constexpr int kCloseAfterMs = 300;

}  // namespace

QString SoundOutput::noDeviceText() {
    return QStringLiteral("音声の出力装置がないため、音を出さずに再生しています。");
}

QString SoundOutput::deviceFailedText() {
    return QStringLiteral("音声の出力装置が応答しないため、音を出さずに再生しています。");
}

qint64 SoundOutput::Source::bytesAvailable() const {
    // An endless stream: whatever the device asks for is there, silence where the mix is late.
    return qint64(kelvane::kSoundRate) * kBytesPerSample + QIODevice::bytesAvailable();
}

qint64 SoundOutput::Source::readData(char* data, qint64 maxSize) {
    const int64_t n = maxSize / kBytesPerSample;
    std::vector<float> samples(size_t(n) * kelvane::kSoundChannels);
    sound_.Read(samples.data(), n);
    std::memcpy(data, samples.data(), size_t(n) * kBytesPerSample);
    return n * kBytesPerSample;
}

SoundOutput::SoundOutput(std::unique_ptr<kelvane::PlaybackSound> sound, kelvane::SoundClock& clock,
                         QObject* parent)
    : QObject(parent), sound_(std::move(sound)), clock_(&clock), source_(*sound_) {
    reports_.setInterval(kReportMs);
    reports_.setTimerType(Qt::PreciseTimer);
    connect(&reports_, &QTimer::timeout, this, [this] { report(); });
}

SoundOutput::~SoundOutput() {
    if (sink_) {
        sink_->stop();
    }
}

bool SoundOutput::start(QString& reason) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(kelvane::kSoundRate);
    format.setChannelCount(kelvane::kSoundChannels);
    format.setSampleFormat(QAudioFormat::Float);
    if (device.isNull() || !device.isFormatSupported(format)) {
        reason = noDeviceText();
        return false;
    }
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->setBufferSize(kBufferBytes);
    source_.open(QIODevice::ReadOnly);
    sink_->start(&source_);
    if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
        sink_.reset();
        reason = noDeviceText();
        return false;
    }
    connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
            fail();
        }
    });
    reports_.start();
    return true;
}

void SoundOutput::report() {
    if (!sink_ || failed_ || clock_ == nullptr) {
        return;
    }
    // What the device has played; never more than it was given.
    const qint64 given = sound_->ReadPosition() * 1'000'000 / kelvane::kSoundRate;
    const qint64 played = std::min(sink_->processedUSecs(), given);
    stalledReports_ = played == lastProcessed_ ? stalledReports_ + 1 : 0;
    lastProcessed_ = played;
    if (stalledReports_ >= kStalledReports) {
        fail();
        return;
    }
    clock_->Heard(std::chrono::microseconds(played));
}

void SoundOutput::fail() {
    if (failed_) {
        return;
    }
    failed_ = true;
    reports_.stop();
    emit failed(deviceFailedText());
}

void SoundOutput::fadeOutAndClose() {
    reports_.stop();
    clock_ = nullptr;
    sound_->FadeOut();
    if (!sink_ || failed_) {
        deleteLater();
        return;
    }
    QTimer::singleShot(kCloseAfterMs, this, [this] { deleteLater(); });
}
