#include "AviProbe.h"

#include <cstring>
#include <fstream>
#include <random>

#include "media/FfmpegHandles.h"

namespace kelvane::testing {

namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

void Walk(std::ifstream& in, uint64_t begin, uint64_t end, std::vector<RiffChunk>& out) {
    uint64_t pos = begin;
    while (pos + 8 <= end) {
        uint8_t head[12];
        in.seekg(std::streamoff(pos));
        if (!in.read(reinterpret_cast<char*>(head), 8)) {
            return;
        }
        RiffChunk chunk;
        chunk.id.assign(reinterpret_cast<char*>(head), 4);
        chunk.size = Le32(head + 4);
        chunk.dataOffset = pos + 8;
        if (chunk.id == "RIFF" || chunk.id == "LIST") {
            if (!in.read(reinterpret_cast<char*>(head + 8), 4)) {
                return;
            }
            out.push_back(chunk);
            out.push_back(
                {std::string(reinterpret_cast<char*>(head + 8), 4), pos + 12, chunk.size - 4});
            Walk(in, pos + 12, std::min<uint64_t>(end, pos + 8 + chunk.size), out);
        } else {
            out.push_back(chunk);
        }
        pos += 8 + uint64_t(chunk.size) + (chunk.size & 1);
    }
}

}  // namespace

std::vector<RiffChunk> ReadRiffChunks(const std::filesystem::path& path) {
    std::vector<RiffChunk> chunks;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return chunks;
    }
    Walk(in, 0, std::filesystem::file_size(path), chunks);
    return chunks;
}

std::vector<uint8_t> ReadChunkData(const std::filesystem::path& path, const RiffChunk& chunk) {
    std::vector<uint8_t> data(chunk.size);
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(chunk.dataOffset));
    in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
    if (!in) {
        data.clear();
    }
    return data;
}

bool ReadStreamHeader(const std::filesystem::path& path, StreamHeader& out) {
    for (const RiffChunk& c : ReadRiffChunks(path)) {
        if (c.id == "strh" && c.size >= 36) {
            const std::vector<uint8_t> d = ReadChunkData(path, c);
            if (d.size() < 36) {
                return false;
            }
            out.type.assign(reinterpret_cast<const char*>(d.data()), 4);
            out.handler = Le32(&d[4]);
            out.scale = Le32(&d[20]);
            out.rate = Le32(&d[24]);
            out.length = Le32(&d[32]);
            return true;
        }
    }
    return false;
}

bool DecodeAvi(const std::filesystem::path& path, DecodedVideo& out, std::string& error) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.string().c_str(), nullptr, nullptr) < 0) {
        error = "cannot open";
        return false;
    }
    av::InputContextPtr format(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        error = "no stream info";
        return false;
    }
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || codec == nullptr) {
        error = "no video stream or decoder";
        return false;
    }
    AVStream* st = raw->streams[index];
    av::CodecContextPtr dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0 ||
        avcodec_open2(dec.get(), codec, nullptr) < 0) {
        error = "cannot open decoder";
        return false;
    }
    out = {};
    out.codec = codec->name;
    out.width = st->codecpar->width;
    out.height = st->codecpar->height;
    out.timeBaseNum = st->time_base.num;
    out.timeBaseDen = st->time_base.den;

    av::PacketPtr pkt(av_packet_alloc());
    av::FramePtr frame(av_frame_alloc());
    av::SwsPtr sws;
    auto drain = [&]() -> bool {
        for (;;) {
            const int r = avcodec_receive_frame(dec.get(), frame.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
                return true;
            }
            if (r < 0) {
                error = "decode error";
                return false;
            }
            sws.reset(sws_getCachedContext(
                sws.release(), frame->width, frame->height, AVPixelFormat(frame->format),
                frame->width, frame->height, AV_PIX_FMT_BGR0,
                SWS_POINT | SWS_BITEXACT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
                nullptr));
            std::vector<uint32_t> pixels(size_t(frame->width) * frame->height);
            uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr,
                               nullptr};
            const int dstStride[4] = {frame->width * 4, 0, 0, 0};
            sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride);
            for (uint32_t& p : pixels) {
                p &= 0xFFFFFF;
            }
            out.frames.push_back(std::move(pixels));
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(raw, pkt.get()) >= 0) {
        if (pkt->stream_index == index) {
            if (avcodec_send_packet(dec.get(), pkt.get()) < 0) {
                error = "bad packet";
                return false;
            }
            if (!drain()) {
                return false;
            }
        }
        av_packet_unref(pkt.get());
    }
    avcodec_send_packet(dec.get(), nullptr);
    return drain();
}

int64_t CountPackets(const std::filesystem::path& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.string().c_str(), nullptr, nullptr) < 0) {
        return -1;
    }
    av::InputContextPtr format(raw);
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        return -1;
    }
    av::PacketPtr pkt(av_packet_alloc());
    int64_t count = 0;
    while (av_read_frame(raw, pkt.get()) >= 0) {
        count += pkt->stream_index == index ? 1 : 0;
        av_packet_unref(pkt.get());
    }
    return count;
}

void PaintTestFrame(PixelImage& image, uint32_t frame) {
    for (int32_t y = 0; y < image.Height(); ++y) {
        uint32_t* row = image.Row32(y);
        for (int32_t x = 0; x < image.Width(); ++x) {
            const uint32_t r = (x * 4 + frame * 8) & 0xFF;
            const uint32_t g = (y * 4) & 0xFF;
            const uint32_t b = (128 + x * 2 - y * 2 + frame * 4) & 0xFF;
            row[x] = r << 16 | g << 8 | b;
        }
    }
}

std::vector<uint32_t> TopDownPixels(const PixelImage& image) {
    std::vector<uint32_t> pixels;
    pixels.reserve(size_t(image.Width()) * image.Height());
    for (int32_t y = 0; y < image.Height(); ++y) {
        const uint32_t* row = image.Row32(y);
        pixels.insert(pixels.end(), row, row + image.Width());
    }
    return pixels;
}

}  // namespace kelvane::testing

namespace {
// The encoders' statistics would drown the test output.
const int kQuietFfmpeg = (av_log_set_level(AV_LOG_ERROR), 0);
}  // namespace
