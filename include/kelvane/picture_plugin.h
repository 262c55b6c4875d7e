/*
 * Kelvane picture plug-in interface.
 *
 * A picture plug-in is a shared library with the extension ".spi" placed beside the Kelvane
 * executable. Kelvane loads every such library once at start-up and asks them, in the order the
 * folder listing returned them, for pictures that its built-in BMP reader does not take. A plug-in
 * exports exactly two C functions, IsSupported and GetPicture, with the signatures below.
 *
 * This header compiles on its own as C (C11 or later) and as C++.
 *
 * Compatibility: the records below only ever grow at the end. A field, once published, keeps its
 * offset and meaning; newer fields are appended, so that older plug-ins and hosts keep working.
 *
 * How Kelvane calls a plug-in:
 *
 *   1. IsSupported(NULL, header): `header` points to the first 2048 bytes of the file; when the
 *      file is shorter, its bytes are followed by zeros up to 2048. The first plug-in that answers
 *      nonzero ends this probe; when none does, the file is not a picture for Kelvane.
 *   2. For each plug-in in turn: IsSupported(NULL, image) is asked again, this time with the whole
 *      file image (still at least 2048 readable bytes, zero-padded). On a nonzero answer Kelvane
 *      calls GetPicture(image, length, KELVANE_PICTURE_INPUT_MEMORY, &info, &pixels, NULL, 0).
 *      The first plug-in that takes the file decides: when its GetPicture fails, the picture fails
 *      and no later plug-in is asked.
 *
 * What GetPicture hands back on success (return value KELVANE_PICTURE_OK):
 *
 *   - *info: a block from malloc() holding a KelvanePictureInfoHeader (biSize 40) followed by the
 *     colour table: biClrUsed entries, or 2 to the power of biBitCount when biClrUsed is 0, for
 *     1, 4 and 8 bits per pixel; for KELVANE_PICTURE_BITFIELDS the three masks (red, green, blue)
 *     come first. Allocate at least 44 bytes even when there is no colour table: older hosts copy
 *     the header and one colour entry.
 *   - *pixels: a block from malloc() holding the pixel rows in bitmap layout: each row padded to
 *     a multiple of 4 bytes, ((biBitCount * biWidth + 31) / 32) * 4 bytes, rows bottom-up when
 *     biHeight is positive, top-down when it is negative.
 *
 *   Kelvane copies what it needs and releases both blocks with free(). Kelvane checks that each
 *   block is as large as its header says and refuses the picture otherwise.
 *
 *   Supported layouts: biCompression KELVANE_PICTURE_RGB with 1, 4, 8, 16 (5-5-5), 24 or 32 bits
 *   per pixel, or KELVANE_PICTURE_BITFIELDS with 16 or 32 bits. Unless the host asks for alpha
 *   (KELVANE_PICTURE_KEEP_ALPHA below), a plug-in composites a picture that has an alpha channel
 *   over black before handing it back, and the fourth byte of a 32-bit pixel carries no meaning.
 *
 *   On failure GetPicture returns one of the nonzero codes below, frees whatever it allocated and
 *   leaves *info and *pixels alone; Kelvane frees nothing.
 *
 * Plug-ins are called on the user-interface thread only, one call at a time.
 */
#ifndef KELVANE_PICTURE_PLUGIN_H
#define KELVANE_PICTURE_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#define KELVANE_PICTURE_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define KELVANE_PICTURE_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

#if defined(_WIN32)
#define KELVANE_PICTURE_EXPORT __declspec(dllexport)
#else
#define KELVANE_PICTURE_EXPORT __attribute__((visibility("default")))
#endif

/* GetPicture's input kinds (the low three bits of `flags`). Kelvane always passes memory. */
#define KELVANE_PICTURE_INPUT_FILE 0   /* `input` is a NUL-terminated UTF-8 file name */
#define KELVANE_PICTURE_INPUT_MEMORY 1 /* `input` is the whole file image, `length` bytes */
#define KELVANE_PICTURE_INPUT_MASK 7
/* Set in `flags` by hosts that take alpha: a picture with an alpha channel may then come back as
   32 bits per pixel with biCompression KELVANE_PICTURE_ALPHABITFIELDS, four masks after the
   header (red 0x00FF0000, green 0x0000FF00, blue 0x000000FF, alpha 0xFF000000) and straight, not
   premultiplied, alpha. Hosts that do not set it get the picture composited over black as
   always. A plug-in that does not know the flag ignores it. */
