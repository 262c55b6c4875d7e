// Kelvane picture plug-in over FFmpeg: PNG, JPEG, GIF, TIFF, WebP, TGA and the other still
// formats that FFmpeg's image demuxers recognise, delivered as 32-bit bottom-up bitmaps with any
// alpha channel composited over black, or kept as straight alpha for hosts that ask for it.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kelvane/picture_plugin.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr size_t kProbeBytes = 2048;
constexpr int kIoBufferBytes = 64 * 1024;
constexpr int kMaxSide = 1 << 16;
// The largest picture Kelvane takes (8192 x 8192); the decoders refuse larger ones before they
// allocate, so that a few bytes claiming a vast picture cost nothing.
constexpr int64_t kMaxPixels = int64_t(1) << 26;

// The first bytes of a picture, zero-padded as FFmpeg's probes expect.
struct ProbeBuffer {
    uint8_t bytes[kProbeBytes + AVPROBE_PADDING_SIZE] = {};

    ProbeBuffer(const void* data, size_t size) {
        std::memcpy(bytes, data, size < kProbeBytes ? size : kProbeBytes);
    }
};

// Demuxers of single pictures: the image pipes, and GIF and animated PNG, of which the first frame
// is the picture. Movie containers are left to the movie reader even when they hold one frame.
bool IsStillDemuxer(const char* name) {
    const size_t n = std::strlen(name);
    return (n > 5 && std::strcmp(name + n - 5, "_pipe") == 0) || std::strcmp(name, "gif") == 0 ||
           std::strcmp(name, "apng") == 0;
}

// What FFmpeg's probes make of a picture's first bytes.
struct Probe {
    const AVInputFormat* demuxer = nullptr;  // the best match, when any scored
    int score = 0;

    explicit Probe(const ProbeBuffer& probe) {
        AVProbeData data{};
        data.filename = "";
        data.buf = const_cast<uint8_t*>(probe.bytes);
        data.buf_size = int(kProbeBytes);
        demuxer = av_probe_input_format3(&data, 1, &score);
    }

    // The image pipes recognise their formats by signature, so any score of theirs counts: a
    // JPEG whose metadata fills the first 2048 bytes scores low only because its picture data
    // lies further on.
    bool Still() const { return demuxer != nullptr && IsStillDemuxer(demuxer->name); }
    // Nothing, or only a guess of another kind, so that a TGA header may be considered.
    bool Unclaimed() const { return demuxer == nullptr || score <= AVPROBE_SCORE_RETRY; }
};

// TGA files carry no signature; FFmpeg has a decoder but no probe. Accept a header whose every
// field holds a value that TGA allows, when no other format claimed the bytes.
bool LooksLikeTga(const uint8_t* h) {
    const unsigned mapType = h[1];
    const unsigned imageType = h[2];
    const unsigned mapDepth = h[7];
    const unsigned width = h[12] | (h[13] << 8);
    const unsigned height = h[14] | (h[15] << 8);
    const unsigned depth = h[16];
    const unsigned descriptor = h[17];
    const bool mapped = imageType == 1 || imageType == 9;
    const bool trueColour = imageType == 2 || imageType == 10;
    const bool grey = imageType == 3 || imageType == 11;
    if (mapType > 1 || !(mapped || trueColour || grey) || width == 0 || height == 0 ||
        (descriptor & 0xC0) != 0) {
        return false;
    }
    if (mapped) {
        return mapType == 1 && (depth == 8 || depth == 16) &&
               (mapDepth == 15 || mapDepth == 16 || mapDepth == 24 || mapDepth == 32);
    }
    if (grey) {
        return depth == 8 || depth == 16;
    }
    return depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

// A file image in memory read through FFmpeg's I/O layer.
struct MemoryInput {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;

    static int Read(void* opaque, uint8_t* buffer, int wanted) {
        auto* in = static_cast<MemoryInput*>(opaque);
        const size_t left = in->size - in->position;
        if (left == 0) {
            return AVERROR_EOF;
        }
        const size_t n = left < size_t(wanted) ? left : size_t(wanted);
        std::memcpy(buffer, in->data + in->position, n);
        in->position += n;
        return int(n);
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto* in = static_cast<MemoryInput*>(opaque);
        int64_t base = 0;
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                return int64_t(in->size);
            case SEEK_SET:
                break;
            case SEEK_CUR:
                base = int64_t(in->position);
                break;
            case SEEK_END:
                base = int64_t(in->size);
                break;
            default:
                return AVERROR(EINVAL);
        }
        const int64_t target = base + offset;
        if (target < 0 || target > int64_t(in->size)) {
            return AVERROR(EINVAL);
        }
        in->position = size_t(target);
        return target;
    }
};

