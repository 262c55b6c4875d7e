#include "render/PixelTables.h"
#include "render/kernels/KernelEntry.h"
#include "render/kernels/ScalarPixel.h"

namespace kelvane::kernels {

void RunNearestScalar(const PixelJob& job) {
    const PixelTables& tables = GetPixelTables();
    const bool keyed = TransparentActive(job.transparentColour);
    const bool alpha = job.sourceAlpha != 0;
    const bool affine = IsAffine(job.inverse);
    for (int32_t y = job.y0; y < job.y1; ++y) {
        const RowTerms row = MapRow(job.inverse, y);
        uint32_t* dst = DestinationRow(job, y);
        for (int32_t x = job.x0; x < job.x1; ++x) {
            float sx, sy;
            MapPixel(job.inverse, row, affine, x, &sx, &sy);
            if (!InsideRegion(job, sx, sy)) {
                continue;
            }
            // Both coordinates are at least the region's left and top, so truncation floors.
            const uint32_t s = SourceRow(job.source, job.sourceWidth, int32_t(sy))[int32_t(sx)];
            if (alpha) {
                // The key ignores the fourth byte, which holds the alpha.
                if ((s & 0x00FFFFFF) != job.transparentColour) {
                    PutPixel(job, true, &dst[x], s, AlphaPresence(s, job.transparentColour),
                             tables);
                }
                continue;
            }
            if (keyed && s == job.transparentColour) {
                continue;
            }
            PutPixel(job, false, &dst[x], s, 256, tables);
        }
    }
}

}  // namespace kelvane::kernels
