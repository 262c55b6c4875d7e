#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "media/pipeline/DecodedPicture.h"
#include "model/TrackEvent.h"

namespace kelvane {

class SamplePool;

// One picture as the pipeline hands it to its sink, with the stream time of its start: either
// bottom-up 32-bit rows in a buffer of a pool, or a decoded picture that becomes such rows only
// when it is copied out. Shared ownership stands for the sample's reference count; a buffer goes
// back to its pool when the last reference is released.
class MediaSample {
  public:
    MediaSample(std::shared_ptr<SamplePool> pool, std::vector<uint8_t> buffer);
    explicit MediaSample(PicturePtr picture);
    ~MediaSample();
    MediaSample(const MediaSample&) = delete;
    MediaSample& operator=(const MediaSample&) = delete;

    // The rows of a pool buffer (empty for a decoded picture).
    uint8_t* Data() { return buffer_.data(); }
    const uint8_t* Data() const { return buffer_.data(); }
    // Bytes of the sample's 32-bit rows.
    size_t Size() const { return picture_ ? picture_->ConvertedSize() : buffer_.size(); }
    // Writes the first `size` bytes of the rows (at most Size()).
    bool CopyTo(uint8_t* destination, size_t size) const;
    const PicturePtr& Picture() const { return picture_; }

    // Stream start time relative to the last seek start, in 100 ns units; false when the sample
    // carries no stream time, in which case MediaTime is the fallback.
    bool GetTime(RefTime& start) const;
    RefTime MediaTime() const { return mediaTime_; }
    void SetTime(RefTime start) {
        start_ = start;
        hasStart_ = true;
    }
    void SetMediaTime(RefTime t) { mediaTime_ = t; }

  private:
    std::shared_ptr<SamplePool> pool_;
    std::vector<uint8_t> buffer_;
    PicturePtr picture_;
    RefTime start_ = 0;
    RefTime mediaTime_ = 0;
    bool hasStart_ = false;
};

using SamplePtr = std::shared_ptr<MediaSample>;

// Recycles picture buffers: a frame of a large movie is megabytes, and fresh allocations of that
// size cost page faults on every frame.
class SamplePool : public std::enable_shared_from_this<SamplePool> {
  public:
    explicit SamplePool(size_t bufferSize) : bufferSize_(bufferSize) {}
    // Null when memory runs out.
    SamplePtr Allocate();
    size_t BufferSize() const { return bufferSize_; }

  private:
    friend class MediaSample;
    void Recycle(std::vector<uint8_t>&& buffer);

    // The slot holds one sample and the streaming thread prepares the next: two cover the steady
    // state, and large frames make every spare one costly.
    static constexpr size_t kKeep = 2;
    const size_t bufferSize_;
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> free_;
};

}  // namespace kelvane
