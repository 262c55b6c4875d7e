#include "export/AviPartRecord.h"

#include <filesystem>

#include <charconv>
#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

namespace kelvane {

namespace {

constexpr std::string_view kFirstLine = "Kelvane export";

bool ParseNumber(std::string_view text, uint32_t& out) {
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return false;
    }
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size();
}

// "A-B of L"
bool ParseFrames(std::string_view text, AviPartRecord& out) {
    const size_t dash = text.find('-');
    const size_t of = text.find(" of ");
    if (dash == std::string_view::npos || of == std::string_view::npos || of < dash) {
        return false;
    }
    return ParseNumber(text.substr(0, dash), out.first) &&
           ParseNumber(text.substr(dash + 1, of - dash - 1), out.last) &&
           ParseNumber(text.substr(of + 4), out.length);
}

struct ShaDeleter {
    void operator()(AVSHA* p) const { av_free(p); }
};

}  // namespace

std::string FormatAviPartRecord(const AviPartRecord& r) {
    return std::string(kFirstLine) + "\nproject: " + r.project +
           "\nproject-sha256: " + r.projectSha256 + "\nframes: " + std::to_string(r.first) + "-" +
           std::to_string(r.last) + " of " + std::to_string(r.length) + "\ncodec: " + r.codec +
           "\n";
}

bool ParseAviPartRecord(std::string_view text, AviPartRecord& out) {
    AviPartRecord record;
    bool sawFirst = false, sawProject = false, sawDigest = false, sawFrames = false,
         sawCodec = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!sawFirst) {
            if (line != kFirstLine) {
                return false;
            }
            sawFirst = true;
            continue;
        }
        const size_t colon = line.find(": ");
        if (colon == std::string_view::npos) {
            continue;  // room for lines that later versions add
        }
        const std::string_view key = line.substr(0, colon);
        const std::string_view value = line.substr(colon + 2);
        if (key == "project") {
            record.project = std::string(value);
            sawProject = true;
        } else if (key == "project-sha256") {
            record.projectSha256 = std::string(value);
            sawDigest = !value.empty();
        } else if (key == "frames") {
            sawFrames = ParseFrames(value, record);
        } else if (key == "codec") {
            record.codec = std::string(value);
            sawCodec = !value.empty();
        }
    }
    if (!(sawFirst && sawProject && sawDigest && sawFrames && sawCodec) ||
        record.first > record.last || record.last >= record.length) {
        return false;
    }
    out = std::move(record);
    return true;
}

std::string FileSha256(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    std::unique_ptr<AVSHA, ShaDeleter> sha(av_sha_alloc());
    if (!file || !sha || av_sha_init(sha.get(), 256) < 0) {
        return {};
    }
    std::vector<uint8_t> buffer(1 << 16);
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
        av_sha_update(sha.get(), buffer.data(), got);
    }
    if (std::ferror(file.get())) {
        return {};
    }
    uint8_t digest[32];
    av_sha_final(sha.get(), digest);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const uint8_t byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 15];
    }
    return hex;
}

AviPartRecord RecordOfExport(const std::string& projectPath, uint32_t first, uint32_t last,
                             uint32_t length, const std::string& codec) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(projectPath, ec);
    AviPartRecord record;
    record.project = ec ? projectPath : absolute.lexically_normal().string();
    record.projectSha256 = FileSha256(projectPath);
    record.first = first;
    record.last = last;
    record.length = length;
    record.codec = codec;
    return record;
}

}  // namespace kelvane
