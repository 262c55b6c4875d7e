#include "render/EventGeometry.h"

#include <cmath>
#include <cstring>

#include "render/SamplingMatrix.h"

namespace kelvane {
namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

}  // namespace

void MultiplyMatrices(const float a[9], const float b[9], float out[9]) {
    float r[9];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            float sum = a[i * 3 + 0] * b[0 * 3 + j];
            sum = sum + a[i * 3 + 1] * b[1 * 3 + j];
            sum = sum + a[i * 3 + 2] * b[2 * 3 + j];
            r[i * 3 + j] = sum;
        }
    }
    std::memcpy(out, r, sizeof(r));
}

void InvertMatrix(const float m[9], float out[9]) {
    const double m00 = m[0], m01 = m[1], m02 = m[2];
    const double m10 = m[3], m11 = m[4], m12 = m[5];
    const double m20 = m[6], m21 = m[7], m22 = m[8];
    // Cofactors of the first row; the determinant expands along it.
    const double c00 = m11 * m22 - m12 * m21;
    const double c01 = m12 * m20 - m10 * m22;
    const double c02 = m10 * m21 - m11 * m20;
    const double det = m00 * c00 + m01 * c01 + m02 * c02;
    out[0] = float(c00 / det);
    out[1] = float((m02 * m21 - m01 * m22) / det);
    out[2] = float((m01 * m12 - m02 * m11) / det);
    out[3] = float(c01 / det);
    out[4] = float((m00 * m22 - m02 * m20) / det);
    out[5] = float((m02 * m10 - m00 * m12) / det);
    out[6] = float(c02 / det);
    out[7] = float((m01 * m20 - m00 * m21) / det);
    out[8] = float((m00 * m11 - m01 * m10) / det);
}

void BuildParametricMatrices(TrackEvent& event) {
    const float s = event.scale;
    const double theta = double(event.rotation) * kRadiansPerDegree;
    const float c = float(std::cos(theta));
    const float sn = float(std::sin(theta));
    const float scale[9] = {s, 0, -event.referenceX * s, 0, s, -event.referenceY * s, 0, 0, 1};
    const float rotate[9] = {c, -sn, 0, sn, c, 0, 0, 0, 1};
    const float translate[9] = {1, 0, event.positionX, 0, 1, event.positionY, 0, 0, 1};
    float forward[9];
    MultiplyMatrices(translate, rotate, forward);
    MultiplyMatrices(forward, scale, forward);
    std::memcpy(event.matrix, forward, sizeof(forward));
    InvertMatrix(event.matrix, event.inverse);
}

DrawMethod ResolveDrawMethod(int32_t eventMethod, int32_t projectDefault, int32_t pixelQuality) {
    for (const int32_t method : {eventMethod, projectDefault, pixelQuality}) {
        if (method >= 1 && method <= 4) {
            return DrawMethod(method);
        }
    }
    return DrawMethod::Unresolved;
}

void ComposeWithSamplingMatrix(TrackEvent& event, DrawMethod method) {
    const float* p = SamplingMatrix().data();
    MultiplyMatrices(p, event.matrix, event.matrix);
    switch (method) {
        case DrawMethod::Standard:
        case DrawMethod::Linear:
        case DrawMethod::LinearColourCorrected:
            MultiplyMatrices(event.inverse, p, event.inverse);
            break;
        default:
            MultiplyMatrices(p, event.inverse, event.inverse);
            break;
    }
}

}  // namespace kelvane
