#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "render/EventGeometry.h"
#include "render/PixelImage.h"
#include "render/PixelJob.h"
#include "render/kernels/VectorSet.h"
#include "tests/render/KernelTestSupport.h"

// The vector tier against the plain tier on randomised jobs: every method, blend mode, tint,
// opacity and transparent-colour combination over random geometry, including projective,
// singular and exact-translation matrices and regions partly outside the source. Each test runs
// once for every instruction set of the vector tier that the processor has.
namespace kelvane {
namespace {

using testing::Bitmap;

class JobGenerator {
  public:
    explicit JobGenerator(uint32_t seed) : rng_(seed) {}

    int32_t Int(int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng_);
    }
    float Real(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng_); }
    bool Chance(int percent) { return Int(0, 99) < percent; }

    // A small palette makes keyed pixels and equal neighbours common.
    uint32_t Word() {
        static constexpr uint32_t kPalette[] = {0x00000000, 0x00FFFFFF, 0x00FF0000, 0x0000FF00,
                                                0x000000FF, 0x00808080, 0x12345678, 0xFF00FF00};
        return Chance(50) ? kPalette[Int(0, 7)] : uint32_t(rng_());
    }

    void Fill(Bitmap& b) {
        for (uint32_t& w : b.words) {
            w = Word();
        }
    }

    // Source -> output placements of every kind the kernels meet.
    void Forward(float* m, int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH) {
        const int kind = Int(0, 9);
        const float cx = Real(0, float(dstW)), cy = Real(0, float(dstH));
        for (int i = 0; i < 9; ++i) {
            m[i] = 0;
        }
        m[8] = 1;
        switch (kind) {
            case 0:  // whole-pixel translation
                m[0] = m[4] = 1;
                m[2] = float(Int(-2, 4)) + 0.500244140625f;
                m[5] = float(Int(-2, 4)) + 0.5f;
                break;
            case 1: {  // translation with an awkward fraction (limits the exact span)
                m[0] = m[4] = 1;
                const float fractions[] = {0.1f, 0.75f, 1.0f / 1024, 0.999999f, 1.0f / (1 << 20)};
                m[2] = float(Int(-2, 4)) + fractions[Int(0, 4)];
                m[5] = Real(-2, 4);
                break;
            }
            case 2:
            case 3:
            case 8:
            case 9: {  // scale and rotation
                const float s = Real(0.3f, 3.0f), a = Real(-3.2f, 3.2f);
                m[0] = s * std::cos(a);
                m[1] = -s * std::sin(a);
                m[3] = s * std::sin(a);
                m[4] = s * std::cos(a);
                m[2] = cx - m[0] * srcW / 2 - m[1] * srcH / 2;
                m[5] = cy - m[3] * srcW / 2 - m[4] * srcH / 2;
                break;
            }
            case 4:
            case 5:  // projective, sometimes across the horizon
                for (int i = 0; i < 6; ++i) {
                    m[i] = Real(-2, 2);
                }
                m[2] = cx;
                m[5] = cy;
                m[6] = Real(-0.2f, 0.2f);
                m[7] = Real(-0.2f, 0.2f);
                m[8] = Real(-1, 2);
                break;
            case 6:  // singular: scale 0 or a collapsed row
                m[0] = Chance(50) ? 0.0f : 1.0f;
                m[4] = 0;
                m[2] = cx;
                break;
            default:  // anything at all, now and then not finite
                for (int i = 0; i < 9; ++i) {
                    m[i] = Real(-4, 4);
                }
                if (Chance(20)) {
                    m[Int(0, 8)] = Chance(50) ? std::numeric_limits<float>::infinity()
                                              : std::numeric_limits<float>::quiet_NaN();
                }
                break;
        }
    }

    std::mt19937 rng_;
};

struct Combination {
    int32_t method;
    int32_t mode;
    bool tint;
    bool translucent;
    bool keyed;
};

