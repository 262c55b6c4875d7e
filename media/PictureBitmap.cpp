#include "media/PictureBitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace kelvane {

namespace {

constexpr int32_t kMaxSide = 1 << 16;  // what PixelImage accepts

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// One colour channel of a 16- or 32-bit pixel given by a bit mask. Fields narrower than 8 bits
// are widened by repeating their bits, so that the largest value becomes 255 and 0 stays 0;
// wider fields keep their top 8 bits. A mask of 0 yields 0.
class Channel {
  public:
    explicit Channel(uint32_t mask) : mask_(mask) {
        if (mask == 0) {
            return;
        }
        shift_ = std::countr_zero(mask);
        const int bits = std::bit_width(mask >> shift_);
        if (bits > 8) {
            drop_ = bits - 8;
            for (int v = 0; v < 256; ++v) {
                widen_[v] = uint8_t(v);
            }
            return;
        }
        for (uint32_t v = 0; v < (1u << bits); ++v) {
            uint32_t wide = v << (8 - bits);
            for (int s = bits; s < 8; s += bits) {
                wide |= wide >> s;
            }
            widen_[v] = uint8_t(wide);
        }
    }

    uint32_t operator()(uint32_t pixel) const {
        return widen_[(((pixel & mask_) >> shift_) >> drop_) & 0xFF];
    }

  private:
    uint32_t mask_;
    int shift_ = 0;
    int drop_ = 0;
    uint8_t widen_[256] = {};
};

void ConvertIndexedRow(const uint8_t* src, uint32_t* dst, int32_t width, int bits,
                       const uint32_t (&palette)[256]) {
    const int perByte = 8 / bits;
    const unsigned valueMask = (1u << bits) - 1;
    for (int32_t x = 0; x < width; ++x) {
        const int slot = x % perByte;
        const unsigned index = (src[x / perByte] >> (8 - bits * (slot + 1))) & valueMask;
        dst[x] = palette[index];  // index < 256 whatever the bit count
    }
}

}  // namespace

