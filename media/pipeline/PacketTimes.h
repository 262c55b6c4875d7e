#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "media/FfmpegHandles.h"

namespace kelvane {

// The timestamps of a stream's packets as read from its start, so that packets read after a seek
// carry the same ones. Some demuxers time packets differently after a seek: an MPEG program stream
// whose pictures are smaller than a pack gives each pack's timestamp to the first piece of data in
// it, which after a seek is the tail of a picture that began in the pack before, and the times the
// parser then works out for the pictures that follow lie a frame or two off. The key packet a seek
// lands on is recognised by its bytes, and it and the packets after it get back the times they had
// when the stream was read in order, as long as their sizes show that the packets are the same.
class PacketTimes {
  public:
    // Forgets everything recorded.
    void Clear();
    // Packets of the stream in reading order from the start.
    void Record(const AVPacket& packet);

    // After a seek: the first key packet read. True when it is recognised; its times are then
    // those it had in order, and the packets after it follow.
    bool Recognise(AVPacket& key);
    // A packet read after the recognised one: restores its times while the sizes agree.
    void Restore(AVPacket& packet);
    // The next packet read is not the one after the last (a seek).
    void Lose() { cursor_ = kNone; }

  private:
    struct Entry {
        int64_t pts;
        int64_t dts;
        int size;
    };
    static constexpr size_t kNone = size_t(-1);
    // Streams of more packets than this (nine hours at 30 frames per second, 24 MB of record) are
    // not recorded: what the record would cost in memory outweighs what it corrects.
    static constexpr size_t kMaxEntries = size_t(1) << 20;
    static uint64_t Fingerprint(const AVPacket& packet);

    std::vector<Entry> entries_;
    std::unordered_multimap<uint64_t, size_t> keys_;  // key packets by fingerprint
    size_t cursor_ = kNone;
    bool overflow_ = false;
};

}  // namespace kelvane
