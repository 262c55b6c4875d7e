#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "render/EventGeometry.h"
#include "render/PixelImage.h"
#include "render/PixelJob.h"
#include "render/kernels/VectorSet.h"
#include "tests/render/KernelTestSupport.h"

// Sources with straight alpha on every tier: opaque alpha draws exactly as no alpha, random alpha
// matches a reference written from the weighting rules, and images that keep alpha themselves
// (nested compositions) lay each pixel over their presence.
namespace kelvane {
namespace {

using testing::Bitmap;

// The plain tier, then each instruction set of the vector tier the processor has.
struct Tier {
    int32_t tier;
    kernels::VectorSet set;
};
constexpr Tier kTiers[] = {
    {0, kernels::VectorSet::Sse2}, {1, kernels::VectorSet::Sse2}, {1, kernels::VectorSet::Avx2}};

struct TierScope {
    explicit TierScope(const Tier& t) : usable(kernels::SelectVectorSet(t.set)) {}
    ~TierScope() { kernels::SelectVectorSet(kernels::BestVectorSet()); }
    bool usable;
};

class Random {
  public:
    explicit Random(uint32_t seed) : rng_(seed) {}
    int32_t Int(int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng_);
    }
    float Real(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng_); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    uint32_t Colour() { return Chance(30) ? 0x00FF0000u : rng_() & 0x00FFFFFF; }
    // Alpha that is often wholly on or off, so that blocks of every kind occur.
    uint32_t Alpha() {
        const int k = Int(0, 9);
        return k < 3 ? 255 : k < 5 ? 0 : uint32_t(Int(0, 255));
    }

    // An affine placement: translation, scale and rotation, or a mirror.
    void Placement(float* m, int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH) {
        const float s = Chance(30) ? 1.0f : Real(0.4f, 4.0f);
        const float a = Chance(30) ? 0.0f : Real(-3.2f, 3.2f);
        m[0] = s * std::cos(a);
        m[1] = -s * std::sin(a);
        m[3] = s * std::sin(a);
        m[4] = s * std::cos(a);
        m[2] = Real(0, float(dstW)) - m[0] * float(srcW) / 2 - m[1] * float(srcH) / 2;
        m[5] = Real(0, float(dstH)) - m[3] * float(srcW) / 2 - m[4] * float(srcH) / 2;
        m[6] = m[7] = 0;
        m[8] = 1;
        if (Chance(20)) {  // perspective
            m[6] = Real(-0.01f, 0.01f);
            m[7] = Real(-0.01f, 0.01f);
        }
    }

    std::mt19937 rng_;
};

// ---- The reference: the weighting rules, one pixel at a time -------------------------------

uint32_t Ch(uint32_t p, int c) {
    return (p >> (8 * c)) & 255;
}

uint32_t Presence(uint32_t p, uint32_t key) {
    return (p & 0x00FFFFFF) == key ? 0 : (p >> 24) + ((p >> 24) >> 7);
}

struct Axis {
    int32_t i0, i1;
    uint32_t f;  // weight of i1
};

Axis Taps(float s, int32_t low, int32_t high) {
    const int32_t fixed = int32_t(std::nearbyint(s * 256.0f)) - 128;
    const int32_t i = int32_t(std::floor(double(fixed) / 256.0));
    if (i < low) {
        return {low, low, 0};
    }
    if (i >= high - 1) {
        return {high - 1, high - 1, 0};
    }
    return {i, i + 1, uint32_t(fixed - i * 256)};
}

uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f) {
    return ((256 - f) * a + f * b + 128) >> 8;
}

