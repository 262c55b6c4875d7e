#include "ui/playback/SoundOutput.h"

#include <algorithm>
#include <vector>

#include "media/audio/SoundFormat.h"

namespace {

constexpr int kBytesPerSample = kelvane::kSoundChannels * int(sizeof(float));
constexpr int kReportMs = 10;
// What the device is given ahead of what it has played: 60 ms.
constexpr int64_t kAheadSamples = kelvane::kSoundRate * 60 / 1000;
// A device whose played count stands still this long while it should play has failed; a
// suspended output (a wireless headset) may take most of a second to wake.
constexpr int kStalledReports = 1000 / kReportMs;
// How long a start waits for the first samples to be mixed, at most. They are mixed while the
// first picture is composed, so this is only reached when the mix is far slower than the picture,
// and a start must stay well within 100 ms.
constexpr int kFirstMixWaitMs = 40;
// A closed stream plays what it was given: the buffer, the fade and the server's latency.
constexpr int kCloseAfterMs = 300;

}  // namespace

QString SoundOutput::noDeviceText() {
    return QStringLiteral("音声の出力装置がないため、音を出さずに再生しています。");
}

QString SoundOutput::deviceFailedText() {
    return QStringLiteral("音声の出力装置が応答しないため、音を出さずに再生しています。");
}

SoundOutput::SoundOutput(std::unique_ptr<kelvane::PlaybackSound> sound, kelvane::SoundClock& clock,
                         QObject* parent)
    : QObject(parent), sound_(std::move(sound)), clock_(&clock) {
    reports_.setInterval(kReportMs);
    reports_.setTimerType(Qt::PreciseTimer);
    connect(&reports_, &QTimer::timeout, this, [this] { report(); });
}

SoundOutput::~SoundOutput() = default;

bool SoundOutput::open(const SoundDeviceOpener& opener, QString& reason) {
    device_ = opener ? opener() : nullptr;
    if (!device_) {
        reason = noDeviceText();
        return false;
    }
    return true;
}

void SoundOutput::play() {
    if (!device_ || playing_ || failed_) {
        return;
    }
    playing_ = true;
    // Had the mixing thread not caught up, what it has not mixed by the first write would be
    // handed over as silence, and the start of the sound lost.
    const int64_t first = std::max<int64_t>(device_->bytesFree() / kBytesPerSample, kAheadSamples);
    sound_->WaitMixed(first, std::chrono::milliseconds(kFirstMixWaitMs));
    feed();
    reports_.start();
}

void SoundOutput::feed() {
    // Kept a little ahead of what the device has played. Its own count of free room is not
    // relied on: some servers stop announcing room once the stream ran dry.
    const int64_t played = device_->processedUSecs() * kelvane::kSoundRate / 1'000'000;
    const int64_t n = std::max<int64_t>(device_->bytesFree() / kBytesPerSample,
                                        played + kAheadSamples - sound_->ReadPosition());
    if (n <= 0) {
        return;
    }
    samples_.resize(size_t(n) * kelvane::kSoundChannels);
    sound_->Read(samples_.data(), n);
    device_->write(reinterpret_cast<const char*>(samples_.data()), n * kBytesPerSample);
}

void SoundOutput::report() {
    if (!device_ || failed_) {
        return;
    }
    if (device_->failed()) {
        fail();
        return;
    }
    // Fed on the same beat: the samples the device takes are the ones due next.
    feed();
    if (clock_ == nullptr) {
        return;
    }
    // What the device has played; never more than it was given.
    const qint64 given = sound_->ReadPosition() * 1'000'000 / kelvane::kSoundRate;
    const qint64 played = std::min(device_->processedUSecs(), given);
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
    clock_ = nullptr;
    sound_->FadeOut();
    if (!playing_ || failed_) {
        reports_.stop();
        deleteLater();
        return;
    }
    // Fed on (the fade, then silence) until the device has played the fade.
    QTimer::singleShot(kCloseAfterMs, this, [this] { deleteLater(); });
}
