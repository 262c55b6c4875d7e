/* frei0r plug-ins that misbehave, one per FREI0R_TEST_VARIANT_* definition, and one that takes
 * the name of an installed plug-in. */
#include <stdlib.h>
#include <string.h>

#include "frei0r.h"

#define EXPORT __attribute__((visibility("default")))

#if !defined(FREI0R_TEST_VARIANT_noinit)
EXPORT int f0r_init(void) {
#if defined(FREI0R_TEST_VARIANT_crash)
    volatile int* nowhere = NULL;
    return *nowhere;
#else
    return 1;
#endif
}
#endif

EXPORT void f0r_deinit(void) {}

EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    memset(info, 0, sizeof(*info));
#if defined(FREI0R_TEST_VARIANT_twin)
    info->name = "Glow";
#else
    info->name = "Broken";
#endif
    info->author = "Kelvane tests";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->explanation = "Copies its input";
}

EXPORT void f0r_get_param_info(f0r_param_info_t* info, int index) {
    (void)info;
    (void)index;
}

typedef struct Instance {
    unsigned width, height;
} Instance;

EXPORT f0r_instance_t f0r_construct(unsigned width, unsigned height) {
    Instance* instance = malloc(sizeof(Instance));
    instance->width = width;
    instance->height = height;
    return instance;
}

EXPORT void f0r_destruct(f0r_instance_t instance) {
    free(instance);
}

EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    (void)instance;
    (void)param;
    (void)index;
}

EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    (void)instance;
    (void)param;
    (void)index;
}

EXPORT void f0r_update(f0r_instance_t instance, double time, const uint32_t* in, uint32_t* out) {
    const Instance* self = instance;
    (void)time;
    memcpy(out, in, (size_t)self->width * self->height * 4);
}