// Colour and coverage of a bilinear sample: presences interpolated like keyed coverage; colours
// faded by presence towards the presence-weighted mean of the used neighbours.
uint32_t ReferenceBilinear(const Bitmap& src, const DrawRect& reg, uint32_t key, float sx, float sy,
                           uint32_t* coverage) {
    const Axis ax = Taps(sx, reg.left, reg.right);
    const Axis ay = Taps(sy, reg.top, reg.bottom);
    const int32_t xs[2] = {ax.i0, ax.i1}, ys[2] = {ay.i0, ay.i1};
    const int nx = ax.i0 == ax.i1 ? 1 : 2, ny = ay.i0 == ay.i1 ? 1 : 2;
    uint32_t p[2][2] = {}, w[2][2] = {}, total = 0, sum[3] = {};
    for (int r = 0; r < ny; ++r) {
        for (int k = 0; k < nx; ++k) {
            p[r][k] = src.At(xs[k], ys[r]);
            w[r][k] = Presence(p[r][k], key);
            total += w[r][k];
            for (int c = 0; c < 3; ++c) {
                sum[c] += w[r][k] * Ch(p[r][k], c);
            }
        }
    }
    auto interpolate = [&](uint32_t v[2][2]) {
        const uint32_t top = nx == 2 ? Lerp(v[0][0], v[0][1], ax.f) : v[0][0];
        if (ny == 1) {
            return top;
        }
        return Lerp(top, nx == 2 ? Lerp(v[1][0], v[1][1], ax.f) : v[1][0], ay.f);
    };
    if (nx == 1 && ny == 1) {
        *coverage = w[0][0];
        return p[0][0] & 0x00FFFFFF;
    }
    *coverage = interpolate(w);
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        const uint32_t fill = total == 0 ? 0 : sum[c] / total;
        uint32_t v[2][2];
        for (int r = 0; r < 2; ++r) {
            for (int k = 0; k < 2; ++k) {
                v[r][k] = (w[r][k] * Ch(p[r][k], c) + (256 - w[r][k]) * fill + 128) >> 8;
            }
        }
        out |= interpolate(v) << (8 * c);
    }
    return out;
}

uint32_t Combine(int32_t mode, uint32_t d, uint32_t s, int c) {
    const uint32_t a = Ch(d, c), b = Ch(s, c);
    switch (mode) {
        case 1:
            return a & b;
        case 2:
            return a | b;
        case 3:
            return a ^ b;
        case 4:
            return a * b / 255;
        case 5:
            return std::min(a + b, 255u);
        default:
            return a > b ? a - b : 0;
    }
}

// Tint on the colour; W = c (or floor(c * opacity / 256)) in the normal mode, c in the others.
uint32_t ReferenceShade(const testing::Draw& d, uint32_t dst, uint32_t s, uint32_t c) {
    const uint32_t tint = SwapRedBlue(d.colour);
    const uint32_t opacity = d.colour >> 24;
    uint32_t out = 0;
    for (int ch = 0; ch < 3; ++ch) {
        const uint32_t sc = Ch(s, ch) * Ch(tint, ch) / 255;
        const uint32_t tinted = sc << (8 * ch);
        uint32_t r, w;
        if (d.mode == 0) {
            r = sc;
            w = opacity == 0 ? c : c * opacity / 256;
        } else {
            r = Combine(d.mode, dst, tinted, ch);
            w = c;
        }
        out |= ((w * r + (256 - w) * Ch(dst, ch)) >> 8) << (8 * ch);
    }
    return out;
}

void ReferenceDraw(Bitmap& dst, const Bitmap& src, const testing::Draw& d) {
    const DrawRect reg{std::max(d.region.left, 0), std::max(d.region.top, 0),
                       std::min(d.region.right, src.width), std::min(d.region.bottom, src.height)};
    const uint32_t key = SwapRedBlue(d.transparent) | (d.transparent & 0xFF000000);
    const float* m = d.inverse;
    for (int32_t y = std::max(d.clip.top, 0); y < std::min(d.clip.bottom, dst.height); ++y) {
        for (int32_t x = std::max(d.clip.left, 0); x < std::min(d.clip.right, dst.width); ++x) {
            const float fx = float(x), fy = float(y);
            float sx = m[0] * fx + (m[1] * fy + m[2]);
            float sy = m[3] * fx + (m[4] * fy + m[5]);
            if (!(m[6] == 0 && m[7] == 0 && m[8] == 1)) {
                const float w = m[6] * fx + (m[7] * fy + m[8]);
                sx /= w;
                sy /= w;
            }
            if (!(float(reg.left) <= sx && sx < float(reg.right) && float(reg.top) <= sy &&
                  sy < float(reg.bottom))) {
                continue;
            }
            uint32_t c = 0, s = 0;
            if (d.method <= 2) {
                s = src.At(int32_t(sx), int32_t(sy));
                if ((s & 0x00FFFFFF) == key) {
                    continue;  // the key is absent and leaves the pixel alone
                }
                c = Presence(s, key);
            } else {
                s = ReferenceBilinear(src, reg, key, sx, sy, &c);
            }
            dst.At(x, y) = ReferenceShade(d, dst.At(x, y), s, c);
        }
    }
}

// ---- Tests ---------------------------------------------------------------------------------

