#include "media/pipeline/RendererBase.h"

namespace kelvane {

void RendererBase::NotifyMayWait(bool mayWait) {
    released_.store(!mayWait);
}

void RendererBase::Receive(const SamplePtr& sample) {
    // A sample that arrives while the pipeline flushes belongs to the old position.
    if (!streaming_.load() || released_.load())
        return;
    RenderSample(sample);
}

}  // namespace kelvane