// Owns what one decode allocates in FFmpeg.
struct Decode {
    MemoryInput input;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* scaler = nullptr;

    ~Decode() {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        if (io != nullptr) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    bool OpenDemuxer(const uint8_t* data, size_t size, const AVInputFormat* demuxer) {
        input = MemoryInput{data, size, 0};
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
        if (buffer == nullptr) {
            return false;
        }
        io = avio_alloc_context(buffer, kIoBufferBytes, 0, &input, MemoryInput::Read, nullptr,
                                MemoryInput::Seek);
        if (io == nullptr) {
            av_free(buffer);
            return false;
        }
        format = avformat_alloc_context();
        if (format == nullptr) {
            return false;
        }
        format->pb = io;
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        // On failure avformat_open_input frees the context and clears the pointer.
        return avformat_open_input(&format, "", demuxer, nullptr) == 0;
    }

    bool OpenDecoder(AVCodecID id, const AVCodecParameters* parameters) {
        const AVCodec* decoder = avcodec_find_decoder(id);
        if (decoder == nullptr || (codec = avcodec_alloc_context3(decoder)) == nullptr) {
            return false;
        }
        if (parameters != nullptr && avcodec_parameters_to_context(codec, parameters) < 0) {
            return false;
        }
        codec->thread_count = 1;
        codec->max_pixels = kMaxPixels;
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        return packet != nullptr && frame != nullptr && avcodec_open2(codec, decoder, nullptr) == 0;
    }

    // Sends one packet (null: end of stream) and takes a frame if the decoder has one.
    bool Feed(const AVPacket* p) {
        const int sent = avcodec_send_packet(codec, p);
        if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) {
            return false;
        }
        return avcodec_receive_frame(codec, frame) == 0;
    }

    // The first picture of the demuxer's first video stream.
    bool DecodeFirstFrame() {
        const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (stream < 0) {
            return false;
        }
        const AVCodecParameters* parameters = format->streams[stream]->codecpar;
        if (!OpenDecoder(parameters->codec_id, parameters)) {
            return false;
        }
        while (av_read_frame(format, packet) >= 0) {
            const bool ours = packet->stream_index == stream;
            const bool got = ours && Feed(packet);
            av_packet_unref(packet);
            if (got) {
                return true;
            }
        }
        return Feed(nullptr);
    }

    // The whole file as one packet to a decoder chosen without a demuxer.
    bool DecodeWhole(AVCodecID id, const uint8_t* data, size_t size) {
        if (size > size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE || !OpenDecoder(id, nullptr) ||
            av_new_packet(packet, int(size)) < 0) {
            return false;
        }
        std::memcpy(packet->data, data, size);
        const bool got = Feed(packet);
        av_packet_unref(packet);
        return got || Feed(nullptr);
    }
};

// FFmpeg marks full-range YUV with its own pixel formats; swscale wants the plain format and the
// range given apart.
AVPixelFormat PlainFormat(AVPixelFormat format, bool& fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            fullRange = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            fullRange = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            fullRange = true;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            fullRange = true;
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            fullRange = true;
            return AV_PIX_FMT_YUV411P;
        default:
            return format;
    }
}

// Whether any pixel of 8-bit (or 16-bit) BGRA rows is less than opaque.
bool AnyTranslucent8(const uint8_t* rows, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i) {
        if (rows[4 * i + 3] != 255) {
            return true;
        }
    }
    return false;
}

bool AnyTranslucent16(const uint16_t* rows, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i) {
        if (rows[4 * i + 3] != 65535) {
            return true;
        }
    }
    return false;
}

// 16-bit straight channels, alpha included, rounded to 8 bits.
void StraightRow16(const uint16_t* src, uint8_t* dst, int width) {
    for (int x = 0; x < width * 4; ++x) {
        dst[x] = uint8_t((uint32_t(src[x]) * 255 + 32767) / 65535);
    }
}