// Returns whether the event changed the frame.
bool RunBoth(JobGenerator& gen, const Combination& c, int iteration) {
    const int32_t srcW = gen.Int(1, 19), srcH = gen.Int(1, 19);
    const int32_t dstW = gen.Int(gen.Chance(10) ? 1 : 8, 37),
                  dstH = gen.Int(gen.Chance(10) ? 1 : 4, 23);
    Bitmap src(srcW, srcH), frame(dstW, dstH);
    gen.Fill(src);
    gen.Fill(frame);

    testing::Draw d;
    d.method = c.method;
    d.mode = c.mode;
    const uint32_t rgb =
        c.tint ? (gen.Chance(20) ? 0x00FFFFFEu : uint32_t(gen.rng_()) & 0x00FFFFFF) : 0x00FFFFFFu;
    const uint32_t opacity = c.translucent ? uint32_t(gen.Chance(30) ? 255 : gen.Int(1, 255)) : 0;
    d.colour = rgb | opacity << 24;
    if (c.keyed) {
        // Usually a colour that occurs in the source, in the model's byte order.
        const uint32_t pick = src.words[size_t(gen.Int(0, int32_t(src.words.size()) - 1))];
        d.transparent = gen.Chance(80) ? SwapRedBlue(pick) : (uint32_t(gen.rng_()) & 0x00FFFFFF);
    } else {
        d.transparent = gen.Chance(50) ? 0xFF000000u : (uint32_t(gen.Int(1, 255)) << 24);
    }
    if (gen.Chance(60)) {  // about the whole source, sometimes beyond it
        d.region = {gen.Int(-4, 1), gen.Int(-4, 1), gen.Int(std::max(srcW - 1, 1), srcW + 4),
                    gen.Int(std::max(srcH - 1, 1), srcH + 4)};
    } else if (gen.Chance(90)) {
        const int32_t left = gen.Int(-4, srcW - 1), top = gen.Int(-4, srcH - 1);
        d.region = {left, top, gen.Int(std::max(left, 0) + 1, srcW + 4),
                    gen.Int(std::max(top, 0) + 1, srcH + 4)};
    } else {  // often empty
        d.region = {gen.Int(-4, srcW), gen.Int(-4, srcH), gen.Int(0, srcW + 4),
                    gen.Int(0, srcH + 4)};
    }
    d.clip = gen.Chance(60) ? DrawRect{gen.Int(-3, 1), gen.Int(-3, 1), gen.Int(dstW - 1, dstW + 3),
                                       gen.Int(dstH - 1, dstH + 3)}
                            : DrawRect{gen.Int(-3, dstW / 2), gen.Int(-3, dstH / 2),
                                       gen.Int(dstW / 2, dstW + 3), gen.Int(dstH / 2, dstH + 3)};
    float forward[9], inverse[9];
    gen.Forward(forward, srcW, srcH, dstW, dstH);
    InvertMatrix(forward, inverse);
    d.forward = forward;
    d.inverse = inverse;

    Bitmap plain = frame, vector = frame;
    d.tier = 0;
    testing::Run(plain, src, d);
    d.tier = 1;
    testing::Run(vector, src, d);
    for (size_t i = 0; i < plain.words.size(); ++i) {
        if (plain.words[i] != vector.words[i]) {
            ADD_FAILURE() << "method " << c.method << " mode " << c.mode << " tint " << c.tint
                          << " opacity " << opacity << " keyed " << c.keyed << " iteration "
                          << iteration << ": pixel " << i % size_t(dstW) << ","
                          << dstH - 1 - int32_t(i / size_t(dstW)) << " plain " << std::hex
                          << plain.words[i] << " vector " << vector.words[i];
            return false;
        }
    }
    return plain.words != frame.words;
}

class KernelTiers : public ::testing::TestWithParam<kernels::VectorSet> {
  protected:
    void SetUp() override {
        if (!kernels::SelectVectorSet(GetParam())) {
            GTEST_SKIP() << "this processor lacks " << kernels::VectorSetName(GetParam());
        }
    }
    void TearDown() override { kernels::SelectVectorSet(kernels::BestVectorSet()); }
};

INSTANTIATE_TEST_SUITE_P(EachSet, KernelTiers,
                         ::testing::Values(kernels::VectorSet::Sse2, kernels::VectorSet::Avx2),
                         [](const auto& info) { return kernels::VectorSetName(info.param); });

TEST_P(KernelTiers, VectorTierMatchesPlainTierOnRandomJobs) {
    JobGenerator gen(20261207);
    int changed = 0, total = 0;
    for (int32_t method = 1; method <= 4; ++method) {
        for (int32_t mode = 0; mode <= 6; ++mode) {
            for (int flags = 0; flags < 8; ++flags) {
                const Combination c{method, mode, (flags & 1) != 0, (flags & 2) != 0,
                                    (flags & 4) != 0};
                for (int i = 0; i < 40; ++i) {
                    changed += RunBoth(gen, c, i);
                    ++total;
                }
            }
        }
    }
    // Most random events must actually draw, or the comparison proves little.
    EXPECT_GT(changed, total / 2) << changed << " of " << total;
}

