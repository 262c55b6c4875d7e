#pragma once

// Owning handles for the FFmpeg objects of the movie reader and the AVI writer. Each FFmpeg type
// is wrapped once here, so that every early return releases what was built so far.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace kelvane::av {

struct CodecContextDeleter {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameDeleter {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsDeleter {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};
// An output context together with the file it writes; closing the file is part of the release,
// unless the caller handed in an I/O context of its own (AVFMT_FLAG_CUSTOM_IO) and closes it.
struct OutputContextDeleter {
    void operator()(AVFormatContext* p) const {
        if (p->pb && !(p->oformat->flags & AVFMT_NOFILE) && !(p->flags & AVFMT_FLAG_CUSTOM_IO)) {
            avio_closep(&p->pb);
        }
        avformat_free_context(p);
    }
};
// A demuxing context, for reading files back.
struct InputContextDeleter {
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;

// Options handed to an open call; whatever the call did not consume is freed with the holder.
class Dictionary {
  public:
    Dictionary() = default;
    ~Dictionary() { av_dict_free(&dict_); }
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;

    void Set(const char* key, const char* value) { av_dict_set(&dict_, key, value, 0); }
    AVDictionary** Address() { return &dict_; }

  private:
    AVDictionary* dict_ = nullptr;
};

}  // namespace kelvane::av
