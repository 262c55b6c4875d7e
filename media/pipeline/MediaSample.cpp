#include "media/pipeline/MediaSample.h"

#include <cstring>
#include <new>

namespace kelvane {

MediaSample::MediaSample(std::shared_ptr<SamplePool> pool, std::vector<uint8_t> buffer)
    : pool_(std::move(pool)), buffer_(std::move(buffer)) {}

MediaSample::MediaSample(PicturePtr picture) : picture_(std::move(picture)) {}

bool MediaSample::CopyTo(uint8_t* destination, size_t size) const {
    if (!destination || size > Size())
        return false;
    if (picture_)
        return picture_->ConvertInto(destination, size);
    std::memcpy(destination, buffer_.data(), size);
    return true;
}

MediaSample::~MediaSample() {
    if (pool_)
        pool_->Recycle(std::move(buffer_));
}

bool MediaSample::GetTime(RefTime& start) const {
    if (!hasStart_)
        return false;
    start = start_;
    return true;
}

SamplePtr SamplePool::Allocate() {
    std::vector<uint8_t> buffer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!free_.empty()) {
            buffer = std::move(free_.back());
            free_.pop_back();
        }
    }
    try {
        if (buffer.size() != bufferSize_)
            buffer.resize(bufferSize_);
        return std::make_shared<MediaSample>(shared_from_this(), std::move(buffer));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void SamplePool::Recycle(std::vector<uint8_t>&& buffer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_.size() < kKeep && buffer.size() == bufferSize_)
        free_.push_back(std::move(buffer));
}

}  // namespace kelvane