#define KELVANE_PICTURE_KEEP_ALPHA 0x10

/* GetPicture's results. */
#define KELVANE_PICTURE_OK 0
#define KELVANE_PICTURE_NOT_IMPLEMENTED (-1)
#define KELVANE_PICTURE_ABORTED 1        /* the progress callback asked to stop */
#define KELVANE_PICTURE_UNKNOWN_FORMAT 2 /* not a picture this plug-in reads */
#define KELVANE_PICTURE_BROKEN_DATA 3    /* the data is damaged or truncated */
#define KELVANE_PICTURE_NO_MEMORY 4
#define KELVANE_PICTURE_READ_ERROR 6
#define KELVANE_PICTURE_INTERNAL_ERROR 8

/* biCompression values that Kelvane accepts from a plug-in. */
#define KELVANE_PICTURE_RGB 0
#define KELVANE_PICTURE_BITFIELDS 3
#define KELVANE_PICTURE_ALPHABITFIELDS 6 /* only when the host set KELVANE_PICTURE_KEEP_ALPHA */

/* The bitmap information header: 40 bytes, little-endian, no padding. */
typedef struct KelvanePictureInfoHeader {
    uint32_t biSize; /* 40 */
    int32_t biWidth;
    int32_t biHeight;  /* positive: rows bottom-up; negative: rows top-down */
    uint16_t biPlanes; /* 1 */
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage; /* may be 0 for uncompressed pictures */
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
} KelvanePictureInfoHeader;

/* One colour-table entry. */
typedef struct KelvanePictureColour {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved; /* 0 */
} KelvanePictureColour;

KELVANE_PICTURE_STATIC_ASSERT(sizeof(KelvanePictureInfoHeader) == 40,
                              "the information header is 40 bytes");
KELVANE_PICTURE_STATIC_ASSERT(offsetof(KelvanePictureInfoHeader, biBitCount) == 14,
                              "biBitCount lies at byte 14");
KELVANE_PICTURE_STATIC_ASSERT(offsetof(KelvanePictureInfoHeader, biClrUsed) == 32,
                              "biClrUsed lies at byte 32");
KELVANE_PICTURE_STATIC_ASSERT(sizeof(KelvanePictureColour) == 4, "a colour entry is 4 bytes");

/* Progress report: `done` of `total`; a nonzero return asks the plug-in to stop. Kelvane passes
   NULL (no callback) and 0 as its data. */
typedef int (*KelvanePictureProgress)(int done, int total, intptr_t data);

/* Nonzero when the plug-in can read the picture whose bytes begin at `data` (at least 2048
   readable bytes). `fileName` is a UTF-8 file name or NULL; Kelvane always passes NULL. */
typedef int (*KelvanePictureIsSupported)(const char* fileName, const void* data);

/* Decodes a picture; see the top of this header for what it hands back. */
typedef int (*KelvanePictureGetPicture)(const void* input, size_t length, unsigned int flags,
                                        void** info, void** pixels, KelvanePictureProgress progress,
                                        intptr_t progressData);

/* Declarations for plug-in authors; define KELVANE_PICTURE_NO_DECLARATIONS to leave them out. */
#ifndef KELVANE_PICTURE_NO_DECLARATIONS
KELVANE_PICTURE_EXPORT int IsSupported(const char* fileName, const void* data);
KELVANE_PICTURE_EXPORT int GetPicture(const void* input, size_t length, unsigned int flags,
                                      void** info, void** pixels, KelvanePictureProgress progress,
                                      intptr_t progressData);
#endif

#ifdef __cplusplus
}
#endif

#endif /* KELVANE_PICTURE_PLUGIN_H */
