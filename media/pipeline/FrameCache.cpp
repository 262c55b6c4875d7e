#include "media/pipeline/FrameCache.h"

#include <mutex>

#include "settings/AppSettings.h"

namespace kelvane {

namespace {

// One lock over every cache: the budget is shared, and each operation is a few map steps.
std::mutex& CacheLock() {
    static std::mutex lock;
    return lock;
}
size_t g_processBytes = 0;

}  // namespace

FrameCache::~FrameCache() {
    Clear();
}

size_t FrameCache::Budget() {
    const int64_t megabytes = std::max<int32_t>(Settings().movieCacheSize, 0);
    return size_t(megabytes) << 20;
}

size_t FrameCache::ProcessBytes() {
    std::lock_guard<std::mutex> lock(CacheLock());
    return g_processBytes;
}

RefTime FrameCache::Distance(RefTime time) const {
    return time >= focus_ ? time - focus_ : focus_ - time;
}

void FrameCache::SetFocus(RefTime time) {
    std::lock_guard<std::mutex> lock(CacheLock());
    focus_ = time;
}

bool FrameCache::Insert(const PicturePtr& picture) {
    if (!picture)
        return false;
    const size_t bytes = picture->Bytes();
    const size_t budget = Budget();
    std::lock_guard<std::mutex> lock(CacheLock());
    if (bytes > budget || entries_.count(picture->time))
        return false;
    const RefTime distance = Distance(picture->time);
    while (g_processBytes + bytes > budget) {
        // The farthest of this cache's pictures lies at one end of the time order.
        if (entries_.empty())
            return false;  // other movies hold the budget
        auto farthest = entries_.begin();
        auto last = std::prev(entries_.end());
        if (Distance(last->first) > Distance(farthest->first))
            farthest = last;
        if (Distance(farthest->first) <= distance)
            return false;  // the new picture is the farthest
        bytes_ -= farthest->second.bytes;
        g_processBytes -= farthest->second.bytes;
        entries_.erase(farthest);
    }
    entries_.emplace(picture->time, Entry{picture, bytes});
    bytes_ += bytes;
    g_processBytes += bytes;
    return true;
}

PicturePtr FrameCache::FindIndex(int64_t index) const {
    std::lock_guard<std::mutex> lock(CacheLock());
    for (const auto& [time, entry] : entries_)
        if (entry.picture->index == index)
            return entry.picture;
    return nullptr;
}

PicturePtr FrameCache::FindTime(RefTime from, RefTime to) const {
    std::lock_guard<std::mutex> lock(CacheLock());
    auto it = entries_.lower_bound(from);
    if (it != entries_.end() && it->first < to)
        return it->second.picture;
    return nullptr;
}

void FrameCache::Clear() {
    std::lock_guard<std::mutex> lock(CacheLock());
    g_processBytes -= bytes_;
    bytes_ = 0;
    entries_.clear();
}

size_t FrameCache::Bytes() const {
    std::lock_guard<std::mutex> lock(CacheLock());
    return bytes_;
}

size_t FrameCache::Count() const {
    std::lock_guard<std::mutex> lock(CacheLock());
    return entries_.size();
}

}  // namespace kelvane
