// Makes the demo project: its media with ffmpeg, then the project file through the model and
// the project file writer, exactly as the program would save it. Usage:
//   make_demo_project OUTPUT_FOLDER
// writes OUTPUT_FOLDER/demo.xqm beside movie.avi, picture.png and vignette.png; the project names
// its media relative to its own folder, so the folder can be moved as a whole.

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "model/EventDefaults.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "platform/Path.h"

extern char** environ;

namespace kelvane::demo {
namespace {

constexpr uint32_t kWidth = 1280;
constexpr uint32_t kHeight = 720;
constexpr uint32_t kLength = 150;  // 5 seconds at 30 fps
constexpr double kFrameRate = 30.0;
constexpr uint32_t kLast = kLength - 1;

constexpr int32_t kMovieW = 640, kMovieH = 360;
constexpr int32_t kPictureW = 480, kPictureH = 270;

// File IDs of the table.
enum : int32_t { kMovie = 0, kPicture = 1, kVignette = 2, kTitle = 3, kBand = 4, kMosaic = 5 };

bool RunFfmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> all{"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "make_demo_project: ffmpeg cannot be started\n");
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool MakeMedia(const std::filesystem::path& folder) {
    const std::string size = [](int32_t w, int32_t h) {
        return std::to_string(w) + "x" + std::to_string(h);
    }(kMovieW, kMovieH);
    // The movie's sound: a little tune of five notes that rise, two a second, each swelling and
    // dying away so that none starts with a click.
    const std::string tune =
        "aevalsrc='0.3*sin(PI*mod(2*t,1))*sin(2*PI*t*220*pow(2,mod(floor(2*t),5)/5))':s=48000:d=6";
    return RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=30", "-f", "lavfi",
                      "-i", tune, "-t", "6", "-c:v", "mpeg4", "-q:v", "3", "-c:a", "pcm_s16le",
                      (folder / "movie.avi").string()}) &&
           RunFfmpeg(
               {"-f", "lavfi", "-i",
                "mandelbrot=size=" + std::to_string(kPictureW) + "x" + std::to_string(kPictureH),
                "-frames:v", "1", (folder / "picture.png").string()}) &&
           // A warm tint that darkens towards the edges: multiplied over everything below it.
           RunFfmpeg({"-f", "lavfi", "-i",
                      "color=c=0xffe8cc:size=" + std::to_string(kWidth) + "x" +
                          std::to_string(kHeight) + ",format=rgb24,vignette=angle=PI/5",
                      "-frames:v", "1", (folder / "vignette.png").string()});
}

void SetPath(FileEntry& entry, FileKind kind, std::u16string_view path) {
    entry.kind = kind;
    CopyPath(entry.path, path);
    entry.colour = kNoTransparentColour;
}

void SetText(FileEntry& entry, std::u16string_view text, uint32_t textColour) {
    entry.kind = FileKind::Text;
    entry.SetText(text);
    entry.colour = TextKeyColour(textColour);
    entry.font = LogFont{};
    entry.font.height = -60;
    entry.font.weight = 700;
    entry.font.quality = kFontQualityAntialiased;
    const std::u16string_view face = u"Noto Sans CJK JP";
    std::memcpy(entry.font.faceName, face.data(), face.size() * sizeof(char16_t));
}

TrackEvent Placed(const Project& project, int32_t id, uint32_t start, int32_t w, int32_t h, float x,
                  float y) {
    TrackEvent e = NewEventDefaults(project, id, start, w, h);
    e.positionX = x;
    e.positionY = y;
    return e;
}

// One event that moves towards a second one at the last frame.
void AddMove(Project& project, uint32_t track, TrackEvent from, TrackEvent to) {
    from.flags |= kEventInterpolate;
    const TrackEvent events[2] = {from, to};
    project.tracks[track].InsertSorted(events, 2);
}

void AddStill(Project& project, uint32_t track, const TrackEvent& event) {
    project.tracks[track].InsertSorted(&event, 1);
}

std::unique_ptr<Project> BuildProject() {
    std::unique_ptr<Project> project = Project::Create();
    project->ApplyDefaults();
    const PathBuffer noBase{};
    project->ApplySettings(false, kWidth, kHeight, kLength, 0x00402818, 0, kFrameRate, noBase);
    Project& p = *project;

    SetPath(p.files[kMovie], FileKind::Movie, u"\\movie.avi");
    SetPath(p.files[kPicture], FileKind::Image, u"\\picture.png");
    SetPath(p.files[kVignette], FileKind::Image, u"\\vignette.png");
    SetText(p.files[kTitle], u"Kelvane デモ ― レイヤーで動画を合成", 0x00FFFFFF);
    // Effects of the shipped module, found beside the executable.
    SetPath(p.files[kBand], FileKind::Effect, u"\\effect.so>グラデーション（上から下）");
    SetPath(p.files[kMosaic], FileKind::Effect, u"\\effect.so>モザイク（中）");

    // Track 0: the movie turns and grows about its centre while it plays.
    TrackEvent movieFrom = Placed(p, kMovie, 0, kMovieW, kMovieH, 640, 420);
    movieFrom.referenceX = kMovieW / 2.0f;
    movieFrom.referenceY = kMovieH / 2.0f;
    movieFrom.rotation = -12.0f;
    movieFrom.scale = 0.9f;
    movieFrom.drawMethod = int32_t(DrawMethod::Linear);
    TrackEvent movieTo = movieFrom;
    movieTo.flags &= ~uint32_t(kEventInterpolate);
    movieTo.start = kLast;
    movieTo.position = RefTime(kLast) * p.settings.frameDuration;  // keeps playing at speed 1
    movieTo.rotation = 18.0f;
    movieTo.scale = 1.6f;
    AddMove(p, 0, movieFrom, movieTo);

    // Track 1: the picture at half opacity, over a corner of the movie.
    TrackEvent picture = Placed(p, kPicture, 0, kPictureW, kPictureH, 40, 420);
    picture.colour = 0x80FFFFFF;
    picture.drawMethod = int32_t(DrawMethod::Linear);
    AddStill(p, 1, picture);

    // Track 2: a mosaic square that slides across the movie.
    TrackEvent mosaicFrom = Placed(p, kMosaic, 0, 0, 0, 380, 300);
    mosaicFrom.right = 220;
    mosaicFrom.bottom = 220;
    TrackEvent mosaicTo = mosaicFrom;
    mosaicTo.start = kLast;
    mosaicTo.positionX = 760;
    mosaicTo.positionY = 220;
    AddMove(p, 2, mosaicFrom, mosaicTo);

    // Track 3: the tinted vignette in multiply mode, over everything below.
    TrackEvent vignette = Placed(p, kVignette, 0, int32_t(kWidth), int32_t(kHeight), 0, 0);
    vignette.blendMode = int32_t(BlendMode::Multiply);
    AddStill(p, 3, vignette);

    // Track 4: a dark band that fades out downwards, behind the title.
    TrackEvent band = Placed(p, kBand, 0, 0, 0, 0, 0);
    band.right = int32_t(kWidth);
    band.bottom = 180;
    band.colour = 0xD0000000;  // black at 208/256
    AddStill(p, 4, band);

    // Track 5: the title; its text image's key colour is transparent. The region is clipped to
    // the text image, whose size depends on the font found at render time.
    TrackEvent title = Placed(p, kTitle, 0, 4096, 1024, 60, 36);
    title.drawMethod = int32_t(DrawMethod::Standard);
    AddStill(p, 5, title);
    return project;
}

}  // namespace
}  // namespace kelvane::demo

int main(int argc, char** argv) {
    using namespace kelvane;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_project OUTPUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::absolute(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !demo::MakeMedia(folder)) {
        std::fprintf(stderr, "make_demo_project: the demo media could not be made in %s\n",
                     folder.c_str());
        return 1;
    }
    std::unique_ptr<Project> project = demo::BuildProject();
    const std::filesystem::path file = folder / "demo.xqm";
    if (!project || !ProjectFile::Write(FromUtf8(file.string()), *project)) {
        std::fprintf(stderr, "make_demo_project: %s could not be written\n", file.c_str());
        return 1;
    }
    std::printf("%s\n", file.c_str());
    return 0;
}
