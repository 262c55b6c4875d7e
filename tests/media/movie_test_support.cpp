#include "movie_test_support.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "media/TimeoutQuery.h"

namespace kelvane::testing {

namespace {

constexpr int kBits = 8;

int Band(int height) {
    return height / 4;
}

void DrawFrame(const MovieSpec& recipe, int index, std::vector<uint8_t>& rgb) {
    const int w = recipe.width, h = recipe.height;
    rgb.assign(size_t(w) * size_t(h) * 3, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
            if (y < Band(h)) {
                p[0] = 255;
                continue;
            }
            const int bit = x * kBits / w;
            const uint8_t v = (index >> bit) & 1 ? 255 : 0;
            p[0] = p[1] = p[2] = v;
        }
    }
}

}  // namespace

namespace {
// The run's own folder, removed when the test program ends.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        path = std::filesystem::temp_directory_path() /
               ("kelvane_movie_tests_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};
}  // namespace

std::string TempPath(const std::string& name) {
    static const TempFolder folder;
    return (folder.path / name).string();
}

std::string MakeMovie(const MovieSpec& recipe) {
    static std::mutex mutex;
    static std::map<std::string, std::string> made;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = made.find(recipe.name);
    if (it != made.end())
        return it->second;
    const std::string path = TempPath(recipe.name);
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " +
        std::to_string(recipe.width) + "x" + std::to_string(recipe.height) + " -r " +
        (recipe.rate ? std::string(recipe.rate) : std::to_string(recipe.fps)) + " -i - " +
        recipe.codecArgs + " '" + path + "' 2>/dev/null";
    std::string result;
    // An ffmpeg that refuses the options ends early; writing on must fail, not end the test.
    signal(SIGPIPE, SIG_IGN);
    if (FILE* pipe = popen(command.c_str(), "w")) {
        std::vector<uint8_t> rgb;
        bool written = true;
        for (int i = 0; i < recipe.frames && written; ++i) {
            DrawFrame(recipe, i, rgb);
            written = fwrite(rgb.data(), 1, rgb.size(), pipe) == rgb.size();
        }
        if (pclose(pipe) == 0 && written && std::filesystem::exists(path))
            result = path;
    }
    made[recipe.name] = result;
    return result;
}

int DecodeIndex(const PixelImage& image) {
    if (image.Empty() || image.BitsPerPixel() != 32)
        return -1;
    const int w = image.Width(), h = image.Height();
    auto channel = [](uint32_t px, int shift) { return int((px >> shift) & 0xFF); };
    // The red band must be on top: row 0 counted from the top.
    const uint32_t top = image.Row32(Band(h) / 2)[w / 2];
    if (channel(top, 16) < 160 || channel(top, 8) > 96 || channel(top, 0) > 96)
        return -1;
    const int y = Band(h) + (h - Band(h)) / 2;
    int index = 0;
    for (int bit = 0; bit < kBits; ++bit) {
        const int x = (2 * bit + 1) * w / (2 * kBits);
        const uint32_t px = image.Row32(y)[x];
        const int g = channel(px, 8);
        if (g > 160)
            index |= 1 << bit;
        else if (g > 96)
            return -1;
        if ((px >> 24) != 0)
            return -1;  // the fourth byte is written as 0
    }
    return index;
}

SettingsGuard::SettingsGuard() : saved_(Settings()) {}

SettingsGuard::~SettingsGuard() {
    Settings() = saved_;
    SetTimeoutQuery(nullptr);
}

}  // namespace kelvane::testing