// Exact translations over wide rows, where the vector tier copies spans without mapping.
TEST_P(KernelTiers, VectorTierMatchesPlainTierOnWideTranslations) {
    JobGenerator gen(7);
    const float offsets[] = {0.500244140625f, 0.5f,
                             -2.25f,          3.0f,
                             1.0f / 4096,     0.3f,
                             0.999999f,       1000.75f,
                             -0.999999f,      7.0f + 1.0f / (1 << 19)};
    for (float offset : offsets) {
        for (int32_t mode = 0; mode <= 6; ++mode) {
            for (int flags = 0; flags < 8; ++flags) {
                Bitmap src(1100, 3), frame(1200, 3);
                gen.Fill(src);
                gen.Fill(frame);
                const float inverse[9] = {1, 0, offset, 0, 1, 0.5f, 0, 0, 1};
                testing::Draw d;
                d.method = 2;
                d.mode = mode;
                d.colour =
                    ((flags & 1) ? 0x00C08040u : 0x00FFFFFFu) | ((flags & 2) ? 0x80000000u : 0);
                d.transparent = (flags & 4) ? SwapRedBlue(src.words[5]) : 0xFF000000u;
                d.inverse = inverse;
                d.forward = nullptr;
                d.region = {3, 0, 1090, 3};
                Bitmap plain = frame, vector = frame;
                d.tier = 0;
                testing::Run(plain, src, d);
                d.tier = 1;
                testing::Run(vector, src, d);
                ASSERT_EQ(plain.words, vector.words) << offset << " mode " << mode << " " << flags;
            }
        }
    }
}

// Sources past 32,767 pixels a row, where the offsets no longer fit 16-bit arithmetic, and a
// rotated full-size layer whose rows end in blocks of every length and run over several of the
// pieces that the kernels map ahead; keyed, with transparent areas and their edges, too.
TEST_P(KernelTiers, VectorTierMatchesPlainTierOnLargeSources) {
    JobGenerator gen(31);
    struct Case {
        int32_t srcW, srcH, dstW, dstH;
    } cases[] = {{40000, 3, 301, 7}, {333, 257, 517, 263}};
    for (const Case& k : cases) {
        Bitmap src(k.srcW, k.srcH), frame(k.dstW, k.dstH);
        gen.Fill(src);
        gen.Fill(frame);
        // Checks of 5 x 5 pixels in the key colour: wholly transparent blocks and their edges.
        Bitmap checked = src;
        for (int32_t y = 0; y < k.srcH; ++y) {
            for (int32_t x = 0; x < k.srcW; ++x) {
                if ((x / 5 + y / 5) % 2 == 0) {
                    checked.At(x, y) = 0x00FF0000u;
                }
            }
        }
        const float a = 0.31f, sc = 0.93f;
        float forward[9] = {
            sc * std::cos(a), -sc * std::sin(a), 0, sc * std::sin(a), sc * std::cos(a), 0, 0, 0, 1};
        // Centre the source on the frame; the wide one is shifted so that its far columns show.
        forward[2] = float(k.dstW) / 2 -
                     forward[0] * float(k.srcW) * (k.srcW > 1000 ? 0.9f : 0.5f) -
                     forward[1] * float(k.srcH) / 2;
        forward[5] = float(k.dstH) / 2 -
                     forward[3] * float(k.srcW) * (k.srcW > 1000 ? 0.9f : 0.5f) -
                     forward[4] * float(k.srcH) / 2;
        float inverse[9];
        InvertMatrix(forward, inverse);
        for (int32_t method : {2, 3}) {
            for (int32_t mode : {0, 4}) {
                for (uint32_t colour : {0x00FFFFFFu, 0x80C08040u, 0x00FFFFFEu}) {
                    testing::Draw d;
                    d.method = method;
                    d.mode = mode;
                    d.colour = colour;
                    // With the third colour, the checked source with its key.
                    d.transparent = colour == 0x00FFFFFEu ? 0x000000FFu : 0xFF000000u;
                    d.forward = forward;
                    d.inverse = inverse;
                    d.region = {0, 0, k.srcW, k.srcH};
                    const Bitmap& from = colour == 0x00FFFFFEu ? checked : src;
                    Bitmap plain = frame, vector = frame;
                    d.tier = 0;
                    testing::Run(plain, from, d);
                    d.tier = 1;
                    testing::Run(vector, from, d);
                    EXPECT_NE(plain.words, frame.words) << k.srcW << " method " << method;
                    ASSERT_EQ(plain.words, vector.words)
                        << k.srcW << " method " << method << " mode " << mode << " " << colour;
                }
            }
        }
    }
}

