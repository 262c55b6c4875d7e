#include "media/audio/SoundMixer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "media/MediaSource.h"
#include "media/audio/EventSoundLevel.h"
#include "media/audio/EventSoundMapping.h"
#include "media/audio/SoundClip.h"
#include "media/audio/SoundFormat.h"

namespace kelvane {

namespace {

// Output samples mixed per pass, which bounds the source samples fetched at once.
constexpr int64_t kBlock = 4096;
// Nested projects inside nested projects: a file table that reaches itself again stops here.
constexpr int kMaxDepth = 32;

const Project* NestedWithSound(const FileEntry& entry);

bool SourceHasSound(const Project& project, const TrackEvent& e) {
    if (e.fileId < 0 || e.fileId >= int32_t(project.files.size())) {
        return false;
    }
    return EntryHasSound(project.files[size_t(e.fileId)]);
}

bool HasSound(const Project& project, int depth) {
    if (depth > kMaxDepth) {
        return false;
    }
    for (const Track& track : project.tracks) {
        if (track.Sound().muted || track.Count() == 0) {
            continue;
        }
        const TrackEvent* ev = track.Events();
        for (uint32_t i = 0; i < track.Count(); ++i) {
            if ((ev[i].flags & kEventUsed) && ev[i].start < project.settings.length &&
                !EventSoundLevel(track, i).muted && SourceHasSound(project, ev[i])) {
                return true;
            }
        }
    }
    return false;
}

const Project* NestedWithSound(const FileEntry& entry) {
    if (entry.kind != FileKind::Project) {
        return nullptr;
    }
    const MediaSource* source = MediaSource::Of(entry);
    if (source == nullptr || !source->project) {
        return nullptr;
    }
    // Cheap compared with mixing; asked once per event and pass.
    return HasSound(*source->project, 1) ? source->project.get() : nullptr;
}

// One event's sound as a function of the output sample: where it sounds, which source sample
// it reads, how loud.
struct EventSound : EventSoundMapping {
    bool sounds = false;
    int32_t fileId = -1;
};

// The event at `i`, if it is ever in force (no later event starts on the same frame).
EventSound Describe(const Project& project, const Track& track, uint32_t i) {
    EventSound sound;
    const TrackEvent& e = track.Events()[i];
    if (!MapEventSound(project, track, i, sound) || !SourceHasSound(project, e) ||
        EventSoundLevel(track, i).muted) {
        return EventSound{};
    }
    sound.fileId = e.fileId;
    // A still is silent.
    sound.sounds = sound.speed != 0.0 && sound.end > sound.begin;
    return sound;
}

// Whether `b` carries `a`'s sound on at their meeting point: the same source, continuing within a
// sample; then neither fades there.
bool Continues(const EventSound& a, const EventSound& b) {
    if (!a.sounds || !b.sounds || a.fileId != b.fileId || a.end != b.begin) {
        return false;
    }
    const double meet = double(a.end);
    return std::abs(a.SourceAt(meet) - b.SourceAt(meet)) < 1.0 && (a.speed > 0) == (b.speed > 0);
}

// The source's samples [first, first + count) as stereo pairs.
void ReadSource(const Project& project, int32_t fileId, int64_t first, int64_t count, float* out,
                int depth);

void MixInto(const Project& project, int64_t s0, int64_t s1, float* out, int depth);

void ReadSource(const Project& project, int32_t fileId, int64_t first, int64_t count, float* out,
                int depth) {
    const FileEntry& entry = project.files[size_t(fileId)];
    if (const SoundClip* clip = MediaSource::Sound(entry)) {
        clip->Read(first, count, out);
        return;
    }
    std::fill(out, out + count * kSoundChannels, 0.0f);
    const Project* nested = NestedWithSound(entry);
    if (nested == nullptr || depth >= kMaxDepth) {
        return;
    }
    // A nested project sounds within its own length only.
    const int64_t from = std::max<int64_t>(first, 0);
    const int64_t to = std::min(first + count, ProjectSoundLength(*nested));
    if (to > from) {
        MixInto(*nested, from, to, out + (from - first) * kSoundChannels, depth + 1);
    }
}

// Adds one event's sound over [x0, x1) (within its own span) to `out`, which starts at s0.
void AddEvent(const Project& project, const EventSound& sound, bool fadeIn, bool fadeOut,
              float trackVolume, int64_t x0, int64_t x1, int64_t s0, float* out, int depth,
              std::vector<float>& scratch) {
    for (int64_t b0 = x0; b0 < x1; b0 += kBlock) {
        const int64_t b1 = std::min(x1, b0 + kBlock);
        const double p0 = sound.SourceAt(double(b0));
        const double p1 = sound.SourceAt(double(b1 - 1));
        const int64_t first = int64_t(std::floor(std::min(p0, p1)));
        const int64_t last = int64_t(std::floor(std::max(p0, p1))) + 1;
        const int64_t count = last - first + 1;
        scratch.resize(size_t(count) * kSoundChannels);
        ReadSource(project, sound.fileId, first, count, scratch.data(), depth);
        for (int64_t s = b0; s < b1; ++s) {
            const double p = sound.SourceAt(double(s));
            const double whole = std::floor(p);
            const double frac = p - whole;
            const int64_t k = int64_t(whole) - first;
            double gain = (sound.volumeFrom + (double(s) - sound.anchor) * sound.volumeSlope) *
                          double(trackVolume);
            if (fadeIn && s - sound.begin < kSoundFadeSamples) {
                gain *= double(s - sound.begin) / kSoundFadeSamples;
            }
            if (fadeOut && sound.end - s < kSoundFadeSamples) {
                gain *= double(sound.end - s) / kSoundFadeSamples;
            }
            const float* a = &scratch[size_t(k) * kSoundChannels];
            const float* b = a + kSoundChannels;
            float* o = out + (s - s0) * kSoundChannels;
            for (int c = 0; c < kSoundChannels; ++c) {
                o[c] += float((double(a[c]) * (1.0 - frac) + double(b[c]) * frac) * gain);
            }
        }
    }
}

// The event in force before event i (the last of the events that share the start before i's).
EventSound Before(const Project& project, const Track& track, uint32_t i) {
    const TrackEvent* ev = track.Events();
    for (uint32_t j = i; j-- > 0;) {
        if (ev[j].start != ev[i].start) {
            return Describe(project, track, j);
        }
    }
    return EventSound{};
}

// The event in force after event i.
EventSound After(const Project& project, const Track& track, uint32_t i) {
    const TrackEvent* ev = track.Events();
    uint32_t j = i + 1;
    if (j >= track.Count()) {
        return EventSound{};
    }
    while (j + 1 < track.Count() && ev[j + 1].start == ev[j].start) {
        ++j;
    }
    return Describe(project, track, j);
}

void MixTrack(const Project& project, const Track& track, int64_t s0, int64_t s1, float* out,
              int depth, std::vector<float>& scratch) {
    const TrackEvent* ev = track.Events();
    const uint32_t count = track.Count();
    const RefTime fd = project.settings.frameDuration;
    // The first event that may sound at s0: the last one starting at or before it.
    uint32_t lo = 0;
    uint32_t hi = count;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (FrameStartSample(ev[mid].start, fd) <= s0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    uint32_t i = lo > 0 ? lo - 1 : 0;
    const int64_t projectEnd = ProjectSoundLength(project);
    for (; i < count; ++i) {
        if (ev[i].start >= project.settings.length || FrameStartSample(ev[i].start, fd) >= s1) {
            break;
        }
        const EventSound sound = Describe(project, track, i);
        if (!sound.sounds || sound.end <= s0) {
            continue;
        }
        const bool fadeIn = sound.begin > 0 && !Continues(Before(project, track, i), sound);
        const bool fadeOut = sound.end < projectEnd && !Continues(sound, After(project, track, i));
        const int64_t x0 = std::max(s0, sound.begin);
        const int64_t x1 = std::min(s1, sound.end);
        AddEvent(project, sound, fadeIn, fadeOut, track.Sound().volume, x0, x1, s0, out, depth,
                 scratch);
    }
}

void MixInto(const Project& project, int64_t s0, int64_t s1, float* out, int depth) {
    std::vector<float> scratch;
    const int64_t end = std::min(s1, ProjectSoundLength(project));
    for (const Track& track : project.tracks) {
        if (track.Count() == 0 || track.Sound().muted || track.Sound().volume == 0.0f) {
            continue;
        }
        if (end > s0) {
            MixTrack(project, track, s0, end, out, depth, scratch);
        }
    }
}

}  // namespace

int64_t ProjectSoundLength(const Project& project) {
    return FrameStartSample(project.settings.length, project.settings.frameDuration);
}

void MixProjectSound(const Project& project, int64_t s0, int64_t s1, float* out) {
    if (s1 <= s0) {
        return;
    }
    std::fill(out, out + (s1 - s0) * kSoundChannels, 0.0f);
    MixInto(project, s0, s1, out, 0);
}

bool ProjectHasSound(const Project& project) {
    return HasSound(project, 0);
}

bool EntryHasSound(const FileEntry& entry) {
    return MediaSource::Sound(entry) != nullptr || NestedWithSound(entry) != nullptr;
}

}  // namespace kelvane
