#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

// Where a fragmented MP4 or QuickTime file, or a Matroska or WebM file, can be cut and still be
// read to its end without a complaint: after its header, and after each fragment or cluster that
// reached the file whole. The header as it was first written is kept too, because finishing the
// file goes back to fill in sizes and durations there; a file cut back gets that header again,
// with the sizes still open, and reads as one whose writer stopped after its last cluster.
class ContainerCutPoint {
  public:
    // Reads back the header, the file's first `headerEnd` bytes, as the muxer wrote them.
    // False (with the errno value in `error`) when they cannot be read.
    bool Start(const std::string& path, uint64_t headerEnd, int& error);
    // The file holds `frames` frames up to `end` and every fragment there is complete.
    void Mark(uint64_t end, int64_t frames) {
        end_ = end;
        frames_ = frames;
    }
    int64_t Frames() const { return frames_; }
    uint64_t End() const { return end_; }

    // Cuts the file back to the last mark and writes the header as it was first written. Neither
    // needs room on the disk. Returns the frames the file holds, or -1 with the errno value in
    // `error`.
    int64_t CutBack(const std::string& path, int& error) const;

  private:
    std::vector<uint8_t> header_;
    uint64_t end_ = 0;
    int64_t frames_ = 0;
};

}  // namespace kelvane