bool ParseBitmapInfo(const uint8_t* info, size_t available, PictureBitmap& out) {
    if (info == nullptr || available < 4) {
        return false;
    }
    const uint32_t headerSize = Le32(info);
    BitmapInfoHeader header{};
    header.size = headerSize;
    size_t tableStart = headerSize;
    size_t entrySize = 4;
    if (headerSize == 12) {
        // The OS/2 core header: 16-bit unsigned sides, three-byte colour entries, no compression.
        if (available < 12) {
            return false;
        }
        header.width = Le16(info + 4);
        header.height = Le16(info + 6);
        header.planes = Le16(info + 8);
        header.bitCount = Le16(info + 10);
        entrySize = 3;
    } else if (headerSize >= 40 && headerSize <= available) {
        header.width = int32_t(Le32(info + 4));
        header.height = int32_t(Le32(info + 8));
        header.planes = Le16(info + 12);
        header.bitCount = Le16(info + 14);
        header.compression = Le32(info + 16);
        header.sizeImage = Le32(info + 20);
        header.xPelsPerMeter = int32_t(Le32(info + 24));
        header.yPelsPerMeter = int32_t(Le32(info + 28));
        header.clrUsed = Le32(info + 32);
        header.clrImportant = Le32(info + 36);
    } else {
        return false;
    }

    uint32_t masks[4] = {};
    if (header.compression == kBitmapBitFields || header.compression == kBitmapAlphaBitFields) {
        if (header.bitCount != 16 && header.bitCount != 32) {
            return false;
        }
        const uint8_t* at = info + 40;
        if (headerSize < 52) {
            // A plain 40-byte header keeps its masks in front of the colour table.
            const size_t maskBytes = header.compression == kBitmapAlphaBitFields ? 16 : 12;
            if (available - tableStart < maskBytes) {
                return false;
            }
            at = info + tableStart;
            tableStart += maskBytes;
        }
        for (int i = 0; i < 3; ++i) {
            masks[i] = Le32(at + 4 * i);
        }
        // The alpha mask: fourth of the masks, in the header from version 3 (56 bytes) on.
        if (header.compression == kBitmapAlphaBitFields || headerSize >= 56) {
            masks[3] = Le32(at + 12);
        }
    } else if (header.bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (header.bitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }

    std::fill(std::begin(out.palette), std::end(out.palette), 0u);
    if (header.bitCount == 1 || header.bitCount == 4 || header.bitCount == 8) {
        size_t entries = size_t(1) << header.bitCount;
        if (headerSize != 12 && header.clrUsed != 0 && header.clrUsed < entries) {
            entries = header.clrUsed;
        }
        // A table cut short by the file leaves its missing entries black.
        entries = std::min(entries, (available - std::min(available, tableStart)) / entrySize);
        for (size_t i = 0; i < entries; ++i) {
            const uint8_t* e = info + tableStart + i * entrySize;
            out.palette[i] = (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
        }
    }
    out.header = header;
    out.redMask = masks[0];
    out.greenMask = masks[1];
    out.blueMask = masks[2];
    out.alphaMask = masks[3];
    return true;
}

size_t BitmapPixelBytes(const BitmapInfoHeader& header) {
    if (header.width <= 0 || header.width > kMaxSide || header.height == 0 ||
        header.height < -kMaxSide || header.height > kMaxSide) {
        return 0;
    }
    const uint64_t width = uint64_t(header.width);
    const uint64_t height = uint64_t(header.height < 0 ? -int64_t(header.height) : header.height);
    if (width * height > kMaxPicturePixels) {
        return 0;
    }
    switch (header.compression) {
        case kBitmapRgb:
            switch (header.bitCount) {
                case 1:
                case 4:
                case 8:
                case 16:
                case 24:
                case 32:
                    break;
                default:
                    return 0;
            }
            break;
        case kBitmapBitFields:
        case kBitmapAlphaBitFields:
            if (header.bitCount != 16 && header.bitCount != 32) {
                return 0;
            }
            break;
        default:  // run-length, JPEG and PNG payloads
            return 0;
    }
    return PixelImage::PitchFor(header.width, header.bitCount) * size_t(height);
}

bool ConvertTo32(const PictureBitmap& bitmap, PixelImage& out, bool keepAlpha) {
    const BitmapInfoHeader& h = bitmap.header;
    const size_t needed = BitmapPixelBytes(h);
    if (needed == 0 || bitmap.pixels == nullptr || bitmap.pixelBytes < needed) {
        return false;
    }
    const int32_t width = h.width;
    const bool topDown = h.height < 0;
    const int32_t height = topDown ? -h.height : h.height;
    PixelImage image;
    if (!image.Create(width, height, 32)) {
        return false;
    }
    const size_t pitch = PixelImage::PitchFor(width, h.bitCount);
    const Channel red(bitmap.redMask);
    const Channel green(bitmap.greenMask);
    const Channel blue(bitmap.blueMask);
    const bool plain32 = h.bitCount == 32 && bitmap.redMask == 0xFF0000 &&
                         bitmap.greenMask == 0x00FF00 && bitmap.blueMask == 0x0000FF;
    const bool withAlpha =
        keepAlpha && bitmap.alphaMask != 0 && (h.bitCount == 16 || h.bitCount == 32);
    const Channel alpha(withAlpha ? bitmap.alphaMask : 0);
    uint32_t anyAlpha = 0;

    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* src = bitmap.pixels + size_t(row) * pitch;
        uint32_t* dst = image.Row32(topDown ? row : height - 1 - row);
        switch (h.bitCount) {
            case 1:
            case 4:
            case 8:
                ConvertIndexedRow(src, dst, width, h.bitCount, bitmap.palette);
                break;
            case 16:
                for (int32_t x = 0; x < width; ++x) {
                    const uint32_t p = Le16(src + 2 * x);
                    dst[x] = (alpha(p) << 24) | (red(p) << 16) | (green(p) << 8) | blue(p);
                    anyAlpha |= alpha(p);
                }
                break;
            case 24:
                for (int32_t x = 0; x < width; ++x) {
                    const uint8_t* p = src + 3 * x;
                    dst[x] = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
                }
                break;
            case 32:
                for (int32_t x = 0; x < width; ++x) {
                    const uint32_t p = Le32(src + 4 * x);
                    dst[x] = plain32 ? (p & 0xFFFFFF) : (red(p) << 16) | (green(p) << 8) | blue(p);
                    const uint32_t a = alpha(p);  // 0 without alpha
                    dst[x] |= a << 24;
                    anyAlpha |= a;
                }
                break;
        }
    }
    if (withAlpha) {
        if (anyAlpha == 0) {
            return ConvertTo32(bitmap, out, false);
        }
        image.SetAlpha(PixelAlpha::Straight);
    }
    out = std::move(image);
    return true;
}

}  // namespace kelvane
