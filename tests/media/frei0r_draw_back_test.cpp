// The frei0r bridge's pixel work against the plain per-pixel arithmetic it replaces: every pixel
// mapped through the inverse matrix on its own, the output first copied out in our byte order,
// each pixel tinted and combined one channel at a time. Random frames, placements, regions,
// colours, blend modes and alphas must come out identical to the bit, through the row kernels of
// every instruction set this processor runs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <thread>
#include <vector>

#if defined(KELVANE_FREI0R_PIXELS)
#include "DrawBack.h"
#include "PixelExchange.h"
#include "PixelKernels.h"
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

// Output pixel `s` (in our byte order) over `d`.
uint32_t ReferencePixel(uint32_t d, uint32_t s, uint32_t tint, uint32_t weight, int32_t mode) {
    const uint32_t alpha = s >> 24;
    const uint32_t presence = alpha + (alpha >> 7);
    if (presence == 0)
        return d;
    const auto drawn = int32_t((presence * weight) >> 8);
    return effect::Combine(d, effect::TintPixel(s, tint), mode, drawn);
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
            row[x] = ReferencePixel(row[x], s, canvas.Tint(), uint32_t(canvas.Weight()), mode);
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
    const std::vector<const frei0r_bridge::PixelKernels*> sets = frei0r_bridge::UsableKernels();
    for (auto [width, height] :
         {std::pair{64, 48}, std::pair{37, 23}, std::pair{53, 11}, std::pair{1, 9}}) {
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

                    const int model = swap ? F0R_COLOR_MODEL_RGBA8888 : F0R_COLOR_MODEL_BGRA8888;
                    std::vector<uint32_t> expected = frame;
                    effect::Canvas reference;
                    const bool bare = next(8) == 0;  // no placement given at all
                    const float* forward = bare ? nullptr : placement.forward;
                    const float* inverse = bare ? nullptr : placement.inverse;
                    ASSERT_TRUE(reference.Prepare(expected.data(), width, height, &target, &region,
                                                  colour, forward, inverse));
                    if (!reference.Empty())
                        ReferenceDrawBack(reference, mode, out.data(), width, height, swap);
                    std::vector<uint32_t> inExpected(out.size());
                    ReferenceFrameToPlugin(frame.data(), width, height, swap, inExpected.data());

                    for (const frei0r_bridge::PixelKernels* set : sets) {
                        SCOPED_TRACE(set->name);
                        std::vector<uint32_t> actual = frame;
                        effect::Canvas fast;
                        ASSERT_TRUE(fast.Prepare(actual.data(), width, height, &target, &region,
                                                 colour, forward, inverse));
                        frei0r_bridge::DrawBack(
                            fast, mode, frei0r_bridge::OutputOf(out.data(), width, height, model),
                            *set);
                        for (size_t i = 0; i < actual.size(); ++i) {
                            const size_t x = i % size_t(width),
                                         y = size_t(height) - 1 - i / size_t(width);
                            ASSERT_EQ(actual[i], expected[i])
                                << "pixel " << x << "," << y << std::hex << " under " << frame[i]
                                << " output " << out[y * size_t(pw) + x] << " colour " << colour;
                        }
                        std::vector<uint32_t> in(out.size());
                        frei0r_bridge::FrameToPlugin(frame.data(), width, height, model, in.data(),
                                                     *set);
                        ASSERT_EQ(in, inExpected);
                        ++cases;
                    }
                }
            }
        }
    }
    EXPECT_EQ(cases, int(sets.size()) * 4 * 6 * 7 * 2);
}

