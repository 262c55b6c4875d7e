#include "render/PixelTables.h"

namespace kelvane {

namespace {

PixelTables* MakeTables() {
    auto* t = new PixelTables;
    for (uint32_t i = 0; i < 256; ++i) {
        for (uint32_t j = 0; j < 256; ++j) {
            t->productOver255[i][j] = uint8_t(i * j / 255);
            t->saturatingSum[i][j] = uint8_t(i + j > 255 ? 255 : i + j);
            t->saturatingDiff[i][j] = uint8_t(i >= j ? i - j : 0);
        }
    }
    for (uint32_t j = 0; j < 1024; ++j) {
        t->mean[0][j] = 0;
        for (uint32_t i = 1; i < 5; ++i) {
            t->mean[i][j] = uint16_t(j / i);
        }
    }
    return t;
}

}  // namespace

const PixelTables& GetPixelTables() {
    // Lives for the whole process: drawing threads may still read it during static destruction.
    static const PixelTables* tables = MakeTables();
    return *tables;
}

void BuildPixelTables() {
    (void)GetPixelTables();
}

}  // namespace kelvane
