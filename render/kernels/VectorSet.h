#pragma once

namespace kelvane::kernels {

// The instruction set inside the vector tier (InstructionLevel 1). Both give the pixels of the
// plain tier; the wider one is chosen at start-up where the processor and the operating system
// support it.
enum class VectorSet { Sse2, Avx2 };

// The widest set this processor runs.
VectorSet BestVectorSet();
// The set the vector tier uses now.
VectorSet ActiveVectorSet();
// Makes the vector tier use `set`, for tests and benchmarks that compare the sets. False, and
// nothing changes, when the processor lacks it. Not to be called while anything is drawn.
bool SelectVectorSet(VectorSet set);

const char* VectorSetName(VectorSet set);

}  // namespace kelvane::kernels
