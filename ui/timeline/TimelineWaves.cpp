#include "ui/timeline/TimelineWaves.h"

#include <algorithm>
#include <cmath>

#include "media/MediaSource.h"
#include "media/audio/EventSoundLevel.h"
#include "media/audio/EventSoundMapping.h"
#include "media/audio/SoundFormat.h"
#include "media/audio/SoundPeaks.h"
#include "media/audio/SoundPeaksCache.h"

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

void TimelineWaves::setCache(kelvane::SoundPeaksCache& cache) {
    cache_ = &cache;
    end();
}

void TimelineWaves::begin(const kelvane::Project& project) {
    project_ = &project;
    peaks_.assign(project.files.size(), nullptr);
    held_.clear();
    for (size_t id = 0; id < project.files.size(); ++id) {
        const kelvane::MediaSource* source = kelvane::MediaSource::Of(project.files[id]);
        if (source == nullptr || !source->sound) {
            continue;
        }
        if (std::shared_ptr<const kelvane::SoundPeaks> peaks = cache_->Find(source->sound)) {
            peaks_[id] = peaks.get();
            held_.push_back(std::move(peaks));
        }
    }
}

void TimelineWaves::end() {
    project_ = nullptr;
    peaks_.clear();
    held_.clear();
}

bool TimelineWaves::columns(const kelvane::Track& track, uint32_t index, uint32_t zoom,
                            int64_t left, int64_t right, int height, std::vector<WaveColumn>& out) {
    out.clear();
    const auto events = track.EventSpan();
    kelvane::EventSoundMapping mapping;
    if (index >= events.size() || right <= left || height <= 0 || !hasWave(events[index].fileId) ||
        !kelvane::MapEventSound(*project_, track, index, mapping)) {
        return false;
    }
    const kelvane::SoundPeaks& peaks = *peaks_[size_t(events[index].fileId)];
    // A still, a muted event and a muted track play silence.
    const bool silent =
        mapping.speed == 0.0 || track.Sound().muted || kelvane::EventSoundLevel(track, index).muted;
    const double trackVolume = track.Sound().volume;
    // Column x holds frames [x, x + 1) × zoom / 32, and so these output samples.
    const double perColumn = double(zoom) / 32.0 * double(project_->settings.frameDuration) *
                             kelvane::kSoundRate / double(kelvane::kRefTimePerSecond);
    out.resize(size_t(right - left));
    for (int64_t x = left; x < right; ++x) {
        const double a = std::max(double(x) * perColumn, double(mapping.begin));
        const double b = std::min(double(x + 1) * perColumn, double(mapping.end));
        WaveColumn& column = out[size_t(x - left)];
        if (a >= b) {
            column = WaveColumn{};
            continue;
        }
        double low = 0.0;
        double high = 0.0;
        if (!silent) {
            const double p0 = mapping.SourceAt(a);
            const double p1 = mapping.SourceAt(b);
            const double first =
                std::clamp(std::floor(std::min(p0, p1)), -kFarPosition, kFarPosition);
            const double last =
                std::clamp(std::ceil(std::max(p0, p1)), first + 1.0, kFarPosition + 1.0);
            const kelvane::SoundPeaks::Peak peak = peaks.Over(int64_t(first), int64_t(last));
            const double gain = mapping.VolumeAt((a + b) / 2.0) * trackVolume;
            low = double(peak.low) * gain;
            high = double(peak.high) * gain;
        }
        column = WaveColumn{rowOf(high, height), rowOf(low, height)};
    }
    return true;
}

}  // namespace timeline
