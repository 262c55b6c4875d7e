#include "render/TrackEvaluation.h"

#include <utility>

#include "render/EventGeometry.h"

namespace kelvane {
namespace {

// Two's-complement arithmetic without signed overflow: values that only a corrupt or stale state
// could produce wrap instead of being undefined.
int64_t Sub64(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) - uint64_t(b));
}
int64_t Add64(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) + uint64_t(b));
}
int64_t Mul64(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) * uint64_t(b));
}
int32_t Sub32(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}
int32_t Add32(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}
int32_t Mul32(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) * uint32_t(b));
}

// Truncating division; a span of -1 (starts 2^32 - 1 apart) must not trap on the one quotient
// that does not fit.
int64_t Div64(int64_t a, int32_t n) {
    return n == -1 ? Sub64(0, a) : a / n;
}
int32_t Div32(int32_t a, int32_t n) {
    return n == -1 ? Sub32(0, a) : a / n;
}

int32_t Lerp32(int32_t a, int32_t b, int32_t t, int32_t n) {
    return Add32(a, Div32(Mul32(Sub32(b, a), t), n));
}

float LerpFloat(float a, float b, int32_t t, int32_t n) {
    return a + ((b - a) * float(t)) / float(n);
}

void Compose(TrackEvalState& state, int32_t pixelQuality) {
    ComposeWithSamplingMatrix(state.working, ResolveDrawMethod(state.working.drawMethod,
                                                               state.defaultMethod, pixelQuality));
}

void Enter(TrackEvalState& state, const TrackEvent* events, uint32_t count, uint32_t index,
           int32_t pixelQuality) {
    const TrackEvent& event = events[index];
    state.lastFrame = event.start;
    state.currentStart = event.start;
    state.working = event;
    if (event.flags & kEventInterpolate) {
        if (index + 1 < count) {
            state.from = event;
            state.to = events[index + 1];
            state.span = int32_t(state.to.start - event.start);
            state.elapsed = 0;
        } else {
            state.working.flags &= ~uint32_t(kEventInterpolate);  // nothing to move towards
        }
    }
    if (state.working.flags & kEventParametric) {
        BuildParametricMatrices(state.working);
    }
    Compose(state, pixelQuality);
}

}  // namespace

void InterpolateWorkingCopy(TrackEvalState& state) {
    const int32_t n = state.span;
    const int32_t t = state.elapsed;
    if (n == 0) {
        return;
    }
    const TrackEvent& a = state.from;
    const TrackEvent& b = state.to;
    TrackEvent& w = state.working;

    // The source time runs straight from one event's position to the next; the step is unused.
    w.position = Add64(a.position, Div64(Mul64(Sub64(b.position, a.position), t), n));
    w.left = Lerp32(a.left, b.left, t, n);
    w.top = Lerp32(a.top, b.top, t, n);
    w.right = Lerp32(a.right, b.right, t, n);
    w.bottom = Lerp32(a.bottom, b.bottom, t, n);

    uint32_t colour = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int32_t ca = int32_t((a.colour >> shift) & 0xFF);
        const int32_t cb = int32_t((b.colour >> shift) & 0xFF);
        colour |= (uint32_t(Lerp32(ca, cb, t, n)) & 0xFF) << shift;
    }
    // Opacity 0 stands for 256; the byte of the result turns 256 back into 0.
    const int32_t oa = a.colour >> 24 ? int32_t(a.colour >> 24) : 256;
    const int32_t ob = b.colour >> 24 ? int32_t(b.colour >> 24) : 256;
    colour |= (uint32_t(Lerp32(oa, ob, t, n)) & 0xFF) << 24;
    w.colour = colour;

    // An explicit matrix has no parameters to move towards.
    if (b.flags & kEventParametric) {
        w.referenceX = LerpFloat(a.referenceX, b.referenceX, t, n);
        w.referenceY = LerpFloat(a.referenceY, b.referenceY, t, n);
        w.scale = LerpFloat(a.scale, b.scale, t, n);
        w.rotation = LerpFloat(a.rotation, b.rotation, t, n);
        w.positionX = LerpFloat(a.positionX, b.positionX, t, n);
        w.positionY = LerpFloat(a.positionY, b.positionY, t, n);
    }
}

void ResetTrackEvalState(TrackEvalState& state) {
    state.working = TrackEvent{};
    state.nextIndex = 0;
    state.currentStart = 0;
}

void EvaluateTrack(Track& track, uint32_t frame, int32_t pixelQuality) {
    const TrackEvent* events = std::as_const(track).Events();  // never unshares: read only
    if (events == nullptr) {
        return;
    }
    const uint32_t count = track.Count();
    TrackEvalState& state = track.EvalState();

    if (frame < state.lastFrame) {
        ResetTrackEvalState(state);
    }
    // The sentinel after the last event has the largest start, so events[i + 1] always exists.
    while (state.nextIndex < count) {
        const uint32_t i = state.nextIndex;
        if (frame < events[i].start) {
            break;
        }
        if (frame < events[i + 1].start) {
            Enter(state, events, count, i, pixelQuality);
        }
        state.nextIndex = i + 1;
    }

    if (frame != state.lastFrame) {
        TrackEvent& w = state.working;
        if ((w.flags & kEventInterpolate) == 0) {
            // Advancing by the difference and resetting on entry gives position + (f - start) x
            // step in whatever order frames come.
            const int32_t frames = int32_t(frame - state.lastFrame);
            w.position = Add64(w.position, Mul64(frames, w.step));
        } else {
            state.elapsed = int32_t(frame - state.currentStart);
            InterpolateWorkingCopy(state);
            if (w.flags & kEventParametric) {
                BuildParametricMatrices(w);
                Compose(state, pixelQuality);
            }
        }
    }
    state.lastFrame = frame;
}

}  // namespace kelvane
