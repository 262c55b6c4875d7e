#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "export/ExportTimeline.h"
#include "export/FrameWriter.h"
#include "export/OutputChoice.h"

namespace kelvane {

class CompressorChooser;

// The export's file writer behind a thread of its own, so that the next frame is composed while
// the one before is converted, encoded and written. The compressor chosen decides the writer:
// our AVI writer or the libavformat writer of another container, both reached as a FrameWriter.
// The calls and their order are those of AviWriter;
// WriteFrame hands the frame over and returns at once, having first waited for the frame handed
// in before to reach the file. So at most one frame is in flight, and the pixels of frame n are
// free again as soon as the WriteFrame of frame n + 1 returns: two images that alternate are
// enough. Frames reach the file in the order they were handed in; Close writes every frame that
// was handed in before it finishes the file.
class ExportPipeline {
  public:
    ExportPipeline() = default;
    ~ExportPipeline();
    ExportPipeline(const ExportPipeline&) = delete;
    ExportPipeline& operator=(const ExportPipeline&) = delete;

    // Asks the chooser for one of the container's compressors (AVI's when null), as
    // AviWriter::ChooseCompressor does; not while a stream is open.
    bool ChooseCompressor(CompressorChooser& chooser, const OutputContainer* container = nullptr);
    // Marks the pipeline ready for Open; Close undoes it, and with it the compressor choice, the
    // text entries and the sound. A Close before it does nothing, so a compressor chosen before
    // the export setup survives until the export ends.
    void Initialise() { initialised_ = true; }
    // The file's text entries (the part record) and its sound codec, for the next Open.
    void SetInfo(std::vector<std::pair<std::string, std::string>> entries) {
        info_ = std::move(entries);
    }
    void SetSound(const SoundCodec* codec) { sound_ = codec; }
    // Makes the writer of the chosen kind, opens the file and starts the thread that writes.
    // Without a thread the frames are written as they are handed in, as the plain writer does.
    bool Open(const BitmapInfoHeader& input, const std::string& path, uint32_t rate,
              uint32_t scale);

    // Waits for the frame handed in before, then hands this one over. The pixels must stay as
    // they are until the next WriteFrame, Flush or Close returns, and so must the frame's sound.
    // False when a frame handed in before could not be written (then nothing more is written) or
    // the frame is refused as AviWriter refuses it; `previous` is passed on as it is.
    bool WriteFrame(const void* pixels, size_t size, const void* previous, uint32_t index,
                    FrameSound sound = {});

    // Waits until every frame handed in has been written. False when one could not be.
    bool Flush();

    // Writes what was handed in, ends the thread and finishes the file; safe at any time.
    void Close();

    bool Initialised() const { return initialised_; }
    bool StreamOpen() const { return open_; }
    // The chosen compressor; nullptr for uncompressed AVI.
    const CompressorInfo* Compressor() const { return choice_.compressor; }
    // Why the file could not be opened, a frame or the file's ending could not be written; see
    // FrameWriter::Failure. Read it after Flush or Close.
    const FailureNote& Failure() const;
    // Frames that have reached the file since Open; kept after Close until the next Open.
    uint32_t FramesInFile() const { return framesInFile_.load(std::memory_order_acquire); }

    // Records the span of every frame's write into `timeline` (may be null; not owned). Set it
    // before Open.
    void SetTimeline(ExportTimeline* timeline) { timeline_ = timeline; }

  private:
    struct Pending {
        const void* pixels = nullptr;
        size_t size = 0;
        const void* previous = nullptr;
        uint32_t index = 0;
        FrameSound sound;
    };

    void WriterLoop();
    bool WriteNow(const Pending& frame);
    void StopThread();

    OutputChoice choice_;
    std::vector<std::pair<std::string, std::string>> info_;
    const SoundCodec* sound_ = nullptr;
    bool initialised_ = false;
    bool open_ = false;
    // Made by Open, kept after Close for its failure until the next Open.
    std::unique_ptr<FrameWriter> writer_;
    ExportTimeline* timeline_ = nullptr;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable changed_;
    Pending pending_;
    bool busy_ = false;    // a frame is handed over and not yet written
    bool failed_ = false;  // a frame could not be written; nothing more is
    bool quit_ = false;
    bool threaded_ = false;
    size_t frameBytes_ = 0;
    uint32_t nextIndex_ = 0;
    std::atomic<uint32_t> framesInFile_{0};
};

}  // namespace kelvane
