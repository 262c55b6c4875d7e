#pragma once

namespace kelvane {

// True when the processor runs the vector kernel tier (SSE2 on x86).
bool HasVectorTier();

}  // namespace kelvane
