#include "model/EventClipboard.h"

#include <cstring>
#include <exception>
#include <limits>

#include "model/Clipboard.h"
#include "model/EventExtrasCodec.h"

namespace kelvane {
namespace {

uint32_t ReadWord(const uint8_t* p) {
    uint32_t value;
    std::memcpy(&value, p, sizeof(value));
    return value;
}

void WriteWord(uint8_t* p, uint32_t value) {
    std::memcpy(p, &value, sizeof(value));
}

constexpr uint8_t kExtrasTag[4] = {'K', 'E', 'X', 'T'};

}  // namespace

bool EventClipboardBlock::Encode(std::span<const TrackEvent> events, std::vector<uint8_t>& block,
                                 std::span<const EventExtras> extras) {
    if (events.size() > std::numeric_limits<uint32_t>::max() ||
        events.size() > (std::numeric_limits<size_t>::max() - kHeaderBytes - kTrailerBytes) /
                            sizeof(TrackEvent)) {
        return false;
    }
    const size_t bytes = kHeaderBytes + events.size() * sizeof(TrackEvent) + kTrailerBytes;
    try {
        block.assign(bytes, 0);
    } catch (const std::exception&) {
        block.clear();
        return false;
    }
    WriteWord(block.data(), kKindEvents);
    WriteWord(block.data() + 4, uint32_t(events.size()));
    if (!events.empty()) {
        std::memcpy(block.data() + kHeaderBytes, events.data(), events.size() * sizeof(TrackEvent));
    }
    if (extras.size() == events.size() && AnyExtras(extras)) {
        try {
            block.insert(block.end(), std::begin(kExtrasTag), std::end(kExtrasTag));
            block.resize(block.size() + 4);
            WriteWord(block.data() + block.size() - 4, uint32_t(extras.size()));
        } catch (const std::exception&) {
            block.clear();
            return false;
        }
        if (!AppendExtras(extras, block)) {
            block.clear();
            return false;
        }
    }
    return true;
}

bool EventClipboardBlock::Decode(std::span<const uint8_t> block, std::vector<TrackEvent>& events,
                                 std::vector<EventExtras>* extras) {
    events.clear();
    if (extras) {
        extras->clear();
    }
    if (block.size() < kHeaderBytes || ReadWord(block.data()) != kKindEvents) {
        return false;
    }
    const uint32_t count = ReadWord(block.data() + 4);
    // Compared by division so that no count can wrap the size it claims.
    if (count > (block.size() - kHeaderBytes) / sizeof(TrackEvent)) {
        return false;
    }
    try {
        events.resize(count);
    } catch (const std::exception&) {
        events.clear();
        return false;
    }
    if (count > 0) {
        std::memcpy(events.data(), block.data() + kHeaderBytes, size_t(count) * sizeof(TrackEvent));
    }
    if (extras) {
        const size_t tail = kHeaderBytes + size_t(count) * sizeof(TrackEvent) + kTrailerBytes;
        std::span<const uint8_t> rest = block.size() > tail ? block.subspan(tail) : block.last(0);
        if (rest.size() < 8 || std::memcmp(rest.data(), kExtrasTag, 4) != 0 ||
            ReadWord(rest.data() + 4) != count ||
            !(rest = rest.subspan(8), ReadExtras(rest, count, *extras))) {
            try {
                extras->assign(count, EventExtras{});
            } catch (const std::exception&) {
                events.clear();
                extras->clear();
                return false;
            }
        }
    }
    return true;
}

bool PutEventsOnClipboard(Clipboard& clipboard, std::vector<TrackEvent> events, bool relativeStarts,
                          std::span<const EventExtras> extras) {
    if (relativeStarts && !events.empty()) {
        const uint32_t first = events.front().start;
        for (TrackEvent& event : events) {
            event.start -= first;  // 32-bit: the starts are in ascending order
        }
    }
    std::vector<uint8_t> block;
    return EventClipboardBlock::Encode(events, block, extras) && clipboard.Put(block);
}

bool TakeEventsFromClipboard(Clipboard& clipboard, std::vector<TrackEvent>& events,
                             std::vector<EventExtras>* extras) {
    events.clear();
    std::vector<uint8_t> block;
    return clipboard.Get(block) && EventClipboardBlock::Decode(block, events, extras) &&
           !events.empty();
}

}  // namespace kelvane