testing::Draw RandomDraw(Random& r, const Bitmap& src, int32_t method, int32_t mode, float* forward,
                         float* inverse, int32_t dstW, int32_t dstH) {
    testing::Draw d;
    d.method = method;
    d.mode = mode;
    const uint32_t tint = r.Chance(50) ? 0x00FFFFFFu : r.rng_() & 0x00FFFFFF;
    const uint32_t opacity = r.Chance(50) ? 0 : uint32_t(r.Int(1, 255));
    d.colour = tint | opacity << 24;
    d.transparent = r.Chance(40) ? 0x000000FFu : 0xFF000000u;  // 0x00FF0000 in model order
    if (r.Chance(40)) {  // part of the source, sometimes reaching past it
        const int32_t left = r.Int(-2, src.width - 1), top = r.Int(-2, src.height - 1);
        d.region = {left, top, r.Int(std::max(left, 0) + 1, src.width + 2),
                    r.Int(std::max(top, 0) + 1, src.height + 2)};
    }
    r.Placement(forward, src.width, src.height, dstW, dstH);
    InvertMatrix(forward, inverse);
    d.forward = forward;
    d.inverse = inverse;
    return d;
}

TEST(AlphaKernels, OpaqueAlphaDrawsExactlyAsNoAlphaOnEveryTier) {
    Random r(20261208);
    int drawn = 0;
    for (const Tier& tier : kTiers) {
        TierScope scope(tier);
        if (!scope.usable) {
            continue;
        }
        for (int32_t method = 1; method <= 4; ++method) {
            for (int32_t mode = 0; mode <= 6; ++mode) {
                for (int i = 0; i < 12; ++i) {
                    Bitmap plainSrc(r.Int(1, 40), r.Int(1, 30)), frame(r.Int(8, 90), r.Int(4, 40));
                    for (uint32_t& w : plainSrc.words) {
                        w = r.Colour();
                    }
                    for (uint32_t& w : frame.words) {
                        w = r.rng_() & 0x00FFFFFF;
                    }
                    Bitmap alphaSrc = plainSrc;
                    for (uint32_t& w : alphaSrc.words) {
                        w |= 0xFF000000u;
                    }
                    float forward[9], inverse[9];
                    testing::Draw d = RandomDraw(r, plainSrc, method, mode, forward, inverse,
                                                 frame.width, frame.height);
                    d.tier = tier.tier;
                    Bitmap plain = frame, alpha = frame;
                    testing::Run(plain, plainSrc, d);
                    d.sourceAlpha = true;
                    testing::Run(alpha, alphaSrc, d);
                    ASSERT_EQ(plain.words, alpha.words)
                        << "tier " << tier.tier << " " << kernels::VectorSetName(tier.set)
                        << " method " << method << " mode " << mode << " iteration " << i;
                    drawn += plain.words != frame.words;
                }
            }
        }
    }
    EXPECT_GT(drawn, 200);
}

TEST(AlphaKernels, RandomAlphaMatchesTheWeightingRulesOnEveryTier) {
    Random r(77);
    int drawn = 0;
    for (const Tier& tier : kTiers) {
        TierScope scope(tier);
        if (!scope.usable) {
            continue;
        }
        for (int32_t method = 1; method <= 4; ++method) {
            for (int32_t mode = 0; mode <= 6; ++mode) {
                for (int i = 0; i < 12; ++i) {
                    Bitmap src(r.Int(1, 40), r.Int(1, 30)), frame(r.Int(8, 90), r.Int(4, 40));
                    for (uint32_t& w : src.words) {
                        w = r.Colour() | r.Alpha() << 24;
                    }
                    // Every drawn pixel gets a fourth byte of 0, so the frame starts with others.
                    for (uint32_t& w : frame.words) {
                        w = r.rng_();
                    }
                    float forward[9], inverse[9];
                    testing::Draw d = RandomDraw(r, src, method, mode, forward, inverse,
                                                 frame.width, frame.height);
                    d.tier = tier.tier;
                    d.sourceAlpha = true;
                    Bitmap expected = frame, actual = frame;
                    ReferenceDraw(expected, src, d);
                    testing::Run(actual, src, d);
                    for (size_t k = 0; k < expected.words.size(); ++k) {
                        ASSERT_EQ(expected.words[k], actual.words[k])
                            << "tier " << tier.tier << " " << kernels::VectorSetName(tier.set)
                            << " method " << method << " mode " << mode << " iteration " << i
                            << " pixel " << k % size_t(frame.width) << ","
                            << frame.height - 1 - int32_t(k / size_t(frame.width));
                    }
                    drawn += expected.words != frame.words;
                }
            }
        }
    }
    EXPECT_GT(drawn, 200);
}

