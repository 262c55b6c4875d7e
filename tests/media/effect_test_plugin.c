/* Effect modules for the loader tests, one per EFFECT_TEST_VARIANT_* definition. Written in C so
 * that the plug-in header is compiled as C as well. */
/* First, to show that the header stands on its own. */
#include "kelvane/kelvane_effect.h"
/* The rest. */
#include <string.h>

static int32_t last_id = -1;

/* The id that the last TransformEffect call received; -1 before the first. */
KELVANE_EFFECT_EXPORT int32_t TestLastEffectId(void) {
    return last_id;
}

static void set_text(KelvaneChar16* field, size_t capacity, const char* ascii) {
    size_t n = 0;
    memset(field, 0, capacity * sizeof(KelvaneChar16));
    while (ascii[n] != 0 && n + 1 < capacity) {
        field[n] = (KelvaneChar16)ascii[n];
        ++n;
    }
}

typedef struct Record {
    int32_t id;
    uint32_t version;
    const char* name;
} Record;

#if defined(EFFECT_TEST_VARIANT_good) || defined(EFFECT_TEST_VARIANT_incomplete) || \
    defined(EFFECT_TEST_VARIANT_fickle)
static const Record records[] = {{100, 0x10000, "Alpha"}, {200, 0x20000, ""}, {300, 0, "beta"}};
#elif defined(EFFECT_TEST_VARIANT_newer)
static const Record records[] = {{7, 0x20001, "Newer"}, {8, 0x20000, "Current"}};
#elif defined(EFFECT_TEST_VARIANT_empty)
static const Record records[] = {{0, 0, "unused"}};
#else
#error "no EFFECT_TEST_VARIANT_* defined"
#endif

static int32_t count(void) {
#if defined(EFFECT_TEST_VARIANT_empty)
    return 0;
#else
    return (int32_t)(sizeof(records) / sizeof(records[0]));
#endif
}

static void fill(int32_t index, EffectInfo* info) {
    memset(info, 0, sizeof(*info));
    info->id = records[index].id;
    info->version = records[index].version;
    set_text(info->name, 64, records[index].name);
    set_text(info->text, 64, "second line");
    set_text(info->description, 256, "description");
}

KELVANE_EFFECT_EXPORT int32_t EnumEffect(EffectInfo* infos) {
    int32_t n = count();
    if (infos) {
        for (int32_t i = 0; i < n; ++i)
            fill(i, &infos[i]);
#if defined(EFFECT_TEST_VARIANT_fickle)
        return n - 1; /* the count changes between the two calls */
#endif
    }
    return n;
}

KELVANE_EFFECT_EXPORT int32_t QueryEffect(int32_t index, EffectInfo* info) {
    if (index < 0 || index >= count())
        return 0;
    fill(index, info);
    return 1;
}

#if !defined(EFFECT_TEST_VARIANT_incomplete)
KELVANE_EFFECT_EXPORT int32_t TransformEffect(int32_t id, uint32_t* pixels, int32_t width,
                                              int32_t height, const EffectRect* target,
                                              const EffectRect* region, uint32_t colour,
                                              int32_t blendMode, const float* matrix,
                                              const float* inverse) {
    (void)pixels;
    (void)width;
    (void)height;
    (void)target;
    (void)region;
    (void)colour;
    (void)blendMode;
    (void)matrix;
    (void)inverse;
    last_id = id;
    return 1;
}
#endif
