#include "ui/timeline/TimelineWaves.h"

#include <algorithm>
#include <cmath>

#include "media/MediaSource.h"
#include "media/audio/EventSoundLevel.h"
#include "media/audio/EventSoundMapping.h"
#include "media/audio/SoundFormat.h"
#include "media/audio/SoundPeaks.h"
#include "media/audio/SoundPeaksCache.h"
#include "ui/timeline/TimelineGeometry.h"
#include "ui/timeline/TrackBars.h"

namespace timeline {

namespace {

// Source positions far beyond any sound are all silence; kept where whole numbers are exact.
constexpr double kFarPosition = 4.0e18;

// The row of value v in a bar `height` rows high: +1 at the top, -1 at the bottom.
inline int16_t rowOf(double v, int height) {
    if (v != v) {
        v = 0.0;  // not a number: a sample decoded as garbage draws as silence
    }
    v = v < -1.0 ? -1.0 : (v > 1.0 ? 1.0 : v);
    // Never negative, so the truncation is the floor.
    const int row = int((1.0 - v) * double(height) * 0.5);
    return int16_t(row < height ? row : height - 1);
}

}  // namespace

namespace {

bool sameOwner(const std::weak_ptr<const void>& a, const std::weak_ptr<const void>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

bool samePeaks(const std::weak_ptr<const kelvane::SoundPeaks>& a,
               const std::weak_ptr<const kelvane::SoundPeaks>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

void TimelineWaves::setCache(kelvane::SoundPeaksCache& cache) {
    cache_ = &cache;
    end();
    forget();
}

void TimelineWaves::begin(const kelvane::Project& project) {
    project_ = &project;
    peaks_.assign(project.files.size(), nullptr);
    held_.clear();
    std::vector<std::weak_ptr<const kelvane::SoundPeaks>> found(project.files.size());
    for (size_t id = 0; id < project.files.size(); ++id) {
        const kelvane::MediaSource* source = kelvane::MediaSource::Of(project.files[id]);
        if (source == nullptr || !source->sound) {
            continue;
        }
        if (std::shared_ptr<const kelvane::SoundPeaks> peaks = cache_->Find(source->sound)) {
            peaks_[id] = peaks.get();
            found[id] = peaks;
            held_.push_back(std::move(peaks));
        }
    }
    // Peaks that arrived or went, another file, another timing: no kept row holds any more.
    const bool same = keptProject_ == &project &&
                      keptFrameDuration_ == project.settings.frameDuration &&
                      keptLength_ == project.settings.length && keptPeaks_.size() == found.size() &&
                      std::equal(found.begin(), found.end(), keptPeaks_.begin(), samePeaks);
    if (!same) {
        forget();
        keptProject_ = &project;
        keptFrameDuration_ = project.settings.frameDuration;
        keptLength_ = project.settings.length;
        keptPeaks_ = std::move(found);
    }
}

void TimelineWaves::end() {
    project_ = nullptr;
    peaks_.clear();
    held_.clear();
}

void TimelineWaves::forget() {
    rows_.clear();
    keptProject_ = nullptr;
    keptPeaks_.clear();
}

double TimelineWaves::samplesPerColumn(uint32_t zoom) const {
    // Column x holds frames [x, x + 1) × zoom / 32, and so these output samples.
    return double(zoom) / 32.0 * double(project_->settings.frameDuration) * kelvane::kSoundRate /
           double(kelvane::kRefTimePerSecond);
}

bool TimelineWaves::prepare(const kelvane::Track& track, uint32_t index, EventWave& wave) const {
    const auto events = track.EventSpan();
    if (index >= events.size() || !hasWave(events[index].fileId) ||
        !kelvane::MapEventSound(*project_, track, index, wave.mapping)) {
        return false;
    }
    wave.peaks = peaks_[size_t(events[index].fileId)];
    // A still, a muted event and a muted track play silence.
    wave.silent = wave.mapping.speed == 0.0 || track.Sound().muted ||
                  kelvane::EventSoundLevel(track, index).muted;
    wave.trackVolume = track.Sound().volume;
    return true;
}

bool TimelineWaves::stretch(const EventWave& wave, int64_t x, double perColumn, Stretch& out) {
    const kelvane::EventSoundMapping& mapping = wave.mapping;
    const double a = std::max(double(x) * perColumn, double(mapping.begin));
    const double b = std::min(double(x + 1) * perColumn, double(mapping.end));
    if (a >= b) {
        return false;
    }
    out.silent = wave.silent;
    if (!wave.silent) {
        const double p0 = mapping.SourceAt(a);
        const double p1 = mapping.SourceAt(b);
        const double first = std::clamp(std::floor(std::min(p0, p1)), -kFarPosition, kFarPosition);
        const double last =
            std::clamp(std::ceil(std::max(p0, p1)), first + 1.0, kFarPosition + 1.0);
        out.first = int64_t(first);
        out.last = int64_t(last);
        out.gain = mapping.VolumeAt((a + b) / 2.0) * wave.trackVolume;
    }
    return true;
}

WaveColumn TimelineWaves::rows(const kelvane::SoundPeaks& peaks, const Stretch& stretch,
                               int height) {
    if (stretch.silent) {
        return WaveColumn{rowOf(0.0, height), rowOf(0.0, height)};
    }
    const kelvane::SoundPeaks::Peak peak = peaks.Over(stretch.first, stretch.last);
    return WaveColumn{rowOf(double(peak.high) * stretch.gain, height),
                      rowOf(double(peak.low) * stretch.gain, height)};
}

bool TimelineWaves::columns(const kelvane::Track& track, uint32_t index, uint32_t zoom,
                            int64_t left, int64_t right, int height, std::vector<WaveColumn>& out) {
    out.clear();
    EventWave wave;
    if (right <= left || height <= 0 || !prepare(track, index, wave)) {
        return false;
    }
    const double perColumn = samplesPerColumn(zoom);
    out.resize(size_t(right - left));
    Stretch played;
    for (int64_t x = left; x < right; ++x) {
        out[size_t(x - left)] =
            stretch(wave, x, perColumn, played) ? rows(*wave.peaks, played, height) : WaveColumn{};
    }
    return true;
}

void TimelineWaves::computeRow(const kelvane::Track& track, uint32_t zoom, int64_t left,
                               int64_t right, int height, std::vector<WaveColumn>& out) const {
    out.assign(size_t(right - left), WaveColumn{});
    const auto events = track.EventSpan();
    if (events.empty() || height <= 0) {
        return;
    }
    const double perColumn = samplesPerColumn(zoom);
    const auto merge = [&](int64_t x, WaveColumn c) {
        WaveColumn& merged = out[size_t(x - left)];
        if (merged.top < 0) {
            merged = c;
        } else {
            merged.top = std::min(merged.top, c.top);
            merged.bottom = std::max(merged.bottom, c.bottom);
        }
    };
    // Events of one column that play overlapping or adjoining stretches of one sound at one
    // gain (pieces of one take, loops of one sound) are looked up as one stretch: the peak of
    // the union is the union of the peaks.
    struct Pending {
        int64_t x = 0;
        const kelvane::SoundPeaks* peaks = nullptr;
        Stretch stretch;
    } pending;
    const auto flush = [&] {
        if (pending.peaks != nullptr) {
            merge(pending.x, rows(*pending.peaks, pending.stretch, height));
            pending.peaks = nullptr;
        }
    };
    // From the event in force at the first column's first frame to the first one starting
    // right of the last column, each one merged into the few columns it reaches. Frames begin on
    // whole samples, columns need not: one more event at either end may reach in by a sample.
    const size_t first =
        firstStartingAfter(events, leftEdgeFrame(std::max<int64_t>(left, 0), zoom));
    const size_t stop =
        std::min(firstStartingAfter(events, lastStartAtColumn(right - 1, zoom)) + 1, events.size());
    EventWave wave;
    Stretch played;
    for (size_t i = first < 2 ? 0 : first - 2; i < stop; ++i) {
        if (!prepare(track, uint32_t(i), wave)) {
            continue;
        }
        // The columns from the one holding the first sample to the one holding the last, with
        // the very products stretch() tests against, so that a sliver at either end is not lost.
        const double begin = double(wave.mapping.begin);
        const double end = double(wave.mapping.end);
        int64_t from = int64_t(std::floor(begin / perColumn));
        from -= double(from) * perColumn > begin ? 1 : 0;
        int64_t to = int64_t(std::floor(end / perColumn)) + 1;
        to += double(to) * perColumn < end ? 1 : 0;
        from = std::max(from, left);
        to = std::min(to, right);
        for (int64_t x = from; x < to; ++x) {
            // A column already as tall as the bar can grow no more.
            const WaveColumn sofar = out[size_t(x - left)];
            if ((sofar.top == 0 && sofar.bottom == height - 1) ||
                !stretch(wave, x, perColumn, played)) {
                continue;
            }
            if (played.silent) {
                merge(x, rows(*wave.peaks, played, height));
                continue;
            }
            Stretch& open = pending.stretch;
            if (pending.peaks == wave.peaks && pending.x == x && open.gain == played.gain &&
                played.first <= open.last && played.last >= open.first) {
                open.first = std::min(open.first, played.first);
                open.last = std::max(open.last, played.last);
                continue;
            }
            flush();
            pending = Pending{x, wave.peaks, played};
        }
    }
    flush();
}

std::span<const WaveColumn> TimelineWaves::rowColumns(uint32_t trackIndex,
                                                      const kelvane::Track& track, uint32_t zoom,
                                                      int64_t left, int64_t right, int height) {
    if (right <= left || project_ == nullptr) {
        return {};
    }
    if (rows_.size() <= trackIndex) {
        rows_.resize(size_t(trackIndex) + 1);
    }
    KeptRow& row = rows_[trackIndex];
    const bool kept = row.left <= left && right <= row.right && row.zoom == zoom &&
                      row.height == height && row.count == track.Count() &&
                      row.sound == track.Sound() && sameOwner(row.events, track.EventsOwner()) &&
                      sameOwner(row.extras, track.ExtrasOwner());
    if (!kept) {
        computeRow(track, zoom, left, right, height, row.columns);
        row.events = track.EventsOwner();
        row.extras = track.ExtrasOwner();
        row.count = track.Count();
        row.sound = track.Sound();
        row.zoom = zoom;
        row.height = height;
        row.left = left;
        row.right = right;
    }
    return std::span<const WaveColumn>(row.columns)
        .subspan(size_t(left - row.left), size_t(right - left));
}

}  // namespace timeline
