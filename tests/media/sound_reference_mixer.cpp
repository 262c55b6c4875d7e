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

namespace {

// What event `i` of a track plays at output sample s: the source sample position, the volume and
// the direction; `sounds` false for a muted event or a still.
struct Playing {
    bool sounds = false;
    double position = 0;  // source samples
    double volume = 1;
    bool forwards = true;
};

Playing PlayingAt(const Project& project, const Track& track, uint32_t i, double s) {
    Playing p;
    const TrackEvent* ev = track.Events();
    const TrackEvent& e = ev[i];
    const EventLevel level = EventSoundLevel(track, i);
    if (level.muted) {
        return p;
    }
    const double fd = double(project.settings.frameDuration);
    const double t = s * 1e7 / 48000.0;  // output time, 100 ns units
    const double into = t - double(e.start) * fd;
    double source;
    double speed;
    p.volume = level.volume;
    if ((e.flags & kEventInterpolate) && i + 1 < track.Count()) {
        const TrackEvent& b = ev[i + 1];
        const double span = double(b.start - e.start) * fd;
        source = double(e.position) + double(b.position - e.position) * into / span;
        speed = double(b.position - e.position);
        p.volume += (double(EventSoundLevel(track, i + 1).volume) - p.volume) * into / span;
    } else {
        source = double(e.position) + into * double(e.step) / fd;
        speed = double(e.step);
    }
    p.sounds = speed != 0;
    p.forwards = speed > 0;
    p.position = source * 48000.0 / 1e7;
    return p;
}

// The event in force at frame n: the last one starting at or before it; -1 for none.
int64_t InForce(const Track& track, int64_t n) {
    int64_t cur = -1;
    for (uint32_t i = 0; i < track.Count(); ++i) {
        if ((track.Events()[i].flags & kEventUsed) && track.Events()[i].start <= n) {
            cur = i;
        }
    }
    return cur;
}

// Whether the sound runs on without a jump from event a into event b at sample `at`.
bool RunsOn(const Project& project, const Track& track, int64_t a, int64_t b, int64_t at) {
    if (a < 0 || b < 0 || track.Events()[a].fileId != track.Events()[b].fileId) {
        return false;
    }
    const Playing x = PlayingAt(project, track, uint32_t(a), double(at));
    const Playing y = PlayingAt(project, track, uint32_t(b), double(at));
    return x.sounds && y.sounds && x.forwards == y.forwards &&
           std::abs(x.position - y.position) < 1.0;
}

}  // namespace

std::array<double, 2> ReferenceSample(const Project& project, int64_t s) {
    std::array<double, 2> sum{0.0, 0.0};
    const uint32_t length = project.settings.length;
    const double fd = double(project.settings.frameDuration);
    const int64_t projectEnd = Begin(project, length);
    if (s < 0 || s >= projectEnd) {
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
        const int64_t cur = InForce(track, n);
        if (cur < 0) {
            continue;
        }
        const TrackEvent& e = track.Events()[cur];
        const Playing now = PlayingAt(project, track, uint32_t(cur), double(s));
        if (!now.sounds) {
            continue;
        }
        const bool hasNext = uint32_t(cur) + 1 < track.Count();
        const int64_t begin = Begin(project, e.start);
        const int64_t end =
            hasNext ? Begin(project, std::min<uint32_t>(track.Events()[cur + 1].start, length))
                    : projectEnd;
        double gain = now.volume * track.Sound().volume;
        if (begin > 0 && s - begin < 240 &&
            !RunsOn(project, track, e.start > 0 ? InForce(track, int64_t(e.start) - 1) : -1, cur,
                    begin)) {
            gain *= double(s - begin) / 240.0;
        }
        if (end < projectEnd && end - s < 240 &&
            !RunsOn(project, track, cur, InForce(track, track.Events()[cur + 1].start), end)) {
            gain *= double(end - s) / 240.0;
        }
        const double k = std::floor(now.position);
        const double frac = now.position - k;
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
