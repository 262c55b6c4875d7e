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
    defined(EFFECT_TEST_VARIANT_fickle) || defined(EFFECT_TEST_VARIANT_params)
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

#if defined(EFFECT_TEST_VARIANT_params)
/* "Alpha" (id 100) takes one parameter of every type; the others take none. What the last
 * TransformEffectWithParams call received is kept for the tests to read. */
static EffectValue last_values[8];
static char last_text[256];
static uint32_t last_count = 0;
static double last_time = -1;
static uint64_t last_instance = 0;

KELVANE_EFFECT_EXPORT int32_t DescribeEffectParams(int32_t id, EffectParamInfo* infos) {
    if (id == 200 || id == 300)
        return 0;
    if (id != 100)
        return -1;
    if (infos) {
        memset(infos, 0, 5 * sizeof(*infos));
        infos[0].type = KELVANE_PARAM_NUMBER;
        infos[0].decimals = 1;
        infos[0].minimum = 0;
        infos[0].maximum = 10;
        infos[0].defaults[0] = 2;
        set_text(infos[0].name, 64, "Amount");
        set_text(infos[0].explanation, 256, "how much");
        infos[1].type = KELVANE_PARAM_ON_OFF;
        infos[1].defaults[0] = 1;
        set_text(infos[1].name, 64, "Enabled");
        infos[2].type = KELVANE_PARAM_COLOUR;
        infos[2].defaults[0] = 0.25;
        infos[2].defaults[1] = 0.5;
        infos[2].defaults[2] = 0.75;
        set_text(infos[2].name, 64, "Tone");
        infos[3].type = KELVANE_PARAM_POSITION;
        infos[3].defaults[0] = 0.1;
        infos[3].defaults[1] = 0.9;
        set_text(infos[3].name, 64, "Centre");
        infos[4].type = KELVANE_PARAM_TEXT;
        set_text(infos[4].name, 64, "Caption");
        set_text(infos[4].defaultText, 256, "abc");
    }
    return 5;
}

KELVANE_EFFECT_EXPORT int32_t TransformEffectWithParams(int32_t id, uint32_t* pixels, int32_t width,
                                                        int32_t height, const EffectRect* target,
                                                        const EffectRect* region, uint32_t colour,
                                                        int32_t blendMode, const float* matrix,
                                                        const float* inverse,
                                                        const EffectParamBlock* params) {
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
    last_count = params->count;
    last_time = params->time;
    last_instance = params->instance;
    last_text[0] = 0;
    for (uint32_t i = 0; i < params->count && i < 8; ++i) {
        last_values[i] = params->values[i];
        if (params->values[i].type == KELVANE_PARAM_TEXT && params->values[i].text) {
            strncpy(last_text, params->values[i].text, sizeof(last_text) - 1);
            last_values[i].text = last_text;
        }
    }
    return 1;
}

/* The last call's parameter block: its count, value i's number k, the text, time and instance. */
KELVANE_EFFECT_EXPORT int32_t TestParamCount(void) {
    return (int32_t)last_count;
}
KELVANE_EFFECT_EXPORT double TestParamNumber(int32_t index, int32_t k) {
    return last_values[index].numbers[k];
}
KELVANE_EFFECT_EXPORT uint32_t TestParamType(int32_t index) {
    return last_values[index].type;
}
KELVANE_EFFECT_EXPORT const char* TestParamText(void) {
    return last_text;
}
KELVANE_EFFECT_EXPORT double TestParamTime(void) {
    return last_time;
}
KELVANE_EFFECT_EXPORT uint64_t TestParamInstance(void) {
    return last_instance;
}
#endif
