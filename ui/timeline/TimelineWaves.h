#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/Project.h"

namespace kelvane {
class SoundPeaks;
class SoundPeaksCache;
}  // namespace kelvane

namespace timeline {

// The rows one column of a waveform covers, counted from the top of the bar, both included;
// `top` -1 for a column without sound (past the project's end).
struct WaveColumn {
    int16_t top = -1;
    int16_t bottom = -1;
};

// What the timeline draws of the events' sounds: per column, the lowest and the highest value the
// event plays there, at its volume and the track's (a muted one, a still or a stretch outside its
// source plays silence: a line through the middle). The peaks come from a cache that makes them on
// a thread of its own; until a file's are made its events are drawn without a wave.
class TimelineWaves {
  public:
    explicit TimelineWaves(kelvane::SoundPeaksCache& cache) : cache_(&cache) {}

    kelvane::SoundPeaksCache& cache() { return *cache_; }
    void setCache(kelvane::SoundPeaksCache& cache);

    // One paint of `project`: the peaks of every file with sound are looked up afresh (files
    // change between paints; those not made yet are asked for), and nothing is held after end().
    void begin(const kelvane::Project& project);
    void end();
    // Whether any file of the paint draws a wave.
    bool anyWave() const { return !held_.empty(); }
    // Whether events of file `fileId` draw a wave: it has sound and its peaks are made.
    bool hasWave(int32_t fileId) const {
        return fileId >= 0 && size_t(fileId) < peaks_.size() && peaks_[size_t(fileId)] != nullptr;
    }
    // The wave of event `index` of `track` over document columns [left, right) at `zoom`, in a
    // bar `height` rows high, into `out` (one per column). False when the event draws none.
    bool columns(const kelvane::Track& track, uint32_t index, uint32_t zoom, int64_t left,
                 int64_t right, int height, std::vector<WaveColumn>& out);

  private:
    kelvane::SoundPeaksCache* cache_;
    const kelvane::Project* project_ = nullptr;
    std::vector<const kelvane::SoundPeaks*> peaks_;  // by file ID
    std::vector<std::shared_ptr<const kelvane::SoundPeaks>> held_;
};

}  // namespace timeline
