#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "export/audio/FrameSound.h"
#include "platform/FailureNote.h"
#include "render/PixelImage.h"

namespace kelvane {

struct SoundCodec;

// A file that an export writes: the composed frames go in one after another, each with its
// sound, and whatever way the export ends, Close leaves a file that decoders read to its last
// complete frame. Our own AVI writer and the libavformat writer of the other containers are the
// two kinds; the export pipeline, the part record, cancel and the repair after a failed write
// (a full disk) reach either through this interface alone.
class FrameWriter {
  public:
    virtual ~FrameWriter() = default;

    // Text entries of the file, each an AVI INFO id and its text ("ICMT" is the comment, which
    // carries the part record), written with the headers by the next Open.
    virtual void SetInfo(std::vector<std::pair<std::string, std::string>> entries) = 0;
    // With a codec, the next Open gives the file a sound stream, fed with each frame's sound.
    virtual void SetSound(const SoundCodec* codec) = 0;

    // Creates (or overwrites) the file at the native path and writes its headers. The frames are
    // 32-bit bottom-up bitmaps described by `input`, at rate / scale frames per second (scale 0
    // counts as 1). Nothing is left behind when the encoder refuses the format.
    virtual bool Open(const BitmapInfoHeader& input, const std::string& path, uint32_t rate,
                      uint32_t scale) = 0;
    // Writes frame `index` (ascending from 0) with its sound; `size` must be the input's image
    // size.
    virtual bool WriteFrame(const void* pixels, size_t size, uint32_t index, FrameSound sound) = 0;
    // Finishes the file with every frame written. After a failed write the file is cut back to
    // what reached it whole and finished there. Safe at any time and more than once.
    virtual void Close() = 0;

    // Why the last Open, write or ending failed: the file and the system's reason, with the
    // frames that the file keeps after a cut. Kept after Close until the next Open.
    virtual const FailureNote& Failure() const = 0;
    // After Close cut a file short, the frames it holds (0: the file is gone); -1 otherwise.
    virtual int64_t FramesKept() const = 0;
    // When the last frame had been encoded (steady clock, nanoseconds); for the export's
    // timeline.
    virtual int64_t LastEncodeEndNs() const = 0;
};

// Whether `input` describes frames that a writer takes: whole 32-bit uncompressed bitmaps whose
// stated size, when given, is their real one.
bool ValidFrameInput(const BitmapInfoHeader& input);

}  // namespace kelvane
