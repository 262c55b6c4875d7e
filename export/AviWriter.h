#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/Compressor.h"
#include "export/FrameWriter.h"
#include "export/audio/FrameSound.h"
#include "platform/FailureNote.h"
#include "render/PixelImage.h"

struct AVPacket;

namespace kelvane {

class CompressorChooser;
class SoundEncoder;
struct SoundCodec;
struct AviMuxerSetup;

// Writes the composed output frames into an AVI file with one video stream, either as raw
// 32-bit bottom-up bitmaps (fourth byte 0xFF, opaque to readers that take it as alpha; the frames
// handed in are not changed) or through one of the offered compressors. The calls come strictly in
// order: ChooseCompressor, Initialise, Open, WriteFrame for frames 0, 1, 2, ..., Close. Files of
// any size stay valid: past the first gigabyte the container continues in OpenDML form. As a
// FrameWriter it stands beside the writer of the other containers.
class AviWriter final : public FrameWriter {
  public:
    AviWriter();
    ~AviWriter() override;
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Asks the chooser for a compressor. Fails while a stream is open, when the user cancels and
    // when the answer names no offered compressor; a previous choice is dropped in any case.
    bool ChooseCompressor(CompressorChooser& chooser);
    // Takes a compressor chosen before (nullptr: uncompressed) with its quality, as
    // ChooseCompressor would; not while a stream is open.
    void UseCompressor(const CompressorInfo* compressor, int quality);

    // Marks the writer ready for Open; the export setup calls it right after its own Close.
    // Close undoes it, and with it the compressor choice.
    void Initialise() { initialised_ = true; }

    // Creates (or overwrites) the file at the native path and writes the stream headers. The
    // input frames are described by `input` (32 bits per pixel, uncompressed, rows bottom-up);
    // the stream runs at rate / scale frames per second (scale 0 counts as 1).
    bool Open(const BitmapInfoHeader& input, const std::string& path, uint32_t rate,
              uint32_t scale) override;

    // Text entries for the file's INFO list, each a four-character id ("ICMT", "INAM", ...) and
    // its text, written with the headers by the next Open. Close forgets them.
    void SetInfo(std::vector<std::pair<std::string, std::string>> entries) override {
        info_ = std::move(entries);
    }

    // With a codec, the next Open gives the file a sound stream, fed by each frame's sound: in
    // AVI one chunk of sound after each frame, in the index like the frames. Close forgets it.
    void SetSound(const SoundCodec* codec) override { soundCodec_ = codec; }
    bool HasSound() const { return soundCodec_ != nullptr; }

    // Writes frame `index`; indices ascend from 0. `size` is the byte size of the pixels and must
    // be the input format's image size. `previous` holds the frame before (the encoders keep
    // their own reference frames, so it is not read).
    bool WriteFrame(const void* pixels, size_t size, const void* previous, uint32_t index,
                    FrameSound sound = {});
    bool WriteFrame(const void* pixels, size_t size, uint32_t index, FrameSound sound) override {
        return WriteFrame(pixels, size, nullptr, index, sound);
    }

    // Finishes the file so that it holds every frame written so far, and releases everything,
    // the compressor choice included. Safe at any time and more than once; before Initialise it
    // does nothing, so a compressor chosen before the export setup survives until the export ends.
    // After a failed write (a full disk) the frame that failed is cut off and the file finished
    // after the last complete one, with its index and sizes right; when the ending needs room that
    // the disk no longer has, frames are given up from the end until it fits.
    void Close() override;

    // Why the last Open or write failed, or the finishing of the file (a full disk): the file
    // and the system's reason. Empty reason when nothing failed; kept after Close until the next
    // Open.
    const FailureNote& Failure() const override { return failure_; }
    bool WriteFailed() const { return !failure_.reason.empty(); }
    // After Close cut a file short (a failed write), the frames it holds, as the failure's
    // reason says too; -1 otherwise. Kept until the next Open.
    int64_t FramesKept() const override { return framesKept_; }

    bool Initialised() const { return initialised_; }
    bool StreamOpen() const { return streamOpen_; }
    // The chosen compressor; nullptr for uncompressed output.
    const CompressorInfo* Compressor() const { return compressor_; }
    // When the last WriteFrame had its frame converted and encoded and began writing it (steady
    // clock, nanoseconds); for the export's timeline.
    int64_t LastEncodeEndNs() const override { return lastEncodeEndNs_; }

  private:
    struct Output;

    void Release();
    bool OpenEncoder(uint32_t rate, uint32_t scale);
    bool WriteEncoded(const uint8_t* pixels, uint32_t index);
    bool WritePendingPackets();
    bool Flushed();
    bool WritePacket(AVPacket* pkt);
    AviMuxerSetup MuxerSetup() const;
    void RecordFailure(int errorNumber);
    void FinishCutFile();
    void NoteFramesKept(int64_t frames);

    bool initialised_ = false;
    bool streamOpen_ = false;
    const CompressorInfo* compressor_ = nullptr;
    int quality_ = -1;  // 0 to 100 for the lossy encoders; -1 = their usual setting
    BitmapInfoHeader input_{};
    uint32_t nextIndex_ = 0;
    std::vector<std::pair<std::string, std::string>> info_;
    int64_t lastEncodeEndNs_ = 0;
    FailureNote failure_;
    int64_t framesKept_ = -1;
    std::unique_ptr<Output> out_;
    const SoundCodec* soundCodec_ = nullptr;
};

}  // namespace kelvane
