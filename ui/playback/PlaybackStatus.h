#pragma once

#include <QString>
#include <cstdint>

// The status bar while playback runs: "再生中 00:03.200 (コマ落ち 0)", the time of the frame shown
// as the timeline's ruler writes it and the frames dropped so far.
QString playingStatus(uint32_t frame, double frameRate, uint64_t dropped);
