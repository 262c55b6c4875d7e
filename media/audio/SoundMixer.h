#pragma once

#include <cstdint>

#include "model/Project.h"

namespace kelvane {

// The sound of a project, mixed from the sounds of its events. Every event whose source has
// sound (a movie or audio-only file, a nested project with sound of its own) sounds from its start
// frame until the next event of its track starts, or the project ends. Its source time follows the
// source time its picture shows, moving continuously between frames at the event's speed (the
// pitch following it, as on tape); a still is silent, and so is a source before its first sample
// and after its last. A 5 ms ramp fades each sound in where it starts inside the output and out
// where it stops, unless the next event carries the same sound on without a jump. Event volumes
// (moving towards the next event's while interpolating) and the track's volume and mute apply;
// the tracks are summed in float without clipping.
//
// Reads the project's events and loaded sources only, never the tracks' evaluation state, so any
// thread may mix a project that nothing changes meanwhile (a render copy, or the live project
// while an export keeps edits out).

// Output samples [s0, s1) of `project` into `out`, (s1 - s0) interleaved stereo pairs,
// overwritten. Samples outside the project's length are silent.
void MixProjectSound(const Project& project, int64_t s0, int64_t s1, float* out);

// Whether any event of an unmuted track places a source with sound: what decides whether an
// export carries a sound stream at all.
bool ProjectHasSound(const Project& project);

// Whether a file slot's source sounds when an event shows it: a movie or audio-only file with
// an audio stream, or a nested project whose own mix has sound.
bool EntryHasSound(const FileEntry& entry);

// The project's length in output samples.
int64_t ProjectSoundLength(const Project& project);

}  // namespace kelvane
