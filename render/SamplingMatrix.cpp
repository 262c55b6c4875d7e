#include "render/SamplingMatrix.h"

namespace kelvane {
namespace {

constexpr std::array<float, 9> kPixelCentre = {
    1.0f, 0.0f, kSamplingOffsetX,  //
    0.0f, 1.0f, kSamplingOffsetY,  //
    0.0f, 0.0f, 1.0f,
};

std::array<float, 9> g_samplingMatrix = kPixelCentre;

}  // namespace

void InitSamplingMatrix() {
    g_samplingMatrix = kPixelCentre;
}

const std::array<float, 9>& SamplingMatrix() {
    return g_samplingMatrix;
}

}  // namespace kelvane