// Straight alpha over black, rounded: 8-bit channels.
void CompositeRow8(uint8_t* row, int width) {
    for (int x = 0; x < width; ++x, row += 4) {
        const unsigned alpha = row[3];
        if (alpha != 255) {
            for (int c = 0; c < 3; ++c) {
                row[c] = uint8_t((row[c] * alpha + 127) / 255);
            }
        }
        row[3] = 0;
    }
}

// The same from 16-bit channels, rounded once to 8 bits, so that deep pictures lose nothing to
// an intermediate rounding.
void CompositeRow16(const uint16_t* src, uint8_t* dst, int width) {
    constexpr uint64_t kScale = uint64_t(65535) * 257;  // 16-bit alpha, then 16 bits to 8
    for (int x = 0; x < width; ++x, src += 4, dst += 4) {
        const uint64_t alpha = src[3];
        for (int c = 0; c < 3; ++c) {
            dst[c] = uint8_t((src[c] * alpha + kScale / 2) / kScale);
        }
        dst[3] = 0;
    }
}

SwsContext* NewScaler(const AVFrame* f, AVPixelFormat target) {
    bool fullRange = f->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat source = PlainFormat(AVPixelFormat(f->format), fullRange);
    SwsContext* scaler = sws_getContext(f->width, f->height, source, f->width, f->height, target,
                                        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                        nullptr, nullptr, nullptr);
    if (scaler != nullptr) {
        int colourSpace = f->colorspace;
        if (colourSpace == AVCOL_SPC_RGB || colourSpace == AVCOL_SPC_UNSPECIFIED ||
            colourSpace >= AVCOL_SPC_NB) {
            colourSpace = SWS_CS_DEFAULT;
        }
        // Refused for RGB sources, where it does not apply.
        sws_setColorspaceDetails(scaler, sws_getCoefficients(colourSpace), fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    return scaler;
}

// Converts the decoded frame into a 32-bit bottom-up bitmap, alpha over black, fourth byte 0; or,
// with `keepAlpha` and a picture that is not opaque everywhere, with straight alpha.
int HandOver(Decode& d, void** info, void** pixels, bool keepAlpha) {
    const AVFrame* f = d.frame;
    if (f->width <= 0 || f->height <= 0 || f->width > kMaxSide || f->height > kMaxSide ||
        int64_t(f->width) * f->height > kMaxPixels) {
        return KELVANE_PICTURE_BROKEN_DATA;
    }
    const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(AVPixelFormat(f->format));
    if (layout == nullptr) {
        return KELVANE_PICTURE_UNKNOWN_FORMAT;
    }
    // Pictures of more than 8 bits a channel pass through 16-bit channels.
    const bool deep = layout->comp[0].depth > 8;
    d.scaler = NewScaler(f, deep ? AV_PIX_FMT_BGRA64LE : AV_PIX_FMT_BGRA);
    if (d.scaler == nullptr) {
        return KELVANE_PICTURE_UNKNOWN_FORMAT;
    }

    const int width = f->width;
    const int height = f->height;
    const size_t pitch = size_t(width) * 4;
    const size_t bytes = pitch * size_t(height);
    // Room for the four masks of a picture with alpha (and the one colour entry of the others).
    auto* header = static_cast<KelvanePictureInfoHeader*>(
        std::calloc(1, sizeof(KelvanePictureInfoHeader) + 4 * sizeof(uint32_t)));
    bool alpha = false;
    auto* rows = static_cast<uint8_t*>(std::malloc(bytes));
    auto* wide = deep ? static_cast<uint16_t*>(std::malloc(bytes * 2)) : nullptr;
    int result = KELVANE_PICTURE_OK;
    if (header == nullptr || rows == nullptr || (deep && wide == nullptr)) {
        result = KELVANE_PICTURE_NO_MEMORY;
    } else if (deep) {
        uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(wide), nullptr, nullptr, nullptr};
        const int strides[4] = {int(pitch * 2), 0, 0, 0};
        if (sws_scale(d.scaler, f->data, f->linesize, 0, height, planes, strides) != height) {
            result = KELVANE_PICTURE_INTERNAL_ERROR;
        }
        alpha = result == KELVANE_PICTURE_OK && keepAlpha &&
                AnyTranslucent16(wide, size_t(width) * size_t(height));
        for (int y = 0; result == KELVANE_PICTURE_OK && y < height; ++y) {
            uint8_t* row = rows + size_t(height - 1 - y) * pitch;
            if (alpha) {
                StraightRow16(wide + size_t(y) * width * 4, row, width);
            } else {
                CompositeRow16(wide + size_t(y) * width * 4, row, width);
            }
        }
    } else {
        // Written bottom row first: the destination starts at the last row and steps backwards.
        uint8_t* planes[4] = {rows + bytes - pitch, nullptr, nullptr, nullptr};
        const int strides[4] = {-int(pitch), 0, 0, 0};
        if (sws_scale(d.scaler, f->data, f->linesize, 0, height, planes, strides) != height) {
            result = KELVANE_PICTURE_INTERNAL_ERROR;
        }
        alpha = result == KELVANE_PICTURE_OK && keepAlpha &&
                AnyTranslucent8(rows, size_t(width) * size_t(height));
        for (int y = 0; result == KELVANE_PICTURE_OK && !alpha && y < height; ++y) {
            CompositeRow8(rows + size_t(y) * pitch, width);
        }
    }
    std::free(wide);
    if (result != KELVANE_PICTURE_OK) {
        std::free(header);
        std::free(rows);
        return result;
    }
    header->biSize = sizeof(KelvanePictureInfoHeader);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 32;
    header->biCompression = alpha ? KELVANE_PICTURE_ALPHABITFIELDS : KELVANE_PICTURE_RGB;
    header->biSizeImage = uint32_t(bytes);
    if (alpha) {
        const uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        std::memcpy(header + 1, masks, sizeof(masks));
    }
    *info = header;
    *pixels = rows;
    return KELVANE_PICTURE_OK;
}

bool HasDecoderFor(const uint8_t* header, const AVInputFormat* demuxer) {
    Decode d;
    if (!d.OpenDemuxer(header, kProbeBytes, demuxer)) {
        return true;  // a header too short to open: the decode will tell
    }
    const int stream = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    return stream >= 0 && avcodec_find_decoder(d.format->streams[stream]->codecpar->codec_id);
}

}  // namespace

