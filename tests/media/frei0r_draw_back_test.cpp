// The frei0r bridge's pixel work against the plain per-pixel arithmetic it replaces: every pixel
// mapped through the inverse matrix on its own, the output first copied out in our byte order,
// each pixel tinted and combined one channel at a time. Random frames, placements, regions,
// colours, blend modes and alphas must come out identical to the bit.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#if defined(KELVANE_FREI0R_PIXELS)
#include "DrawBack.h"
#include "PixelExchange.h"
#include "frei0r.h"

namespace {

uint32_t SwapRedBlue(uint32_t p) {
    return (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
}

void ReferenceFrameToPlugin(const uint32_t* frame, int32_t width, int32_t height, bool swap,
                            uint32_t* plugin) {
    const int32_t pw = frei0r_bridge::PaddedSize(width), ph = frei0r_bridge::PaddedSize(height);
    for (int32_t y = 0; y < ph; ++y) {
        const int32_t sy = y < height ? y : height - 1;
        const uint32_t* src = frame + size_t(height - 1 - sy) * size_t(width);
        uint32_t* dst = plugin + size_t(y) * size_t(pw);
        for (int32_t x = 0; x < width; ++x)
            dst[x] = swap ? SwapRedBlue(src[x] | 0xFF000000u) : src[x] | 0xFF000000u;
        for (int32_t x = width; x < pw; ++x)
            dst[x] = dst[width - 1];
    }
}

void ReferenceDrawBack(const effect::Canvas& canvas, int32_t mode, const uint32_t* plugin,
                       int32_t width, int32_t height, bool swap) {
    const int32_t pw = frei0r_bridge::PaddedSize(width);
    std::vector<uint32_t> straight(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = plugin[size_t(y) * size_t(pw) + size_t(x)];
            straight[size_t(y) * size_t(width) + size_t(x)] = swap ? SwapRedBlue(p) : p;
        }
    }
    const float w = float(width), h = float(height);
    for (int32_t y = canvas.Y0(); y < canvas.Y1(); ++y) {
        uint32_t* row = canvas.Row(y);
        for (int32_t x = canvas.X0(); x < canvas.X1(); ++x) {
            float sx, sy;
            if (!canvas.Map(x, y, sx, sy) || !(sx >= 0 && sx < w && sy >= 0 && sy < h))
                continue;
            const uint32_t s = straight[size_t(int32_t(sy)) * size_t(width) + size_t(int32_t(sx))];
            const uint32_t alpha = s >> 24;
            const uint32_t presence = alpha + (alpha >> 7);
            if (presence == 0)
                continue;
            const auto drawn = int32_t((presence * uint32_t(canvas.Weight())) >> 8);
            row[x] = effect::Combine(row[x], effect::TintPixel(s, canvas.Tint()), mode, drawn);
        }
    }
}

struct Placement {
    const char* name;
    float forward[9];
    float inverse[9];
};

// Region point -> output pixel centre, and back.
const Placement kPlacements[] = {
    {"as it stands", {1, 0, 0.5f, 0, 1, 0.5f, 0, 0, 1}, {1, 0, 0.5f, 0, 1, 0.5f, 0, 0, 1}},
    {"moved by a fraction", {1, 0, 3.3f, 0, 1, -2.7f, 0, 0, 1}, {1, 0, -2.8f, 0, 1, 3.2f, 0, 0, 1}},
    {"half size", {0.5f, 0, 0.5f, 0, 0.5f, 0.5f, 0, 0, 1}, {2, 0, 1.0005f, 0, 2, 1, 0, 0, 1}},
    {"mirrored and stretched",
     {-1.5f, 0, 60, 0, 0.75f, 2, 0, 0, 1},
     {-0.6666667f, 0, 40.3f, 0, 1.3333334f, -2.1f, 0, 0, 1}},
    {"turned",
     {0.8660254f, -0.5f, 20, 0.5f, 0.8660254f, -5, 0, 0, 1},
     {0.8660254f, 0.5f, -14.8f, -0.5f, 0.8660254f, 14.3f, 0, 0, 1}},
    {"in perspective",
     {1.1f, 0.1f, 2, 0.05f, 0.9f, 1, 0.002f, 0.001f, 1},
     {0.92f, -0.1f, -1.7f, -0.05f, 1.12f, -1.0f, -0.0018f, -0.0011f, 1.005f}},
};

TEST(Frei0rDrawBack, EqualsThePerPixelArithmeticBitForBit) {
    std::mt19937 random(20261208);
    auto next = [&](uint32_t below) { return uint32_t(random() % below); };
    int cases = 0;
    for (auto [width, height] : {std::pair{64, 48}, std::pair{37, 23}, std::pair{1, 9}}) {
        for (const Placement& placement : kPlacements) {
            for (int32_t mode = 0; mode <= 6; ++mode) {
                for (bool swap : {false, true}) {
                    SCOPED_TRACE(::testing::Message()
                                 << width << "x" << height << " " << placement.name << " mode "
                                 << mode << (swap ? " RGBA" : " BGRA"));
                    const int32_t pw = frei0r_bridge::PaddedSize(width);
                    const int32_t ph = frei0r_bridge::PaddedSize(height);
                    // Frames with stray fourth bytes, outputs that are opaque in some rows and of
                    // any alpha in others (0 and 255 included).
                    std::vector<uint32_t> frame(size_t(width) * size_t(height));
                    for (uint32_t& p : frame)
                        p = uint32_t(random()) & (next(4) == 0 ? 0xFFFFFFFFu : 0x00FFFFFFu);
                    std::vector<uint32_t> out(size_t(pw) * size_t(ph));
                    for (size_t i = 0; i < out.size(); ++i) {
                        const uint32_t row = uint32_t(i / size_t(pw));
                        const uint32_t alpha = row % 3 == 0   ? 255
                                               : next(5) == 0 ? 0
                                               : next(5) == 0 ? 255
                                                              : next(256);
                        out[i] = (uint32_t(random()) & 0x00FFFFFFu) | alpha << 24;
                    }
                    const uint32_t colours[] = {0x00FFFFFFu, 0x80FFFFFFu,
                                                (uint32_t(random()) & 0xFFFFFFu) | next(256) << 24};
                    const uint32_t colour = colours[next(3)];
                    const EffectRect target{0, 0, width, height};
                    const int32_t left = int32_t(next(uint32_t(width))) - 4;
                    const int32_t top = int32_t(next(uint32_t(height))) - 4;
                    const EffectRect region =
                        next(3) == 0 ? target
                                     : EffectRect{left, top, left + 1 + int32_t(next(80)),
                                                  top + 1 + int32_t(next(60))};

                    std::vector<uint32_t> expected = frame, actual = frame;
                    effect::Canvas reference, fast;
                    const bool bare = next(8) == 0;  // no placement given at all
                    ASSERT_TRUE(reference.Prepare(expected.data(), width, height, &target, &region,
                                                  colour, bare ? nullptr : placement.forward,
                                                  bare ? nullptr : placement.inverse));
                    ASSERT_TRUE(fast.Prepare(actual.data(), width, height, &target, &region, colour,
                                             bare ? nullptr : placement.forward,
                                             bare ? nullptr : placement.inverse));
                    if (!reference.Empty())
                        ReferenceDrawBack(reference, mode, out.data(), width, height, swap);
                    frei0r_bridge::DrawBack(
                        fast, mode,
                        frei0r_bridge::OutputOf(
                            out.data(), width, height,
                            swap ? F0R_COLOR_MODEL_RGBA8888 : F0R_COLOR_MODEL_BGRA8888));
                    for (size_t i = 0; i < actual.size(); ++i) {
                        const size_t x = i % size_t(width),
                                     y = size_t(height) - 1 - i / size_t(width);
                        ASSERT_EQ(actual[i], expected[i])
                            << "pixel " << x << "," << y << std::hex << " under " << frame[i]
                            << " output " << out[y * size_t(pw) + x] << " colour " << colour;
                    }

                    std::vector<uint32_t> in(out.size()), inExpected(out.size());
                    frei0r_bridge::FrameToPlugin(
                        frame.data(), width, height,
                        swap ? F0R_COLOR_MODEL_RGBA8888 : F0R_COLOR_MODEL_BGRA8888, in.data());
                    ReferenceFrameToPlugin(frame.data(), width, height, swap, inExpected.data());
                    ASSERT_EQ(in, inExpected);
                    ++cases;
                }
            }
        }
    }
    EXPECT_EQ(cases, 3 * 6 * 7 * 2);
}

// Frames large enough to be split between two threads meet in the middle without a seam.
TEST(Frei0rDrawBack, TwoThreadsDrawWhatOneWould) {
    const int32_t width = 1280, height = 721;
    std::vector<uint32_t> frame(size_t(width) * size_t(height));
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uint32_t(i * 2654435761u) & 0x00FFFFFF;
    const int32_t pw = frei0r_bridge::PaddedSize(width), ph = frei0r_bridge::PaddedSize(height);
    std::vector<uint32_t> in(size_t(pw) * size_t(ph)), inExpected(in.size());
    frei0r_bridge::FrameToPlugin(frame.data(), width, height, F0R_COLOR_MODEL_RGBA8888, in.data());
    ReferenceFrameToPlugin(frame.data(), width, height, true, inExpected.data());
    ASSERT_EQ(in, inExpected);
    // Opaque rows, which are copied, and every fifth row with some pixels half transparent.
    for (size_t i = 0; i < in.size(); ++i) {
        const bool half = (i / size_t(pw)) % 5 == 0 && i % 7 == 0;
        in[i] = (~in[i] & 0x00FFFFFFu) | (half ? 0x80000000u : 0xFF000000u);
    }
    for (const Placement& placement : {kPlacements[0], kPlacements[4]}) {
        SCOPED_TRACE(placement.name);
        const EffectRect rect{0, 0, width, height};
        std::vector<uint32_t> expected = frame, actual = frame;
        effect::Canvas reference, fast;
        ASSERT_TRUE(reference.Prepare(expected.data(), width, height, &rect, &rect, 0x00FFFFFF,
                                      placement.forward, placement.inverse));
        ASSERT_TRUE(fast.Prepare(actual.data(), width, height, &rect, &rect, 0x00FFFFFF,
                                 placement.forward, placement.inverse));
        ReferenceDrawBack(reference, 0, in.data(), width, height, true);
        frei0r_bridge::DrawBack(
            fast, 0, frei0r_bridge::OutputOf(in.data(), width, height, F0R_COLOR_MODEL_RGBA8888));
        ASSERT_EQ(actual, expected);
    }
}

}  // namespace

#endif
