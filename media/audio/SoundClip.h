#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/audio/SoundFormat.h"

namespace kelvane {

// The sound of one file (a movie's audio stream, or an audio-only file), decoded once and kept
// as 48 kHz stereo float. Source time 0 is where the file's picture starts (the first picture of
// its video stream), or its sound's start when it has no picture, so that a sample and the
// picture shown at the same source time belong together. Immutable once decoded: shared between
// the slots, the render copies and the threads that mix it.
class SoundClip {
  public:
    // Decodes the best audio stream of the file. Null with `reason` set when the file has no
    // audio stream or its sound cannot be decoded; `hasPicture` tells whether the file has a
    // video stream besides.
    static std::shared_ptr<const SoundClip> Decode(const std::string& nativePath,
                                                   std::string& reason, bool* hasPicture = nullptr);
    // The same through a process-wide table: a file that is already decoded (and unchanged on
    // disk since) is shared rather than decoded again, as render copies open every medium anew.
    static std::shared_ptr<const SoundClip> Load(const std::string& nativePath, std::string& reason,
                                                 bool* hasPicture = nullptr);
    // A clip of the given interleaved stereo samples; for tests and generated sound.
    static std::shared_ptr<const SoundClip> FromSamples(std::vector<float> interleaved);

    // Samples per channel.
    int64_t Length() const { return int64_t(samples_.size() / kSoundChannels); }
    // The channel count of the source before it became stereo.
    int SourceChannels() const { return sourceChannels_; }
    // The source stream's codec as FFmpeg names it ("aac", "pcm_s16le") and its sample rate;
    // empty and 0 for generated sound.
    const std::string& SourceCodec() const { return sourceCodec_; }
    int SourceRate() const { return sourceRate_; }
    // Samples [first, first + count) into `out` (interleaved stereo), silence outside the clip.
    void Read(int64_t first, int64_t count, float* out) const;
    const float* Data() const { return samples_.data(); }

  private:
    std::vector<float> samples_;
    int sourceChannels_ = 2;
    std::string sourceCodec_;
    int sourceRate_ = 0;
    bool hasPicture_ = false;
};

}  // namespace kelvane
