#pragma once

#include <memory>

#include "model/Project.h"

namespace kelvane {

// A project of its own for a renderer on another thread: the live project's descriptors, settings
// and events, with every medium opened afresh (its own movie readers, pictures, texts, effects
// and nested projects), so that nothing it draws from is shared with the live project. The live
// project's folder stays the copy's, so relative paths find the same files. A medium that cannot
// be opened again is left out without a question. Null when the copy cannot be made (memory).
// Call on the thread that owns the live project.
std::unique_ptr<Project> MakeRenderCopy(const Project& live);

}  // namespace kelvane
