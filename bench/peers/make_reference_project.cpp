// Writes the reference composition of the peer measurements as a project file:
//
//   make_reference_project MEDIA_FOLDER OUT.xqm [FRAMES]
//   make_reference_project --empty OUT.xqm [FRAMES]
//   make_reference_project --movie MOVIE OUT.xqm FRAMES
//
// 1920 x 1080, 30 frames per second, FRAMES frames (default 300) on a background of 0x203040:
//   track 0: MEDIA/movie.mp4 (1280 x 720) scaled 1.5 and rotated 10 degrees about the centre,
//            bilinear;
//   track 1: MEDIA/pic.png at (560, 240), opacity 128;
//   track 2: the text "合成テスト レイヤー3 Text 2026", Noto Sans CJK JP, 96 pixels, white, at
//            (120, 860);
//   track 3: the movie again (a slot of its own, so a second reader) scaled to 640 x 360 and
//            multiplied onto the frame at (1200, 660), bilinear.
// Past the movie's 300 frames both movie tracks start it again every 300 frames, so that a long
// export keeps decoding.
// --empty writes the same settings with no files and no events (the start-up benchmark's frame of
// an empty project); --movie one 1920 x 1080 movie shown whole and unscaled on track 0 for FRAMES
// frames (the random-frame benchmark).

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/TrackEvent.h"
#include "platform/LogFont.h"
#include "platform/Path.h"
#include "render/EventGeometry.h"

namespace {

using namespace kelvane;

constexpr uint32_t kMovieFrames = 300;

// Events are placed by reference point, scale, rotation and position, as the property dialog
// places them.
TrackEvent Placed(int32_t fileId, uint32_t start, int32_t right, int32_t bottom, float referenceX,
                  float referenceY, float scale, float rotation, float positionX, float positionY) {
    TrackEvent e{};
    e.flags = kEventUsed | kEventParametric;
    e.start = start;
    e.fileId = fileId;
    e.right = right;
    e.bottom = bottom;
    e.colour = 0x00FFFFFF;  // white: no tint, opaque
    e.referenceX = referenceX;
    e.referenceY = referenceY;
    e.scale = scale;
    e.rotation = rotation;
    e.positionX = positionX;
    e.positionY = positionY;
    BuildParametricMatrices(e);
    return e;
}

bool SetPath(FileEntry& entry, FileKind kind, const std::string& path) {
    entry.kind = kind;
    entry.colour = kNoTransparentColour;
    return CopyPath(entry.path, FromUtf8(path));
}

// The movie on one track, started again every 300 frames.
bool AddMovieTrack(Project& p, uint32_t track, const TrackEvent& first, uint32_t frames) {
    for (uint32_t start = 0; start < frames; start += kMovieFrames) {
        TrackEvent e = first;
        e.start = start;
        e.position = 0;
        e.step = p.settings.frameDuration;
        if (!p.tracks[track].InsertSorted(&e, 1)) {
            return false;
        }
    }
    return true;
}

}  // namespace

