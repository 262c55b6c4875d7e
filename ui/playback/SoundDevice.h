#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

// Where a playback's samples are played (48 kHz stereo float): the system's default output, or
// a test's stand-in. A device opens idle and plays nothing until it is first written to, so that
// it can be opened while the first picture is still being composed.
class SoundDevice {
  public:
    virtual ~SoundDevice() = default;
    // Bytes it takes now without waiting.
    virtual qint64 bytesFree() const = 0;
    // How much of what it was given it has played, in microseconds, its latency taken off.
    virtual qint64 processedUSecs() const = 0;
    virtual void write(const char* data, qint64 size) = 0;
    // It stopped on an error of its own.
    virtual bool failed() const = 0;
};

// Opens a device for a playback; null when there is none, or it refuses the stream.
using SoundDeviceOpener = std::function<std::unique_ptr<SoundDevice>()>;

// The system's default sound output through QAudioSink.
std::unique_ptr<SoundDevice> openSystemSoundDevice();