// A soft disc over a colour: no dark fringe, the ring blends between disc and backdrop.
TEST(AlphaKernels, SoftEdgeBlendsWithoutDarkening) {
    Bitmap src(3, 1), frame(3, 1, testing::Pixel(0, 0, 200));
    src.At(0, 0) = testing::Pixel(255, 255, 255, 255);
    src.At(1, 0) = testing::Pixel(255, 255, 255, 128);
    src.At(2, 0) = testing::Pixel(255, 255, 255, 0);
    testing::Draw d;
    d.sourceAlpha = true;
    for (int32_t tier : {0, 1}) {
        Bitmap out = frame;
        d.tier = tier;
        testing::Run(out, src, d);
        EXPECT_EQ(out.At(0, 0), testing::Pixel(255, 255, 255));
        // Presence 129: (129 * 255 + 127 * 0) >> 8 and (129 * 255 + 127 * 200) >> 8.
        EXPECT_EQ(out.At(1, 0), testing::Pixel(128, 128, 227));
        EXPECT_EQ(out.At(2, 0), testing::Pixel(0, 0, 200));
    }
}

// An image that keeps alpha (a nested composition with a transparent background) starts with
// colour 0 and presence 0: drawn pixels keep their colour straight and lay their weight.
TEST(AlphaKernels, DrawingIntoAnImageWithAlphaKeepsColourStraight) {
    Bitmap src(4, 1);
    src.At(0, 0) = testing::Pixel(200, 100, 50, 255);
    src.At(1, 0) = testing::Pixel(200, 100, 50, 128);
    src.At(2, 0) = testing::Pixel(200, 100, 50, 0);
    src.At(3, 0) = testing::Pixel(200, 100, 50, 64);
    for (int32_t tier : {0, 1}) {
        Bitmap image(4, 1, 0);
        testing::Draw d;
        d.tier = tier;
        d.sourceAlpha = true;
        d.destinationAlpha = true;
        testing::Run(image, src, d);
        EXPECT_EQ(image.At(0, 0), testing::Pixel(200, 100, 50, 255));
        EXPECT_EQ(image.At(1, 0), testing::Pixel(200, 100, 50, 128));
        EXPECT_EQ(image.At(2, 0), 0u);
        EXPECT_EQ(image.At(3, 0), testing::Pixel(200, 100, 50, 64));

        // Laid again over itself: the presences add up, the colour stays.
        testing::Run(image, src, d);
        EXPECT_EQ(image.At(1, 0), testing::Pixel(200, 100, 50, 191));
        EXPECT_EQ(image.At(3, 0), testing::Pixel(200, 100, 50, 112));

        // A draw of weight 0 (a keyed area) leaves alpha and colour as they are.
        Bitmap keyed(4, 1, testing::Pixel(1, 2, 3));
        testing::Draw k = d;
        k.sourceAlpha = false;
        k.method = 4;
        k.transparent = testing::Model(1, 2, 3);
        const Bitmap before = image;
        testing::Run(image, keyed, k);
        EXPECT_EQ(image.words, before.words);
    }
}

// Over an opaque image with alpha, every mode gives the plain blend's colour and stays opaque.
TEST(AlphaKernels, OverAnOpaqueImageWithAlphaEveryModeBlendsAsUsual) {
    Random r(5);
    for (int32_t method = 1; method <= 4; ++method) {
        for (int32_t mode = 0; mode <= 6; ++mode) {
            Bitmap src(9, 7), frame(20, 16);
            for (uint32_t& w : src.words) {
                w = r.Colour() | r.Alpha() << 24;
            }
            for (uint32_t& w : frame.words) {
                w = r.rng_() & 0x00FFFFFF;
            }
            float forward[9], inverse[9];
            testing::Draw d =
                RandomDraw(r, src, method, mode, forward, inverse, frame.width, frame.height);
            d.sourceAlpha = true;
            Bitmap plain = frame, opaque = frame;
            for (uint32_t& w : opaque.words) {
                w |= 0xFF000000u;
            }
            testing::Run(plain, src, d);
            d.destinationAlpha = true;
            testing::Run(opaque, src, d);
            for (size_t k = 0; k < plain.words.size(); ++k) {
                ASSERT_EQ(plain.words[k] | 0xFF000000u, opaque.words[k])
                    << "method " << method << " mode " << mode << " pixel " << k;
            }
        }
    }
}

}  // namespace
}  // namespace kelvane
