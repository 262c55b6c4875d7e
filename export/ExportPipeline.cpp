#include "export/ExportPipeline.h"

#include <algorithm>
#include <system_error>

namespace kelvane {

ExportPipeline::~ExportPipeline() {
    Close();
}

bool ExportPipeline::ChooseCompressor(CompressorChooser& chooser,
                                      const OutputContainer* container) {
    return !open_ && ChooseOutput(chooser, container, choice_);
}

const FailureNote& ExportPipeline::Failure() const {
    static const FailureNote kNone;
    return writer_ != nullptr ? writer_->Failure() : kNone;
}

bool ExportPipeline::Open(const BitmapInfoHeader& input, const std::string& path, uint32_t rate,
                          uint32_t scale) {
    if (!initialised_ || open_) {
        return false;
    }
    StopThread();
    framesInFile_.store(0, std::memory_order_release);
    failed_ = false;
    busy_ = false;
    nextIndex_ = 0;
    writer_ = MakeFrameWriter(choice_);
    if (writer_ == nullptr) {
        return false;
    }
    writer_->SetInfo(info_);
    writer_->SetSound(sound_);
    if (!writer_->Open(input, path, rate, scale)) {
        return false;
    }
    open_ = true;
    frameBytes_ = size_t(uint32_t(input.width) * 4u * uint32_t(input.height));
    quit_ = false;
    try {
        thread_ = std::thread([this] { WriterLoop(); });
        threaded_ = true;
    } catch (const std::system_error&) {
        threaded_ = false;  // the frames are written as they come
    }
    return true;
}

bool ExportPipeline::WriteNow(const Pending& frame) {
    const int64_t begin = timeline_ != nullptr ? ExportTimeline::Now() : 0;
    // The encoders keep their own reference frames: the previous frame is not read.
    const bool ok = writer_->WriteFrame(frame.pixels, frame.size, frame.index, frame.sound);
    if (timeline_ != nullptr) {
        const int64_t end = ExportTimeline::Now();
        const int64_t encoded = std::clamp(writer_->LastEncodeEndNs(), begin, end);
        timeline_->Add(frame.index, ExportStage::Encode, begin, encoded);
        timeline_->Add(frame.index, ExportStage::Write, encoded, end);
    }
    if (ok) {
        framesInFile_.fetch_add(1, std::memory_order_acq_rel);
    }
    return ok;
}

void ExportPipeline::WriterLoop() {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || busy_; });
        if (busy_) {
            const Pending frame = pending_;
            lock.unlock();
            const bool ok = WriteNow(frame);
            lock.lock();
            failed_ = failed_ || !ok;
            busy_ = false;
            changed_.notify_all();
            continue;
        }
        return;  // quit with nothing left to write
    }
}

bool ExportPipeline::WriteFrame(const void* pixels, size_t size, const void* previous,
                                uint32_t index, FrameSound sound) {
    // The writer's own checks, made here so that a refused frame is refused by this call.
    if (!open_ || pixels == nullptr || size != frameBytes_ || index < nextIndex_ ||
        index > uint32_t(INT32_MAX)) {
        return false;
    }
    const Pending frame{pixels, size, previous, index, sound};
    if (!threaded_) {
        if (failed_ || !WriteNow(frame)) {
            failed_ = true;
            return false;
        }
        nextIndex_ = index + 1;
        return true;
    }
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failed_) {
        return false;
    }
    pending_ = frame;
    busy_ = true;
    nextIndex_ = index + 1;
    changed_.notify_all();
    return true;
}

bool ExportPipeline::Flush() {
    if (!threaded_) {
        return !failed_;
    }
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [this] { return !busy_; });
    return !failed_;
}

void ExportPipeline::StopThread() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();  // the loop writes a frame still handed over before it ends
    threaded_ = false;
}

void ExportPipeline::Close() {
    StopThread();
    if (writer_ != nullptr) {
        writer_->Close();
        // A file cut short after a failed write keeps fewer frames than reached it.
        if (const int64_t kept = writer_->FramesKept(); kept >= 0) {
            framesInFile_.store(std::min(FramesInFile(), uint32_t(kept)),
                                std::memory_order_release);
        }
    }
    open_ = false;
    if (initialised_) {
        choice_ = OutputChoice{};
        info_.clear();
        sound_ = nullptr;
        initialised_ = false;
    }
}

}  // namespace kelvane
