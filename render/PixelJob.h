#pragma once

#include <cstdint>

namespace kelvane {

class DrawThreadPool;
class PixelImage;

// Integer rectangle, right and bottom exclusive.
struct DrawRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// One kernel call over one band of rows. Images are addressed from their top row: row y lies y
// widths *below* the given pointer in memory, because bitmaps are stored bottom-up.
struct PixelJob {
    int32_t tier = 0;        // 0 plain, 1 vector; anything else draws nothing
    int32_t drawMethod = 0;  // 1, 2 nearest; 3, 4 bilinear; anything else draws nothing
    int32_t blendMode = 0;   // BlendMode 0 to 6; anything else draws nothing
    uint32_t transparentColour = 0xFF000000;  // pixel layout; active when below 0x01000000
    uint32_t tint = 0x00FFFFFF;               // pixel layout; 0x00FFFFFF = no tint
    uint32_t opacity = 0;                     // 0 = opaque, else 1 to 255
    uint32_t inverseOpacity = 256;            // 256 - opacity
    uint32_t* destination = nullptr;          // top row
    int32_t destinationWidth = 0;             // also the pitch in pixels
    const uint32_t* source = nullptr;         // top row
    int32_t sourceWidth = 0;
    int32_t x0 = 0, x1 = 0;
    int32_t y0 = 0, y1 = 0;
    float inverse[9] = {};  // output pixel -> source point, row-major
    float regionLeft = 0, regionRight = 0, regionTop = 0, regionBottom = 0;
    int32_t left = 0, right = 0, top = 0, bottom = 0;
    // 1: the source keeps straight alpha in the fourth byte of each pixel; its presence weights
    // the pixel like the coverage of keyed bilinear sampling, and the key ignores that byte.
    uint32_t sourceAlpha = 0;
    // 1: the destination keeps straight alpha in its fourth byte (an image composed for drawing
    // elsewhere); every drawn pixel lays its weight over that presence.
    uint32_t destinationAlpha = 0;
};

constexpr uint32_t kNoTint = 0x00FFFFFF;
constexpr int32_t kMaxTier = 1;

inline bool TransparentActive(uint32_t transparentColour) {
    return transparentColour < 0x01000000;
}

// Everything one event needs to be drawn. Pixels point at the bitmaps as stored (bottom row
// first), as PixelImage::Pixels() returns them; the images are 32 bits per pixel, pitch = width.
struct DrawRequest {
    uint32_t* destination = nullptr;
    int32_t destinationWidth = 0;
    int32_t destinationHeight = 0;
    DrawRect clip;
    int32_t tier = 0;
    int32_t drawMethod = 0;  // resolved, 1 to 5
    const uint32_t* source = nullptr;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    DrawRect region;
    uint32_t transparentColour = 0xFF000000;  // model layout 0x00BBGGRR, top byte 0 = active
    uint32_t colour = 0x00FFFFFF;             // model layout 0xAABBGGRR, opacity 0 = opaque
    int32_t blendMode = 0;
    const float* forward = nullptr;  // source -> output; either matrix may be absent
    const float* inverse = nullptr;  // output -> source (composed with the pixel centre)
    bool sourceAlpha = false;        // as PixelJob::sourceAlpha
    bool destinationAlpha = false;   // as PixelJob::destinationAlpha
};

// Clips, converts the colours and culls the footprint. False when nothing is to be drawn;
// otherwise the job covers the visited rectangle x0..x1, y0..y1.
bool PreparePixelJob(const DrawRequest& request, PixelJob* job);

// Draws one event. The rows are split among the pool's workers; with no pool, or a pool without
// workers, the calling thread draws.
void DrawTransformed(const DrawRequest& request, DrawThreadPool* pool);

// Convenience form over whole images (32 bits per pixel; anything else draws nothing). Either
// image's alpha layout (PixelImage::Alpha) sets the job's alpha flags.
void DrawTransformed(PixelImage& destination, const DrawRect& clip, DrawThreadPool* pool,
                     int32_t tier, int32_t drawMethod, const PixelImage& source,
                     const DrawRect& region, uint32_t transparentColour, uint32_t colour,
                     int32_t blendMode, const float* forward, const float* inverse);

// Visits the job's rows. Safe to run on several threads with disjoint bands.
void RunPixelJob(const PixelJob& job);

// Bilinear samples of the region (ints, clipped to the source) at source point (sx, sy); never
// reads outside the region. source points at the top row, width is also the pitch.
uint32_t SampleBilinear(const uint32_t* source, int32_t width, const DrawRect& region, float sx,
                        float sy);
// As above, treating pixels equal to the transparent colour as absent; *coverage is 0 to 256.
uint32_t SampleBilinearKeyed(const uint32_t* source, int32_t width, const DrawRect& region,
                             uint32_t transparentColour, float sx, float sy, uint32_t* coverage);
// As above for a source with straight alpha in the fourth byte: each neighbour's presence is
// a + (a >> 7), 0 where its colour bytes equal the transparent colour. Returns the colour with a
// fourth byte of 0.
uint32_t SampleBilinearAlpha(const uint32_t* source, int32_t width, const DrawRect& region,
                             uint32_t transparentColour, float sx, float sy, uint32_t* coverage);

// Presence 0 to 256 of one pixel of a source with alpha; transparentColour in pixel layout.
inline uint32_t AlphaPresence(uint32_t pixel, uint32_t transparentColour) {
    if ((pixel & 0x00FFFFFF) == transparentColour) {
        return 0;
    }
    const uint32_t a = pixel >> 24;
    return a + (a >> 7);
}

}  // namespace kelvane
