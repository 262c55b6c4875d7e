#include "media/FrameRenderer.h"

#include <algorithm>

#include "media/EffectParams.h"
#include "media/MediaSource.h"
#include "render/DrawThreadPool.h"
#include "render/EventGeometry.h"
#include "render/TrackEvaluation.h"
#include "settings/AppSettings.h"

namespace kelvane {

namespace {

constexpr int32_t kFileTableSize = int32_t(kFileSlots);

DrawRect WholeImage(const PixelImage& image) {
    return {0, 0, image.Width(), image.Height()};
}

// Only 32-bit images are composed; plug-ins write width x height words into whatever they get.
bool Drawable(const PixelImage& target) {
    return !target.Empty() && target.BitsPerPixel() == 32;
}

// The source frame an event shows: its playback position in whole source frames, 0 before the
// source starts. A source without a frame duration has only frame 0 to show.
int32_t SourceFrameIndex(RefTime position, RefTime frameDuration) {
    if (position <= 0 || frameDuration <= 0) {
        return 0;
    }
    const RefTime index = position / frameDuration;
    return index > INT32_MAX ? INT32_MAX : int32_t(index);
}

// The parameter values an effect event is drawn with: the stored values of the event in force,
// moved towards the next event's while the event interpolates. Null without a track or extras:
// the effect's defaults.
const EffectParamList* EffectValuesAt(const Track* track, const TrackEvalState& state,
                                      const EffectPlugin& effect, EffectParamList& moved) {
    if (track == nullptr || !track->HasExtras() || state.nextIndex == 0 ||
        state.nextIndex > track->Count()) {
        return nullptr;
    }
    const uint32_t current = state.nextIndex - 1;
    const EffectParamList* stored = track->ExtrasAt(current).effectParams.get();
    const bool moving = (state.working.flags & kEventInterpolate) != 0 && state.span != 0 &&
                        state.nextIndex < track->Count();
    if (!moving)
        return stored;
    const EffectParamList* next = track->ExtrasAt(state.nextIndex).effectParams.get();
    if (stored == nullptr && next == nullptr)
        return nullptr;
    moved = InterpolateEffectParams(ResolveEffectParams(effect.Params(), stored),
                                    ResolveEffectParams(effect.Params(), next), state.elapsed,
                                    state.span);
    return &moved;
}

bool DrawEffect(const MediaSource& source, const TrackEvalState& state, const Track* track,
                const Project& project, PixelImage& target, const DrawRect& clip) {
    if (!source.effect) {
        return true;
    }
    const TrackEvent& e = state.working;
    // The plug-in is told where it may draw; that must lie within the frame.
    const EffectRect targetRect{std::max(clip.left, 0), std::max(clip.top, 0),
                                std::min(clip.right, target.Width()),
                                std::min(clip.bottom, target.Height())};
    const EffectRect region{e.left, e.top, e.right, e.bottom};
    EffectParamList moved;
    const EffectParamList* values = source.effect->TakesParams()
                                        ? EffectValuesAt(track, state, *source.effect, moved)
                                        : nullptr;
    const double rate = project.settings.frameRate;
    const double time = rate > 0 ? double(state.lastFrame) / rate : 0.0;
    return source.effect->Transform(reinterpret_cast<uint32_t*>(target.Pixels()), target.Width(),
                                    target.Height(), targetRect, region, e.colour, e.blendMode,
                                    e.matrix, e.inverse, values, time);
}

}  // namespace

bool DrawTrackEvent(const TrackEvalState& state, Project& project, PixelImage& target,
                    const DrawRect& clip, const Track* track) {
    if (!Drawable(target)) {
        return false;
    }
    const TrackEvent& e = state.working;
    if ((e.flags & kEventUsed) == 0) {
        return true;
    }
    if (e.fileId < 0 || e.fileId >= kFileTableSize) {
        return true;
    }
    FileEntry& entry = project.files[size_t(e.fileId)];
    const MediaSource* source = MediaSource::Of(entry);
    if (source == nullptr) {
        return true;  // an empty slot, or a descriptor whose media failed to load
    }
    if (entry.kind == FileKind::Effect) {
        return DrawEffect(*source, state, track, project, target, clip);
    }
    if (entry.kind != FileKind::Movie && entry.kind != FileKind::Image &&
        entry.kind != FileKind::Text && entry.kind != FileKind::Project) {
        return true;
    }
    // A slot without an image has nothing to show and nothing to fetch into; it is passed over
    // like an empty slot rather than failing every frame it appears in.
    const PixelImage* image = MediaSource::Image(entry);
    if (image == nullptr) {
        return true;
    }
    bool ok = true;
    if (entry.kind == FileKind::Movie || entry.kind == FileKind::Project) {
        ok = MediaSource::GetFrame(
            entry, SourceFrameIndex(e.position, MediaSource::GetFrameDuration(entry)));
    }
    image = MediaSource::ImageToDraw(entry);
    const DrawRect region{e.left, e.top, e.right, e.bottom};
    const AppSettings& settings = Settings();
    const DrawMethod method =
        ResolveDrawMethod(e.drawMethod, state.defaultMethod, settings.pixelQuality);
    DrawTransformed(target, clip, &ProcessDrawThreadPool(), settings.instructionLevel,
                    int32_t(method), *image, region, entry.colour, e.colour, e.blendMode, e.matrix,
                    e.inverse);
    return ok;
}

bool DrawAllTracks(Project& project, PixelImage& target, const DrawRect& clip) {
    if (!Drawable(target)) {
        return false;
    }
    for (Track& track : project.tracks) {
        if (!track.HasArray()) {
            continue;
        }
        if (!DrawTrackEvent(track.EvalState(), project, target, clip, &track)) {
            return false;
        }
    }
    return true;
}

bool RenderFrame(Project& project, uint32_t frame, PixelImage& target, bool resetFirst,
                 bool transparentBackground) {
    if (!Drawable(target)) {
        return false;
    }
    for (Track& track : project.tracks) {
        if (resetFirst) {
            ResetTrackEvalState(track);
        }
        EvaluateTrack(track, frame, Settings().pixelQuality);
    }
    // Without its background the image starts with colour 0 and presence 0, and every event is
    // laid over the presence of those below it.
    target.SetAlpha(transparentBackground ? PixelAlpha::Straight : PixelAlpha::None);
    target.Fill(transparentBackground ? 0 : project.settings.background);
    return DrawAllTracks(project, target, WholeImage(target));
}

bool RenderTrack(Project& project, uint32_t track, uint32_t frame, PixelImage& target) {
    if (track >= project.tracks.size() || !Drawable(target)) {
        return false;
    }
    Track& t = project.tracks[track];
    ResetTrackEvalState(t);
    EvaluateTrack(t, frame, Settings().pixelQuality);
    target.Fill(project.settings.background);
    if (!t.HasArray()) {
        return true;
    }
    return DrawTrackEvent(t.EvalState(), project, target, WholeImage(target), &t);
}

}  // namespace kelvane
