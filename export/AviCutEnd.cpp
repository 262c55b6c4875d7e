#include "export/AviCutEnd.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/mem.h>
}

namespace kelvane {

namespace {

// What the muxer writes while it finishes the file, kept in memory until it is placed.
struct Placement {
    uint64_t offset;
    std::vector<uint8_t> bytes;
};

// The replaying muxer's output: everything up to the cut is already in the file, byte for byte,
// and is only counted; once `recording` is set, the writes are kept with their offsets.
struct ReplayOutput {
    int64_t position = 0;
    int64_t size = 0;
    bool recording = false;
    std::vector<Placement> placements;
};

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int ReplayWrite(void* opaque, const uint8_t* data, int size) {
#else
int ReplayWrite(void* opaque, uint8_t* data, int size) {
#endif
    auto* out = static_cast<ReplayOutput*>(opaque);
    if (out->recording) {
        out->placements.push_back(
            {uint64_t(out->position), std::vector<uint8_t>(data, data + size)});
    }
    out->position += size;
    out->size = std::max(out->size, out->position);
    return size;
}

int64_t ReplaySeek(void* opaque, int64_t offset, int whence) {
    auto* out = static_cast<ReplayOutput*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        return out->size;
    }
    const int64_t base = whence == SEEK_CUR ? out->position : whence == SEEK_END ? out->size : 0;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) {
        return AVERROR(EINVAL);
    }
    out->position = base + offset;
    return out->position;
}

// Runs the muxer over the first `count` packets and records the ending it writes after them.
// False when the muxer does not retrace the file as it was written.
bool ReplayEnding(const AviMuxerSetup& setup, uint64_t headerEnd,
                  const std::vector<AviPacketRecord>& packets, size_t count,
                  std::vector<Placement>& ending) {
    av::OutputContextPtr format = NewAviMuxer(setup, "cut.avi");
    if (!format) {
        return false;
    }
    constexpr int kBufferBytes = 1 << 16;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferBytes));
    ReplayOutput out;
    AVIOContext* pb = buffer != nullptr ? avio_alloc_context(buffer, kBufferBytes, 1, &out, nullptr,
                                                             ReplayWrite, ReplaySeek)
                                        : nullptr;
    if (pb == nullptr) {
        av_free(buffer);
        return false;
    }
    format->pb = pb;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The context is ours, not a file the muxer opened: it is freed here, not by the deleter.
    struct IoRelease {
        AVFormatContext* format;
        ~IoRelease() {
            av_freep(&format->pb->buffer);
            avio_context_free(&format->pb);
        }
    } release{format.get()};

    av::Dictionary options;
    SetAviHeaderOptions(options);
    if (avformat_write_header(format.get(), options.Address()) < 0) {
        return false;
    }
    avio_flush(pb);
    if (uint64_t(avio_tell(pb)) != headerEnd) {
        return false;
    }
    uint32_t largest = 0;
    for (size_t i = 0; i < count; ++i) {
        largest = std::max(largest, packets[i].size);
    }
    // The contents are in the file already; only the sizes reach the muxer's bookkeeping.
    std::vector<uint8_t> filler(size_t(largest) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    av::PacketPtr packet(av_packet_alloc());
    if (!packet) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        AVPacket* pkt = packet.get();
        av_packet_unref(pkt);
        pkt->data = filler.data();
        pkt->size = int(packets[i].size);
        pkt->pts = packets[i].pts;
        pkt->dts = packets[i].dts;
        pkt->duration = packets[i].duration;
        pkt->stream_index = packets[i].stream;
        pkt->flags = packets[i].flags;
        const int written = av_write_frame(format.get(), pkt);
        pkt->data = nullptr;
        pkt->size = 0;
        if (written < 0) {
            return false;
        }
        avio_flush(pb);
        if (uint64_t(avio_tell(pb)) != packets[i].end) {
            return false;
        }
    }
    out.recording = true;
    if (av_write_trailer(format.get()) < 0) {
        return false;
    }
    avio_flush(pb);
    ending = std::move(out.placements);
    return true;
}

bool PlaceAll(int fd, const std::vector<Placement>& ending, bool appended, uint64_t cut) {
    for (const Placement& p : ending) {
        if ((p.offset + p.bytes.size() > cut) != appended) {
            continue;
        }
        size_t done = 0;
        while (done < p.bytes.size()) {
            const ssize_t n =
                ::pwrite(fd, p.bytes.data() + done, p.bytes.size() - done, off_t(p.offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                if (n == 0) {
                    errno = ENOSPC;
                }
                return false;
            }
            done += size_t(n);
        }
    }
    return true;
}

bool NoRoom(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

}  // namespace

int64_t FinishCutAvi(const std::string& path, const AviMuxerSetup& setup, uint64_t headerEnd,
                     const std::vector<AviPacketRecord>& packets, int& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    int64_t kept = -1;
    for (size_t count = packets.size();; --count) {
        const uint64_t cut = count == 0 ? headerEnd : packets[count - 1].end;
        if (::ftruncate(fd, off_t(cut)) != 0) {
            error = errno;
            break;
        }
        std::vector<Placement> ending;
        if (!ReplayEnding(setup, headerEnd, packets, count, ending)) {
            error = EIO;
            break;
        }
        // What needs new room goes first; the sizes and counts are then put over the headers,
        // which takes none.
        if (PlaceAll(fd, ending, true, cut) && PlaceAll(fd, ending, false, cut)) {
            kept = int64_t(count);
            break;
        }
        error = errno;
        if (!NoRoom(error) || count == 0) {
            ::ftruncate(fd, off_t(cut));
            break;
        }
    }
    if (::close(fd) != 0 && kept >= 0) {
        error = errno;
        kept = -1;
    }
    return kept;
}

}  // namespace kelvane
