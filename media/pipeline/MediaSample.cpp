#include "media/pipeline/MediaSample.h"

#include <new>

namespace kelvane {

MediaSample::MediaSample(std::shared_ptr<SamplePool> pool, std::vector<uint8_t> buffer)
    : pool_(std::move(pool)), buffer_(std::move(buffer)) {}

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
