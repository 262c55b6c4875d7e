#pragma once

#include <cstdint>
#include <string_view>

#include "model/TrackEvent.h"

namespace kelvane {

// A time as the user types it in dialogs: "m:s.fraction", "m:s", "s.fraction" (the fraction
// counts up to seven decimal places) or a plain count whose unit depends on the field.
struct TypedTime {
    enum class Kind {
        Unreadable,  // the field keeps its value
        Time,        // `time` holds the typed time
        Count,       // `count` holds a plain number
    };
    Kind kind = Kind::Unreadable;
    int pattern = 0;  // 1 "%u:%u.%7s", 2 "%u:%u", 3 "%u.%7s", 4 "%u"; 0 when none matched
    RefTime time = 0;
    uint32_t count = 0;
};

// The first pattern whose conversions all succeed decides; text after them is ignored. A number
// with a minus sign or beyond 32 bits does not read as a count.
TypedTime ParseTypedTime(std::u16string_view text);

// Start positions and the project length: a time becomes whole frames of frameDuration, a count
// is frames already. False (field unchanged) when unreadable or when the frame does not fit in
// 32 bits.
bool TypedTimeToFrames(const TypedTime& typed, RefTime frameDuration, uint32_t& frames);

// A playback position: a time as it stands; a count means source frames of a movie
// (movieFrameDuration) and leaves the position unchanged for other kinds (sourceIsMovie false).
bool TypedTimeToPlaybackPosition(const TypedTime& typed, bool sourceIsMovie,
                                 RefTime movieFrameDuration, RefTime& position);

// A speed factor (-65536 to 65536) into a playback step of frameDuration per frame at 1.0.
bool ParseSpeed(std::u16string_view text, RefTime frameDuration, RefTime& step);

// A movie's reference frame rate kept as a frame duration: empty = 0 (none), "m:s.fraction" =
// the duration itself, otherwise a positive rate in frames per second.
bool ParseReferenceRate(std::u16string_view text, RefTime& duration);

}  // namespace kelvane
