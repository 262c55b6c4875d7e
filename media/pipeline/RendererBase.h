#pragma once

#include <atomic>
#include <mutex>

#include "media/pipeline/MediaSample.h"
#include "media/pipeline/MediaType.h"

namespace kelvane {

// The end of a decoding pipeline: one input that accepts a media type and receives samples on the
// pipeline's streaming thread. Derived sinks decide what to accept and what to do with a sample.
class RendererBase {
  public:
    virtual ~RendererBase() = default;

    virtual MediaCheck CheckMediaType(const MediaType& type) = 0;
    // Called once the connection's type is agreed; false refuses the connection after all.
    virtual bool SetMediaType(const MediaType& type) = 0;
    // The per-sample work, on the streaming thread. May block; must return once ThreadReleased()
    // becomes true.
    virtual void RenderSample(const SamplePtr& sample) = 0;
    // The pipeline says whether its streaming thread may block in the sink: false while it flushes
    // for a seek and while it stops, true when streaming resumes. Overrides call the base so that
    // ThreadReleased() follows.
    virtual void NotifyMayWait(bool mayWait);
    // False while the sink drops every sample it is given (its reader is about to seek): the
    // pipeline then decodes no further until it takes samples again or positions are set.
    virtual bool Accepting() const { return true; }

    // True while the pipeline delivers samples (running, not flushing).
    bool IsStreaming() const { return streaming_.load(); }
    // True while a blocked streaming thread has to leave the sink (the thread-release signal).
    bool ThreadReleased() const { return released_.load(); }

  protected:
    // The filter's own lock, taken by the streaming side before any lock of the derived sink.
    std::mutex& FilterLock() { return filterLock_; }

  private:
    friend class MediaGraph;
    // Entry point for the pipeline's streaming thread.
    void Receive(const SamplePtr& sample);
    void SetStreaming(bool on) { streaming_.store(on); }

    std::mutex filterLock_;
    std::atomic<bool> streaming_{false};
    std::atomic<bool> released_{false};
};

}  // namespace kelvane
