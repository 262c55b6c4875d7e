#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export/AviPartRecord.h"
#include "export/FrameComposer.h"
#include "model/TrackEvent.h"

namespace kelvane {

// What a join wrote.
struct AviJoinSummary {
    AviPartRecord record;  // the joined range, recorded in the output as in each part
    uint64_t bytes = 0;    // size of the output file
    // The parts' sound was copied as it is in a codec that primes each part: the seams may click.
    bool soundSeams = false;
    // The sound was rendered again from the project in one piece rather than copied.
    bool soundRendered = false;
};

// The sound of the project that the parts were exported from, loaded again: a join whose parts
// carry their sound in a codec that primes each part renders it anew for the whole range.
struct JoinProjectSound {
    FrameComposer* composer = nullptr;  // not owned; only its sound is asked for
    RefTime frameDuration = 0;
};

// What a join's first part says before anything is joined: its record, and whether its sound is
// in a codec that primes each part (AAC, Opus), so that copied parts would leave a seam where
// each one ends. False when it is not a file an export wrote; the join then says why.
bool ReadJoinPart(const std::string& part, AviPartRecord& record, bool& primedSound);

// Joins AVI files exported as frame ranges of one project into one AVI file at `output`, by
// copying their encoded frames in the order of their ranges; the output is an AVI file like the
// one a single export of the whole range writes (in OpenDML form past the first gigabyte), and
// it records the joined range in turn. The parts must come from the same project file, agree in
// frame size, rate, compressor and its settings, hold every frame their record claims, and their
// ranges must follow each other without a gap or an overlap. Every check runs before anything
// is written: a refused join writes nothing, and a join that fails on the way (a full disk)
// removes what it wrote; an existing output file is replaced only by a complete join. False with
// a message that names the offending part in `error`. `onFrame` (may be empty) is called after
// each frame copied with the count so far and the total; `cancel` (may be null) stops the join
// between two frames, as a failure that leaves nothing behind. With `projectSound` and parts whose
// sound primes each part, the output's sound is rendered from the project for the joined range in
// one piece, as the whole export encodes it, and the parts' own sound is left out.
bool JoinAviParts(const std::vector<std::string>& parts, const std::string& output,
                  AviJoinSummary& summary, std::string& error,
                  const std::function<void(uint32_t copied, uint32_t total)>& onFrame = {},
                  const std::atomic<bool>* cancel = nullptr,
                  const JoinProjectSound& projectSound = {});

}  // namespace kelvane
