#include "media/pipeline/PacketTimes.h"

#include <functional>
#include <limits>
#include <string_view>

namespace kelvane {

namespace {

int64_t TimeOf(int64_t pts, int64_t dts) {
    return dts != AV_NOPTS_VALUE ? dts : pts;
}

uint64_t Gap(int64_t a, int64_t b) {
    return a >= b ? uint64_t(a) - uint64_t(b) : uint64_t(b) - uint64_t(a);
}

}  // namespace

uint64_t PacketTimes::Fingerprint(const AVPacket& packet) {
    const std::string_view bytes(reinterpret_cast<const char*>(packet.data), size_t(packet.size));
    return std::hash<std::string_view>{}(bytes) ^ uint64_t(packet.size);
}

void PacketTimes::Clear() {
    entries_.clear();
    keys_.clear();
    cursor_ = kNone;
    overflow_ = false;
}

void PacketTimes::Record(const AVPacket& packet) {
    if (overflow_)
        return;
    if (entries_.size() >= kMaxEntries) {
        // A partial record would leave seeks near the end uncorrected while those near the start
        // are: the same movie would behave differently by position. None at all is consistent.
        Clear();
        overflow_ = true;
        return;
    }
    if (packet.flags & AV_PKT_FLAG_KEY)
        keys_.emplace(Fingerprint(packet), entries_.size());
    entries_.push_back(Entry{packet.pts, packet.dts, packet.size});
}

bool PacketTimes::Recognise(AVPacket& key) {
    cursor_ = kNone;
    if (entries_.empty())
        return false;
    // Identical key packets (a still scene coded alike) are told apart by time: the demuxer's
    // time after a seek is off by a few frames at most, and such repeats lie further apart.
    const int64_t seen = TimeOf(key.pts, key.dts);
    const auto [first, last] = keys_.equal_range(Fingerprint(key));
    size_t best = kNone;
    uint64_t bestGap = std::numeric_limits<uint64_t>::max();
    int candidates = 0;
    for (auto it = first; it != last; ++it) {
        const Entry& e = entries_[it->second];
        if (e.size != key.size)
            continue;
        ++candidates;
        const int64_t recorded = TimeOf(e.pts, e.dts);
        const uint64_t gap = seen == AV_NOPTS_VALUE || recorded == AV_NOPTS_VALUE
                                 ? std::numeric_limits<uint64_t>::max()
                                 : Gap(seen, recorded);
        if (best == kNone || gap < bestGap) {
            best = it->second;
            bestGap = gap;
        }
    }
    if (best == kNone || (candidates > 1 && seen == AV_NOPTS_VALUE))
        return false;
    key.pts = entries_[best].pts;
    key.dts = entries_[best].dts;
    cursor_ = best + 1;
    return true;
}

void PacketTimes::Restore(AVPacket& packet) {
    if (cursor_ == kNone)
        return;
    if (cursor_ >= entries_.size() || entries_[cursor_].size != packet.size) {
        cursor_ = kNone;  // no longer the packets recorded: the demuxer's times stand
        return;
    }
    packet.pts = entries_[cursor_].pts;
    packet.dts = entries_[cursor_].dts;
    ++cursor_;
}

}  // namespace kelvane