extern "C" KELVANE_PICTURE_EXPORT int IsSupported(const char* /*fileName*/, const void* data) {
    if (data == nullptr) {
        return 0;
    }
    const ProbeBuffer header(data, kProbeBytes);
    const Probe probe(header);
    if (probe.Still()) {
        return HasDecoderFor(header.bytes, probe.demuxer) ? 1 : 0;
    }
    return probe.Unclaimed() && LooksLikeTga(header.bytes) &&
                   avcodec_find_decoder(AV_CODEC_ID_TARGA) != nullptr
               ? 1
               : 0;
}

extern "C" KELVANE_PICTURE_EXPORT int GetPicture(const void* input, size_t length,
                                                 unsigned int flags, void** info, void** pixels,
                                                 KelvanePictureProgress progress,
                                                 intptr_t progressData) {
    if ((flags & KELVANE_PICTURE_INPUT_MASK) != KELVANE_PICTURE_INPUT_MEMORY) {
        return KELVANE_PICTURE_NOT_IMPLEMENTED;
    }
    if (input == nullptr || info == nullptr || pixels == nullptr) {
        return KELVANE_PICTURE_INTERNAL_ERROR;
    }
    if (progress != nullptr && progress(0, 1, progressData) != 0) {
        return KELVANE_PICTURE_ABORTED;
    }
    const auto* data = static_cast<const uint8_t*>(input);
    const ProbeBuffer header(data, length);
    const Probe probe(header);
    Decode d;
    if (probe.Still()) {
        if (!d.OpenDemuxer(data, length, probe.demuxer) || !d.DecodeFirstFrame()) {
            return KELVANE_PICTURE_BROKEN_DATA;
        }
    } else if (probe.Unclaimed() && LooksLikeTga(header.bytes)) {
        if (!d.DecodeWhole(AV_CODEC_ID_TARGA, data, length)) {
            return KELVANE_PICTURE_BROKEN_DATA;
        }
    } else {
        return KELVANE_PICTURE_UNKNOWN_FORMAT;
    }
    const int result = HandOver(d, info, pixels, (flags & KELVANE_PICTURE_KEEP_ALPHA) != 0);
    if (result == KELVANE_PICTURE_OK && progress != nullptr) {
        progress(1, 1, progressData);
    }
    return result;
}