// A source with transparent checks (blocks wholly transparent, wholly drawn, and their edges)
// stretched over rows wider than the pieces that the vector kernels map ahead, affine and in
// perspective, in every blend mode, with and without tint and opacity.
TEST_P(KernelTiers, VectorTierMatchesPlainTierOnKeyedChecksOverWideRows) {
    JobGenerator gen(4242);
    Bitmap src(90, 70), frame(600, 48);
    gen.Fill(src);
    gen.Fill(frame);
    for (int32_t y = 0; y < src.height; ++y) {
        for (int32_t x = 0; x < src.width; ++x) {
            if ((x / 7 + y / 7) % 2 == 0) {
                src.At(x, y) = 0x00FF0000u;
            }
        }
    }
    const float affine[9] = {6.2f, 0.9f, 5.0f, -0.35f, 0.62f, 30.0f, 0, 0, 1};
    const float perspective[9] = {6.2f, 0.9f, 5.0f, -0.35f, 0.62f, 30.0f, 0.0008f, 0.002f, 1};
    for (const float* forward : {affine, perspective}) {
        float inverse[9];
        InvertMatrix(forward, inverse);
        for (int32_t method : {2, 3}) {
            for (int32_t mode = 0; mode <= 6; ++mode) {
                for (uint32_t colour : {0x00FFFFFFu, 0x80C08040u, 0xFFFFFFFFu}) {
                    testing::Draw d;
                    d.method = method;
                    d.mode = mode;
                    d.colour = colour;
                    d.transparent = 0x000000FFu;  // the checks' 0x00FF0000 in model order
                    d.forward = forward;
                    d.inverse = inverse;
                    Bitmap plain = frame, vector = frame;
                    d.tier = 0;
                    testing::Run(plain, src, d);
                    d.tier = 1;
                    testing::Run(vector, src, d);
                    EXPECT_NE(plain.words, frame.words) << "method " << method;
                    ASSERT_EQ(plain.words, vector.words)
                        << (forward == affine ? "affine" : "perspective") << " method " << method
                        << " mode " << mode << " colour " << std::hex << colour;
                }
            }
        }
    }
}

// Pixels outside the region never influence the result, on either tier.
TEST_P(KernelTiers, PixelsOutsideTheRegionAreNeverRead) {
    JobGenerator gen(99);
    for (int i = 0; i < 400; ++i) {
        Bitmap src(12, 10), frame(20, 16);
        gen.Fill(frame);
        testing::Draw d;
        d.method = gen.Int(1, 4);
        d.mode = gen.Int(0, 6);
        d.tier = gen.Int(0, 1);
        d.region = {gen.Int(0, 5), gen.Int(0, 4), gen.Int(6, 12), gen.Int(5, 10)};
        d.colour = gen.Chance(50) ? 0x00FFFFFFu : uint32_t(gen.rng_());
        d.transparent = gen.Chance(50) ? 0x000000FFu : 0xFF000000u;
        float forward[9], inverse[9];
        gen.Forward(forward, 12, 10, 20, 16);
        InvertMatrix(forward, inverse);
        d.forward = forward;
        d.inverse = inverse;
        Bitmap a = frame, b = frame, srcB = src;
        for (int32_t y = 0; y < 10; ++y) {
            for (int32_t x = 0; x < 12; ++x) {
                const bool in = x >= d.region.left && x < d.region.right && y >= d.region.top &&
                                y < d.region.bottom;
                const uint32_t w = gen.Word();
                src.At(x, y) = in ? w : 0x00000000u;
                srcB.At(x, y) = in ? w : 0xFFFFFFFFu;
            }
        }
        testing::Run(a, src, d);
        testing::Run(b, srcB, d);
        ASSERT_EQ(a.words, b.words) << "iteration " << i;
    }
}

}  // namespace
}  // namespace kelvane
