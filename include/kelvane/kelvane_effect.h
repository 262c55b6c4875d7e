/*
 * Kelvane effect plug-in interface.
 *
 * An effect module is a shared library that exports three C functions, EnumEffect, QueryEffect
 * and TransformEffect. Kelvane loads the module named by an effect entry ("\effect.so>Name"),
 * selects one of its effects and calls TransformEffect for every frame in which an event of
 * that entry is current. The effect draws straight into the frame being composed; everything it
 * does with the frame is the module's business.
 *
 * All texts are UTF-16 (little-endian, NUL-terminated inside their fixed fields). All integers
 * are 32-bit. The header compiles on its own as C (C11 or later) and as C++.
 *
 * Compatibility: the records below only ever grow at the end. A field, once published, keeps its
 * offset and meaning; newer fields are appended, so that older modules and hosts keep working.
 */
#ifndef KELVANE_EFFECT_H
#define KELVANE_EFFECT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
typedef char16_t KelvaneChar16;
#define KELVANE_EFFECT_STATIC_ASSERT(cond, message) static_assert(cond, message)
#else
typedef uint16_t KelvaneChar16;
#define KELVANE_EFFECT_STATIC_ASSERT(cond, message) _Static_assert(cond, message)
#endif

#if defined(_WIN32)
#define KELVANE_EFFECT_EXPORT __declspec(dllexport)
#else
#define KELVANE_EFFECT_EXPORT __attribute__((visibility("default")))
#endif

/* Records with a version above this one are refused by the program. */
#define KELVANE_EFFECT_VERSION_MAX 0x20000u

/* The description of one effect: 792 bytes. */
typedef struct EffectInfo {
    int32_t id;                     /* passed back to TransformEffect (named selection only) */
    uint32_t version;               /* at most KELVANE_EFFECT_VERSION_MAX */
    uint8_t reserved[16];           /* not read by the program; fill with zero */
    KelvaneChar16 name[64];         /* listed to the user and matched after ">" in a path */
    KelvaneChar16 text[64];         /* second line of the description */
    KelvaneChar16 description[256]; /* the rest of the description */
} EffectInfo;

/* left, top, right, bottom; right and bottom exclusive. */
typedef struct EffectRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} EffectRect;

KELVANE_EFFECT_STATIC_ASSERT(sizeof(EffectInfo) == 792, "EffectInfo must be 792 bytes");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectInfo, version) == 4, "EffectInfo.version at 4");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectInfo, name) == 24, "EffectInfo.name at 24");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectInfo, text) == 152, "EffectInfo.text at 152");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectInfo, description) == 280,
                             "EffectInfo.description at 280");
KELVANE_EFFECT_STATIC_ASSERT(sizeof(EffectRect) == 16, "EffectRect must be 16 bytes");

/*
 * EnumEffect(null) returns the number of effects n. EnumEffect(array of n records) fills them in
 * order and returns n again.
 */
typedef int32_t (*EnumEffectProc)(EffectInfo* infos);

/* Fills the record of the effect at index; nonzero when it did. */
typedef int32_t (*QueryEffectProc)(int32_t index, EffectInfo* info);

/*
 * Draws one event into the frame being composed; nonzero when the event was drawn, 0 fails the
 * frame.
 *   id        the selected record's id when the entry names its effect ("…>Name"), otherwise
 *             the effect's index (0 for a path without ">");
 *   pixels    width x height 32-bit pixels 0x00RRGGBB, rows bottom-up (the top row last), row
 *             pitch = width; write 0 into the fourth byte;
 *   target    the rectangle that may be drawn, (0, 0, width, height);
 *   region    the event's region (output pixels before placement);
 *   colour    the event's colour 0xAABBGGRR; AA is the opacity 1 to 255, 0 stands for 256
 *             (opaque);
 *   blendMode 0 normal, 1 AND, 2 OR, 3 XOR, 4 multiply, 5 add, 6 subtract;
 *   matrix    3 x 3 row by row, region point -> output pixel centre, on column vectors (x, y, 1)
 *             with the projective division by the third row;
 *   inverse   3 x 3 row by row, output pixel (x, y) -> region point; an output pixel belongs to
 *             the event when that point lies in left <= x < right, top <= y < bottom.
 */
typedef int32_t (*TransformEffectProc)(int32_t id, uint32_t* pixels, int32_t width, int32_t height,
                                       const EffectRect* target, const EffectRect* region,
                                       uint32_t colour, int32_t blendMode, const float* matrix,
                                       const float* inverse);

/* The exports of a module, with the argument lists above. */
KELVANE_EFFECT_EXPORT int32_t EnumEffect(EffectInfo* infos);
KELVANE_EFFECT_EXPORT int32_t QueryEffect(int32_t index, EffectInfo* info);
KELVANE_EFFECT_EXPORT int32_t TransformEffect(int32_t id, uint32_t* pixels, int32_t width,
                                              int32_t height, const EffectRect* target,
                                              const EffectRect* region, uint32_t colour,
                                              int32_t blendMode, const float* matrix,
                                              const float* inverse);

#ifdef __cplusplus
}
#endif

#endif /* KELVANE_EFFECT_H */
