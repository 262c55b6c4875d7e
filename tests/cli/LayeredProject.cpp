#include "LayeredProject.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "TestProjects.h"
#include "model/TrackEvent.h"
#include "platform/Path.h"
#include "render/EventGeometry.h"

namespace kelvane::testing {

namespace {

constexpr RefTime kSecond = 10'000'000;

void AddFile(Project& project, int32_t id, FileKind kind, const std::string& path) {
    FileEntry& entry = project.files[size_t(id)];
    entry.kind = kind;
    entry.colour = kNoTransparentColour;
    if (!CopyPath(entry.path, FromUtf8(path))) {
        throw std::runtime_error("path too long: " + path);
    }
}

// Places the event by reference point, scale and rotation, as the property dialog does.
void Place(TrackEvent& e, float x, float y, float scale, float rotation) {
    e.positionX = x;
    e.positionY = y;
    e.scale = scale;
    e.rotation = rotation;
    BuildParametricMatrices(e);
}

// 32 x 24, 30 frames: the movie turning by interpolation over the picture.
void WriteNested(const std::filesystem::path& folder, const std::string& movie) {
    auto project = MakeProject(32, 24, 30, 0x00306090);
    AddFile(*project, 1, FileKind::Movie, movie);
    AddPicture(*project, 2, u"\\a.bmp");
    AddEvents(*project, 0, {PlacedEvent(*project, 2, 0, 12, 9, 4, 4)});
    TrackEvent turning = PlacedEvent(*project, 1, 0, 48, 36, 0, 0, 3);
    turning.flags |= kEventInterpolate;
    turning.position = kSecond / 5;
    Place(turning, 2, 1, 0.5f, 0);
    TrackEvent turned = turning;
    turned.flags &= ~kEventInterpolate;
    turned.start = 20;
    turned.position = kSecond;
    Place(turned, 10, 6, 0.4f, 45);
    AddEvents(*project, 1, {turning, turned});
    WriteProject(*project, folder / "nested.xqm");
}

}  // namespace

std::filesystem::path WriteLayeredProject(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const std::string movie = (folder / "movie.avi").string();
    // Key frames every 10 pictures and B-frames: a part that starts inside a group must decode
    // from the key frame before it.
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=48x36:rate=30:duration=2 "
        "-c:v mpeg4 -g 10 -bf 2 -q:v 4 '" +
        movie + "'";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("ffmpeg could not make " + movie);
    }
    WriteBmp24(folder / "a.bmp", PatternPicture(12, 9, 5));
    WriteNested(folder, movie);

    auto project = MakeProject(64, 48, kLayeredProjectLength, 0x00402010);
    AddFile(*project, 1, FileKind::Movie, movie);
    AddPicture(*project, 2, u"\\a.bmp");
    AddFile(*project, 3, FileKind::Project, (folder / "nested.xqm").string());

    // Track 0: the movie from 0.2 s, interpolated towards 1.0 s at frame 14 while it grows and
    // turns; from there it plays at its own speed.
    TrackEvent from = PlacedEvent(*project, 1, 0, 48, 36, 0, 0, 3);
    from.flags |= kEventInterpolate;
    from.position = kSecond / 5;
    TrackEvent to = from;
    to.flags &= ~kEventInterpolate;
    to.start = 14;
    to.position = kSecond;
    Place(to, 8, 6, 1.25f, 20);
    AddEvents(*project, 0, {from, to});

    // Track 1: the picture sliding, fading and changing tint from frame 2 to frame 20.
    TrackEvent slide = PlacedEvent(*project, 2, 2, 12, 9, 0, 30);
    slide.flags |= kEventInterpolate;
    slide.colour = 0x40FFFFFF;
    TrackEvent slid = PlacedEvent(*project, 2, 20, 12, 9, 50, 2);
    slid.colour = 0xE08040FF;
    AddEvents(*project, 1, {slide, slid});

    // Track 2: the nested project from frame 5 on, multiplied onto the frame, at one and a half
    // times its speed.
    TrackEvent nested = PlacedEvent(*project, 3, 5, 32, 24, 28, 20);
    nested.blendMode = int32_t(BlendMode::Multiply);
    nested.step = project->settings.frameDuration * 3 / 2;
    AddEvents(*project, 2, {nested});

    const std::filesystem::path path = folder / "layered.xqm";
    WriteProject(*project, path);
    return path;
}

}  // namespace kelvane::testing
