#include "export/Compressor.h"

#include "export/CompressorChooser.h"
#include "media/FfmpegHandles.h"

namespace kelvane {

namespace {

std::vector<CompressorInfo> ProbeCompressors() {
    // The encoders that AVI carries well, each with the tag that the muxer knows for it.
    const CompressorInfo candidates[] = {
        {std::string(kUncompressedName), "全フレーム (非圧縮)", "", true},
        {"mjpeg", "Motion JPEG", "mjpeg", false},
        {"ffv1", "FFV1 (可逆圧縮)", "ffv1", true},
        {"huffyuv", "HuffYUV (可逆圧縮)", "huffyuv", true},
        {"ffvhuff", "HuffYUV FFmpeg 拡張版 (可逆圧縮)", "ffvhuff", true},
        {"utvideo", "Ut Video (可逆圧縮)", "utvideo", true},
        {"mpeg4", "MPEG-4 Part 2", "mpeg4", false},
        {"h264", "H.264 (x264)", "libx264", false},
    };
    std::vector<CompressorInfo> offered;
    for (const CompressorInfo& c : candidates) {
        if (c.encoder.empty() || avcodec_find_encoder_by_name(c.encoder.c_str()) != nullptr) {
            offered.push_back(c);
        }
    }
    return offered;
}

}  // namespace

const std::vector<CompressorInfo>& AvailableCompressors() {
    static const std::vector<CompressorInfo> offered = ProbeCompressors();
    return offered;
}

const CompressorInfo* FindCompressor(std::string_view name) {
    for (const CompressorInfo& c : AvailableCompressors()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

std::string CompressorListText() {
    std::string text;
    for (const CompressorInfo& c : AvailableCompressors()) {
        text += c.name + '\t' + c.description + '\n';
    }
    return text;
}

bool NamedCompressorChooser::Choose(const std::vector<CompressorInfo>& offered,
                                    std::string& chosen) {
    if (name_.empty() && !offered.empty()) {
        chosen = offered.front().name;
        return true;
    }
    for (const CompressorInfo& c : offered) {
        if (c.name == name_) {
            chosen = c.name;
            return true;
        }
    }
    return false;
}

}  // namespace kelvane
