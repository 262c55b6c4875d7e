/* A picture plug-in for the tests, in several kinds chosen at build time:
   1 takes files that begin with "KTST" and hands back a 3 x 2 24-bit picture whose red is TEST_ID,
   2 takes them and fails, 3 takes nothing, 4 has no IsSupported export, 5 hands back an 8-bit
   top-down picture with a full colour table, 6 hands back a pixel block shorter than its header
   says. Every kind counts its calls and keeps what it was last shown. */
#include "kelvane/picture_plugin.h" /* first: the header stands on its own */

#include <stdlib.h>
#include <string.h>

static int probeCalls;
static int decodeCalls;
static unsigned char lastProbe[2048];
static size_t lastLength;
static unsigned int lastFlags;

KELVANE_PICTURE_EXPORT int TestProbeCalls(void) {
    return probeCalls;
}

KELVANE_PICTURE_EXPORT int TestDecodeCalls(void) {
    return decodeCalls;
}

KELVANE_PICTURE_EXPORT const unsigned char* TestLastProbe(void) {
    return lastProbe;
}

KELVANE_PICTURE_EXPORT size_t TestLastLength(void) {
    return lastLength;
}

KELVANE_PICTURE_EXPORT unsigned int TestLastFlags(void) {
    return lastFlags;
}

KELVANE_PICTURE_EXPORT void TestReset(void) {
    probeCalls = 0;
    decodeCalls = 0;
    memset(lastProbe, 0, sizeof lastProbe);
    lastLength = 0;
    lastFlags = 0;
}

#if TEST_KIND != 4
int IsSupported(const char* fileName, const void* data) {
    ++probeCalls;
    memcpy(lastProbe, data, sizeof lastProbe); /* the host promises 2048 readable bytes */
#if TEST_KIND == 3
    (void)fileName;
    return 0;
#else
    return fileName == NULL && memcmp(data, "KTST", 4) == 0;
#endif
}
#endif

#if TEST_KIND != 2
static KelvanePictureInfoHeader* NewHeader(size_t colours, int width, int height, int bits) {
    KelvanePictureInfoHeader* h =
        calloc(1, sizeof(KelvanePictureInfoHeader) + (colours ? colours : 1) * 4);
    if (h != NULL) {
        h->biSize = sizeof *h;
        h->biWidth = width;
        h->biHeight = height;
        h->biPlanes = 1;
        h->biBitCount = (uint16_t)bits;
        h->biClrUsed = (uint32_t)colours;
    }
    return h;
}
#endif

int GetPicture(const void* input, size_t length, unsigned int flags, void** info, void** pixels,
               KelvanePictureProgress progress, intptr_t progressData) {
    (void)input;
    (void)progress;
    (void)progressData;
    ++decodeCalls;
    lastLength = length;
    lastFlags = flags;
#if TEST_KIND == 2
    (void)info;
    (void)pixels;
    return KELVANE_PICTURE_BROKEN_DATA;
#elif TEST_KIND == 5
    /* Rows top-down; pixel (x, y) uses entry 200 + 3 * y + x, entry i being (i, 255 - i, 7). */
    KelvanePictureInfoHeader* h = NewHeader(256, 3, -2, 8);
    unsigned char* rows = malloc(8);
    KelvanePictureColour* table;
    int i;
    if (h == NULL || rows == NULL) {
        free(h);
        free(rows);
        return KELVANE_PICTURE_NO_MEMORY;
    }
    h->biClrUsed = 0; /* 2 to the power of the bit count */
    table = (KelvanePictureColour*)(h + 1);
    for (i = 0; i < 256; ++i) {
        table[i].blue = 7;
        table[i].green = (uint8_t)(255 - i);
        table[i].red = (uint8_t)i;
    }
    memset(rows, 0, 8);
    for (i = 0; i < 3; ++i) {
        rows[i] = (unsigned char)(200 + i);
        rows[4 + i] = (unsigned char)(203 + i);
    }
    *info = h;
    *pixels = rows;
    return KELVANE_PICTURE_OK;
#elif TEST_KIND == 6
    KelvanePictureInfoHeader* h = NewHeader(0, 64, 64, 32);
    *info = h;
    *pixels = calloc(1, 16);
    return KELVANE_PICTURE_OK;
#else
    /* Bottom-up 24-bit rows of 12 bytes (9 used); pixel (x, y) from the top is
       (TEST_ID, 40 * x, 100 * y). */
    KelvanePictureInfoHeader* h = NewHeader(0, 3, 2, 24);
    unsigned char* rows = calloc(1, 24);
    int x, y;
    if (h == NULL || rows == NULL) {
        free(h);
        free(rows);
        return KELVANE_PICTURE_NO_MEMORY;
    }
    for (y = 0; y < 2; ++y) {
        for (x = 0; x < 3; ++x) {
            unsigned char* p = rows + (1 - y) * 12 + 3 * x;
            p[0] = (unsigned char)(100 * y);
            p[1] = (unsigned char)(40 * x);
            p[2] = (unsigned char)TEST_ID;
        }
    }
    *info = h;
    *pixels = rows;
    return KELVANE_PICTURE_OK;
#endif
}