// The start-up benchmark's projects: nothing at all, or one movie as it is.
int WriteSmallProject(const std::string& mode, const char* movie, const char* out, long frames) {
    std::unique_ptr<Project> p = Project::Create();
    if (!p || frames < 1 || frames > long(kMaxProjectLength)) {
        return 2;
    }
    p->ApplyDefaults();
    p->ApplySettings(false, 1920, 1080, uint32_t(frames), 0x00403020, 0, 30.0, PathBuffer{});
    if (mode == "--movie") {
        char full[PATH_MAX];
        if (realpath(movie, full) == nullptr || !SetPath(p->files[0], FileKind::Movie, full)) {
            std::fprintf(stderr, "no movie %s\n", movie);
            return 1;
        }
        TrackEvent whole = Placed(0, 0, 1920, 1080, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f);
        whole.drawMethod = int32_t(DrawMethod::Standard);
        whole.position = 0;
        whole.step = p->settings.frameDuration;
        if (!p->tracks[0].InsertSorted(&whole, 1)) {
            return 1;
        }
    }
    if (!ProjectFile::Write(FromUtf8(out), *p)) {
        std::fprintf(stderr, "cannot write %s\n", out);
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--empty") == 0) {
        return WriteSmallProject(argv[1], nullptr, argv[2],
                                 argc >= 4 ? std::strtol(argv[3], nullptr, 10) : 300);
    }
    if (argc == 5 && std::strcmp(argv[1], "--movie") == 0) {
        return WriteSmallProject(argv[1], argv[2], argv[3], std::strtol(argv[4], nullptr, 10));
    }
    // An effect over everything, for the cost of an adjustment layer: "--effect PATH" at the end.
    const char* effect = nullptr;
    if (argc == 6 && std::strcmp(argv[4], "--effect") == 0) {
        effect = argv[5];
        argc = 4;
    }
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s MEDIA_FOLDER OUT.xqm [FRAMES [--effect PATH]]\n", argv[0]);
        return 2;
    }
    char media[PATH_MAX];
    if (realpath(argv[1], media) == nullptr) {
        std::fprintf(stderr, "no media folder %s\n", argv[1]);
        return 1;
    }
    const long frames = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 300;
    if (frames < 1 || frames > long(kMaxProjectLength)) {
        std::fprintf(stderr, "frames must be 1 to %u\n", kMaxProjectLength);
        return 2;
    }
    const std::string folder = media;

    std::unique_ptr<Project> p = Project::Create();
    if (!p) {
        return 1;
    }
    p->ApplyDefaults();
    p->ApplySettings(false, 1920, 1080, uint32_t(frames), 0x00403020, 0, 30.0, PathBuffer{});

    bool ok = SetPath(p->files[0], FileKind::Movie, folder + "/movie.mp4") &&
              SetPath(p->files[1], FileKind::Image, folder + "/pic.png") &&
              SetPath(p->files[3], FileKind::Movie, folder + "/movie.mp4");

    FileEntry& text = p->files[2];
    text.kind = FileKind::Text;
    text.colour = TextKeyColour(0x00FFFFFF);
    ok = ok && text.SetText(u"合成テスト レイヤー3 Text 2026");
    LogFont font{};
    font.height = -96;  // character height in pixels, as the peers give the font size
    font.weight = 400;
    font.charSet = 128;  // Japanese
    font.quality = kFontQualityAntialiased;
    std::memcpy(font.faceName, u"Noto Sans CJK JP", sizeof(u"Noto Sans CJK JP"));
    text.font = font;

    TrackEvent rotated = Placed(0, 0, 1280, 720, 640.0f, 360.0f, 1.5f, 10.0f, 960.0f, 540.0f);
    rotated.drawMethod = int32_t(DrawMethod::Linear);
    ok = ok && AddMovieTrack(*p, 0, rotated, uint32_t(frames));

    TrackEvent picture = Placed(1, 0, 800, 600, 0.0f, 0.0f, 1.0f, 0.0f, 560.0f, 240.0f);
    picture.drawMethod = int32_t(DrawMethod::Standard);
    picture.colour = 0x80FFFFFF;  // opacity 128
    ok = ok && p->tracks[1].InsertSorted(&picture, 1);

    // The region is clipped to the text image, whatever size the font gives it.
    TrackEvent caption = Placed(2, 0, 4096, 4096, 0.0f, 0.0f, 1.0f, 0.0f, 120.0f, 860.0f);
    caption.drawMethod = int32_t(DrawMethod::Standard);
    ok = ok && p->tracks[2].InsertSorted(&caption, 1);

    TrackEvent multiplied = Placed(3, 0, 1280, 720, 0.0f, 0.0f, 0.5f, 0.0f, 1200.0f, 660.0f);
    multiplied.drawMethod = int32_t(DrawMethod::Linear);
    multiplied.blendMode = int32_t(BlendMode::Multiply);
    ok = ok && AddMovieTrack(*p, 3, multiplied, uint32_t(frames));

    if (effect != nullptr) {
        ok = ok && SetPath(p->files[4], FileKind::Effect, effect);
        TrackEvent over = Placed(4, 0, 1920, 1080, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f);
        ok = ok && p->tracks[4].InsertSorted(&over, 1);
    }

    if (!ok) {
        std::fprintf(stderr, "cannot build the project\n");
        return 1;
    }
    if (!ProjectFile::Write(FromUtf8(argv[2]), *p)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
