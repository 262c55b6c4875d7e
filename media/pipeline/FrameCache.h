#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "media/pipeline/DecodedPicture.h"

namespace kelvane {

// Decoded pictures of one movie around its last request, so that stepping backwards one frame at
// a time does not decode again from the key frame at every step. Pictures are kept as the decoder
// gave them (converted only when delivered). All caches of the process share one memory budget,
// the "MovieCacheSize" setting in megabytes (default 512; 0 turns caching off): a picture is kept
// only when it fits, after this cache's pictures farthest from the last request have made room.
// Thread-safe: the streaming thread inserts, the reader looks up.
class FrameCache {
  public:
    FrameCache() = default;
    ~FrameCache();
    FrameCache(const FrameCache&) = delete;
    FrameCache& operator=(const FrameCache&) = delete;

    // The media time of the last request; distances are measured from it.
    void SetFocus(RefTime time);
    // Keeps the picture if the budget allows; false when it was not kept.
    bool Insert(const PicturePtr& picture);
    // The picture with this frame number, or the first whose media time lies in [from, to).
    PicturePtr FindIndex(int64_t index) const;
    PicturePtr FindTime(RefTime from, RefTime to) const;
    void Clear();

    size_t Bytes() const;
    size_t Count() const;
    // Bytes held by all caches of the process, and the budget they share.
    static size_t ProcessBytes();
    static size_t Budget();

  private:
    struct Entry {
        PicturePtr picture;
        size_t bytes;
    };
    RefTime Distance(RefTime time) const;

    std::map<RefTime, Entry> entries_;  // by media time
    size_t bytes_ = 0;
    RefTime focus_ = 0;
};

}  // namespace kelvane
