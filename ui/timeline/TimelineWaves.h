#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "media/audio/EventSoundMapping.h"
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
    bool operator==(const WaveColumn&) const = default;
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

    // Zoomed out until a column holds more than a frame, several events share a column: a row
    // is then drawn column by column rather than event by event.
    static bool mergesColumns(uint32_t zoom) { return zoom > 32; }
    // The wave of track `trackIndex` over document columns [left, right) at such a zoom, in a
    // bar `height` rows high, one per column: each column shows the loudest of what every event
    // with a wave plays under it, as the union of what columns() gives each of them there.
    // Columns under no such event have `top` -1. Rows are kept between paints while the track's
    // arrays, its sound, the files' peaks and the project's timing stay the same; the span lasts
    // until the next call.
    std::span<const WaveColumn> rowColumns(uint32_t trackIndex, const kelvane::Track& track,
                                           uint32_t zoom, int64_t left, int64_t right, int height);
    // Drops the kept rows: the project may have changed in a way their keys do not show.
    void forget();

  private:
    // A row worked out by rowColumns and what it was worked out from.
    struct KeptRow {
        std::weak_ptr<const void> events;
        std::weak_ptr<const void> extras;
        uint32_t count = 0;
        kelvane::TrackSound sound;
        uint32_t zoom = 0;
        int height = 0;
        int64_t left = 0;
        int64_t right = 0;  // left == right: nothing kept
        std::vector<WaveColumn> columns;
    };

    // What one event plays: where it lies in the output, what it plays there, how loud.
    struct EventWave {
        kelvane::EventSoundMapping mapping;
        const kelvane::SoundPeaks* peaks = nullptr;
        bool silent = false;
        double trackVolume = 1.0;
    };
    // False when event `index` draws no wave.
    bool prepare(const kelvane::Track& track, uint32_t index, EventWave& wave) const;
    // What event `wave` plays in column x of `perColumn` samples: the source samples
    // [first, last) at `gain`, or silence.
    struct Stretch {
        bool silent = false;
        int64_t first = 0;
        int64_t last = 0;
        double gain = 0.0;
    };
    // False when it plays nothing there.
    static bool stretch(const EventWave& wave, int64_t x, double perColumn, Stretch& out);
    static WaveColumn rows(const kelvane::SoundPeaks& peaks, const Stretch& stretch, int height);
    double samplesPerColumn(uint32_t zoom) const;
    void computeRow(const kelvane::Track& track, uint32_t zoom, int64_t left, int64_t right,
                    int height, std::vector<WaveColumn>& out) const;

    kelvane::SoundPeaksCache* cache_;
    const kelvane::Project* project_ = nullptr;
    std::vector<const kelvane::SoundPeaks*> peaks_;  // by file ID
    std::vector<std::shared_ptr<const kelvane::SoundPeaks>> held_;
    // What the kept rows hold besides their tracks: the files' peaks (by file ID) and the timing.
    std::vector<std::weak_ptr<const kelvane::SoundPeaks>> keptPeaks_;
    const kelvane::Project* keptProject_ = nullptr;
    kelvane::RefTime keptFrameDuration_ = 0;
    uint32_t keptLength_ = 0;
    std::vector<KeptRow> rows_;  // by track
};

}  // namespace timeline
