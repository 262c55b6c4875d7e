/*
 * Kelvane effect plug-in interface.
 *
 * An effect module is a shared library that exports three C functions, EnumEffect, QueryEffect
 * and TransformEffect, and optionally two more for effect parameters (see below). Kelvane loads
 * the module named by an effect entry ("\effect.so>Name"), selects one of its effects and calls
 * TransformEffect for every frame in which an event of that entry is current. The effect draws
 * straight into the frame being composed; everything it does with the frame is the module's
 * business.
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

/*
 * Parameters (optional). A module may describe parameters for its effects and draw with their
 * values; a module without the two exports below is drawn through TransformEffect as ever, and a
 * host that does not know them never calls them.
 */

/* Parameter types. */
#define KELVANE_PARAM_NUMBER 0u   /* numbers[0], between minimum and maximum */
#define KELVANE_PARAM_ON_OFF 1u   /* numbers[0]: 0 off, 1 on */
#define KELVANE_PARAM_COLOUR 2u   /* numbers[0..2]: red, green, blue, each 0 to 1 */
#define KELVANE_PARAM_POSITION 3u /* numbers[0..1]: x, y; 0 to 1 across the region */
#define KELVANE_PARAM_TEXT 4u     /* text (UTF-8) */

/* The description of one parameter: 1232 bytes. */
typedef struct EffectParamInfo {
    uint32_t type;     /* KELVANE_PARAM_* */
    uint32_t decimals; /* numbers: digits after the point shown to the user */
    double minimum;    /* numbers: the range offered to the user */
    double maximum;
    double defaults[3];             /* as EffectValue.numbers */
    uint8_t reserved[32];           /* not read by the program; fill with zero */
    KelvaneChar16 name[64];         /* shown beside the control */
    KelvaneChar16 explanation[256]; /* the control's tool tip */
    KelvaneChar16 defaultText[256]; /* texts: the default */
} EffectParamInfo;

/* One parameter's value as the program passes it: 40 bytes. */
typedef struct EffectValue {
    uint32_t type;     /* the described type */
    uint32_t reserved; /* zero */
    double numbers[3]; /* numbers, on/off, colours and positions */
    union {
        const char* text; /* texts: UTF-8, NUL-terminated; null otherwise */
        uint64_t textSpace;
    };
} EffectValue;

/* What TransformEffectWithParams receives beside TransformEffect's arguments. */
typedef struct EffectParamBlock {
    uint32_t size;  /* sizeof(EffectParamBlock) of the program; fields beyond it are absent */
    uint32_t count; /* values: exactly the parameters that DescribeEffectParams gave, in order */
    union {
        const EffectValue* values;
        uint64_t valuesSpace;
    };
    double time;       /* the output frame's time in seconds */
    uint64_t instance; /* stands for the effect entry: effects that keep state between frames keep
                          one state per value; never 0 */
} EffectParamBlock;

KELVANE_EFFECT_STATIC_ASSERT(sizeof(EffectParamInfo) == 1232, "EffectParamInfo must be 1232 bytes");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectParamInfo, minimum) == 8,
                             "EffectParamInfo.minimum at 8");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectParamInfo, defaults) == 24,
                             "EffectParamInfo.defaults at 24");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectParamInfo, name) == 80, "EffectParamInfo.name at 80");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectParamInfo, explanation) == 208,
                             "EffectParamInfo.explanation at 208");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectParamInfo, defaultText) == 720,
                             "EffectParamInfo.defaultText at 720");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectValue, numbers) == 8, "EffectValue.numbers at 8");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectValue, text) == 32, "EffectValue.text at 32");
KELVANE_EFFECT_STATIC_ASSERT(sizeof(EffectValue) == 40, "EffectValue must be 40 bytes");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectParamBlock, values) == 8,
                             "EffectParamBlock.values at 8");
KELVANE_EFFECT_STATIC_ASSERT(offsetof(EffectParamBlock, time) == 16, "EffectParamBlock.time at 16");
KELVANE_EFFECT_STATIC_ASSERT(sizeof(EffectParamBlock) == 32, "EffectParamBlock must be 32 bytes");

/*
 * DescribeEffectParams(id, null) returns the number of parameters n of the effect with this id
 * (as TransformEffect receives it); DescribeEffectParams(id, array of n records) fills them in
 * order and returns n again. A negative result: no such effect.
 */
typedef int32_t (*DescribeEffectParamsProc)(int32_t id, EffectParamInfo* infos);

/*
 * TransformEffect with the event's parameter values. The program calls it instead of
 * TransformEffect when the module exports both this and DescribeEffectParams.
 */
typedef int32_t (*TransformEffectWithParamsProc)(int32_t id, uint32_t* pixels, int32_t width,
                                                 int32_t height, const EffectRect* target,
                                                 const EffectRect* region, uint32_t colour,
                                                 int32_t blendMode, const float* matrix,
                                                 const float* inverse,
                                                 const EffectParamBlock* params);

/* The exports of a module, with the argument lists above. */
KELVANE_EFFECT_EXPORT int32_t EnumEffect(EffectInfo* infos);
KELVANE_EFFECT_EXPORT int32_t QueryEffect(int32_t index, EffectInfo* info);
KELVANE_EFFECT_EXPORT int32_t TransformEffect(int32_t id, uint32_t* pixels, int32_t width,
                                              int32_t height, const EffectRect* target,
                                              const EffectRect* region, uint32_t colour,
                                              int32_t blendMode, const float* matrix,
                                              const float* inverse);

/* Optional. */
KELVANE_EFFECT_EXPORT int32_t DescribeEffectParams(int32_t id, EffectParamInfo* infos);
KELVANE_EFFECT_EXPORT int32_t TransformEffectWithParams(int32_t id, uint32_t* pixels, int32_t width,
                                                        int32_t height, const EffectRect* target,
                                                        const EffectRect* region, uint32_t colour,
                                                        int32_t blendMode, const float* matrix,
                                                        const float* inverse,
                                                        const EffectParamBlock* params);

#ifdef __cplusplus
}
#endif

#endif /* KELVANE_EFFECT_H */