// The row kernels on their own, at every length up to a few vectors past the widest, so that
// every mix of whole vectors and pixels left over is drawn; at every weight where the arithmetic
// changes its course, over rows that are opaque in whole vectors and rows of any alpha.
TEST(Frei0rDrawBack, RowKernelsOfEveryInstructionSetAgree) {
    std::mt19937 random(8122026);
    const auto sets = frei0r_bridge::UsableKernels();
    std::vector<uint32_t> src(64), under(64), expected(64), actual(64), converted(64);
    for (int32_t count = 0; count <= 41; ++count) {
        const bool opaque = count % 2 == 0;
        for (size_t i = 0; i < src.size(); ++i) {
            const uint32_t alpha = opaque || random() % 4 == 0 ? 255
                                   : random() % 3 == 0         ? 0
                                                               : random() % 256;
            src[i] = (uint32_t(random()) & 0x00FFFFFFu) | alpha << 24;
            under[i] = uint32_t(random());
        }
        for (const frei0r_bridge::PixelKernels* set : sets) {
            for (bool swap : {false, true}) {
                SCOPED_TRACE(::testing::Message() << set->name << " " << count << " pixels"
                                                  << (swap ? " RGBA" : " BGRA"));
                // One pixel in, so that no vector starts on its boundary.
                set->toPlugin[swap](under.data() + 1, converted.data() + 1, count);
                for (int32_t i = 0; i < count; ++i) {
                    const uint32_t p = under[size_t(i) + 1] | 0xFF000000u;
                    ASSERT_EQ(converted[size_t(i) + 1], swap ? SwapRedBlue(p) : p) << i;
                }
                for (int32_t mode = 0; mode <= 6; ++mode) {
                    for (uint32_t tint : {0x00FFFFFFu, uint32_t(random()) & 0x00FFFFFFu}) {
                        for (uint32_t weight : {256u, 255u, 128u, 1u}) {
                            for (size_t i = 0; i < src.size(); ++i) {
                                const uint32_t s = swap ? SwapRedBlue(src[i]) : src[i];
                                expected[i] = ReferencePixel(under[i], s, tint, weight, mode);
                            }
                            std::copy(under.begin(), under.end(), actual.begin());
                            set->draw[mode][tint != 0x00FFFFFFu][swap](
                                actual.data() + 1, src.data() + 1, count, tint, weight);
                            for (size_t i = 0; i < actual.size(); ++i) {
                                const bool drawn = i >= 1 && i < size_t(count) + 1;
                                ASSERT_EQ(actual[i], drawn ? expected[i] : under[i])
                                    << "pixel " << i << " mode " << mode << " weight " << weight
                                    << std::hex << " tint " << tint << " over " << under[i]
                                    << " output " << src[i];
                            }
                        }
                    }
                }
            }
        }
    }
}

// Frames large enough to be split between two threads meet in the middle without a seam, also
// when several callers split frames at once: one has the kept thread, the others start their own.
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
        std::vector<uint32_t> expected = frame;
        effect::Canvas reference;
        ASSERT_TRUE(reference.Prepare(expected.data(), width, height, &rect, &rect, 0x00FFFFFF,
                                      placement.forward, placement.inverse));
        ReferenceDrawBack(reference, 0, in.data(), width, height, true);
        constexpr int kCallers = 3, kRounds = 4;
        std::vector<std::vector<uint32_t>> actual(kCallers * kRounds, frame);
        std::vector<std::thread> callers;
        for (int caller = 0; caller < kCallers; ++caller) {
            callers.emplace_back([&, caller] {
                for (int round = 0; round < kRounds; ++round) {
                    std::vector<uint32_t>& pixels = actual[size_t(caller * kRounds + round)];
                    effect::Canvas fast;
                    fast.Prepare(pixels.data(), width, height, &rect, &rect, 0x00FFFFFF,
                                 placement.forward, placement.inverse);
                    frei0r_bridge::DrawBack(fast, 0,
                                            frei0r_bridge::OutputOf(in.data(), width, height,
                                                                    F0R_COLOR_MODEL_RGBA8888));
                }
            });
        }
        for (std::thread& caller : callers)
            caller.join();
        for (const std::vector<uint32_t>& pixels : actual)
            ASSERT_TRUE(pixels == expected);
    }
}

// A process forked from one whose kept thread is running has only the record of that thread:
// its large frames must still be drawn whole, by threads of its own, and not wait forever.
TEST(Frei0rDrawBack, AForkedProcessDrawsWithoutTheKeptThread) {
    const int32_t width = 1024, height = 600;
    std::vector<uint32_t> frame(size_t(width) * size_t(height)), out(frame.size());
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = uint32_t(i * 2654435761u) & 0x00FFFFFF;
        out[i] = ~frame[i] | (i % 3 == 0 ? 0x40000000u : 0xFF000000u);
    }
    const EffectRect rect{0, 0, width, height};
    const auto output =
        frei0r_bridge::OutputOf(out.data(), width, height, F0R_COLOR_MODEL_RGBA8888);
    std::vector<uint32_t> expected = frame, parent = frame;
    effect::Canvas reference, before;
    ASSERT_TRUE(reference.Prepare(expected.data(), width, height, &rect, &rect, 0x00FFFFFF, nullptr,
                                  nullptr));
    ReferenceDrawBack(reference, 0, out.data(), width, height, true);
    ASSERT_TRUE(
        before.Prepare(parent.data(), width, height, &rect, &rect, 0x00FFFFFF, nullptr, nullptr));
    frei0r_bridge::DrawBack(before, 0, output);  // starts the kept thread here
    ASSERT_EQ(parent, expected);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(60);  // a hang ends the child by a signal, which fails the test
        std::vector<uint32_t> pixels = frame;
        effect::Canvas canvas;
        canvas.Prepare(pixels.data(), width, height, &rect, &rect, 0x00FFFFFF, nullptr, nullptr);
        frei0r_bridge::DrawBack(canvas, 0, output);
        std::vector<uint32_t> in(frame.size());
        frei0r_bridge::FrameToPlugin(frame.data(), width, height, F0R_COLOR_MODEL_RGBA8888,
                                     in.data());
        ::_exit(pixels == expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the child hung or crashed";
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "the child drew other pixels";
}

}  // namespace

#endif
