#include "media/sound_reference_mixer.h"

#include <algorithm>
#include <cmath>

#include "media/MediaSource.h"
#include "media/audio/EventSoundLevel.h"
#include "media/audio/SoundClip.h"

namespace kelvane::testing {

namespace {

// Sample of the first instant of frame n: n × fd × 48,000 / 10^7, halves up.
int64_t Begin(const Project& p, int64_t n) {
    const long double exact = (long double)n * p.settings.frameDuration * 48000.0L / 1e7L;
    return int64_t(std::floor(exact + 0.5L));
}

std::array<double, 2> SourceSample(const Project& project, int32_t fileId, int64_t k) {
    const FileEntry& entry = project.files[size_t(fileId)];
    if (const SoundClip* clip = MediaSource::Sound(entry)) {
        if (k < 0 || k >= clip->Length()) {
            return {0.0, 0.0};
        }
        return {clip->Data()[2 * k], clip->Data()[2 * k + 1]};
    }
    const MediaSource* source = MediaSource::Of(entry);
    if (entry.kind == FileKind::Project && source != nullptr && source->project) {
        const Project& nested = *source->project;
        if (k < 0 || k >= Begin(nested, nested.settings.length)) {
            return {0.0, 0.0};
        }
        return ReferenceSample(nested, k);
    }
    return {0.0, 0.0};
}

}  // namespace

std::array<double, 2> ReferenceSample(const Project& project, int64_t s) {
    std::array<double, 2> sum{0.0, 0.0};
    const uint32_t length = project.settings.length;
    const double fd = double(project.settings.frameDuration);
    if (s < 0 || s >= Begin(project, length)) {
        return sum;
    }
    // The frame that sample s belongs to.
    int64_t n = std::max<int64_t>(int64_t(double(s) * 1e7 / 48000.0 / fd) - 2, 0);
    while (n + 1 <= length && Begin(project, n + 1) <= s) {
        ++n;
    }
    for (const Track& track : project.tracks) {
        if (track.Sound().muted) {
            continue;
        }
        const TrackEvent* ev = track.Events();
        int64_t cur = -1;
        for (uint32_t i = 0; i < track.Count(); ++i) {
            if ((ev[i].flags & kEventUsed) && ev[i].start <= n) {
                cur = i;
            }
        }
        if (cur < 0) {
            continue;
        }
        const TrackEvent& e = ev[cur];
        const EventLevel level = EventSoundLevel(track, uint32_t(cur));
        if (level.muted) {
            continue;
        }
        const bool hasNext = uint32_t(cur) + 1 < track.Count();
        const int64_t begin = Begin(project, e.start);
        const int64_t end = hasNext ? Begin(project, std::min<uint32_t>(ev[cur + 1].start, length))
                                    : Begin(project, length);
        const double t = double(s) * 1e7 / 48000.0;  // output time, 100 ns units
        const double into = t - double(e.start) * fd;
        double source;  // source time, 100 ns units
        double volume = level.volume;
        if ((e.flags & kEventInterpolate) && hasNext) {
            const TrackEvent& b = ev[cur + 1];
            const double span = double(b.start - e.start) * fd;
            source = double(e.position) + double(b.position - e.position) * into / span;
            if (b.position == e.position) {
                continue;  // a still
            }
            volume +=
                (double(EventSoundLevel(track, uint32_t(cur) + 1).volume) - volume) * into / span;
        } else {
            if (e.step == 0) {
                continue;
            }
            source = double(e.position) + into * double(e.step) / fd;
        }
        double gain = volume * track.Sound().volume;
        if (begin > 0 && s - begin < 240) {
            gain *= double(s - begin) / 240.0;
        }
        if (end < Begin(project, length) && end - s < 240) {
            gain *= double(end - s) / 240.0;
        }
        const double p = source * 48000.0 / 1e7;
        const double k = std::floor(p);
        const double frac = p - k;
        const auto a = SourceSample(project, e.fileId, int64_t(k));
        const auto b = SourceSample(project, e.fileId, int64_t(k) + 1);
        for (int c = 0; c < 2; ++c) {
            sum[c] += (a[c] * (1.0 - frac) + b[c] * frac) * gain;
        }
    }
    return sum;
}

std::vector<float> ReferenceMix(const Project& project, int64_t s0, int64_t s1) {
    std::vector<float> out;
    for (int64_t s = s0; s < s1; ++s) {
        const auto v = ReferenceSample(project, s);
        out.push_back(float(v[0]));
        out.push_back(float(v[1]));
    }
    return out;
}

}  // namespace kelvane::testing
