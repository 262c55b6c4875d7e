#include "export/OutputContainer.h"

#include <algorithm>
#include <cctype>

#include "media/FfmpegHandles.h"

namespace kelvane {

namespace {

// The codecs that only the containers other than AVI carry; h264 and ffv1 are AVI's entries.
const std::vector<CompressorInfo>& ContainerOnlyCompressors() {
    static const std::vector<CompressorInfo> offered = [] {
        const CompressorInfo candidates[] = {
            {"hevc", "HEVC / H.265 (x265)", "libx265", false},
            {"vp9", "VP9 (libvpx)", "libvpx-vp9", false},
            {"av1", "AV1 (SVT-AV1)", "libsvtav1", false},
            {"prores", "ProRes 422 HQ (prores_ks)", "prores_ks", false},
        };
        std::vector<CompressorInfo> found;
        for (const CompressorInfo& c : candidates) {
            if (avcodec_find_encoder_by_name(c.encoder.c_str()) != nullptr) {
                found.push_back(c);
            }
        }
        return found;
    }();
    return offered;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower;
}

}  // namespace

const std::vector<OutputContainer>& OutputContainers() {
    static const std::vector<OutputContainer> containers = {
        {"avi", "avi", "AVI ファイル (*.avi)", "", {}},
        {"mp4", "mp4", "MP4 ファイル (*.mp4)", "Mp4", {"h264", "hevc", "av1"}},
        {"mov", "mov", "QuickTime ファイル (*.mov)", "Mov", {"prores", "h264"}},
        {"mkv",
         "matroska",
         "Matroska ファイル (*.mkv)",
         "Mkv",
         {"ffv1", "h264", "hevc", "vp9", "av1"}},
        {"webm", "webm", "WebM ファイル (*.webm)", "Webm", {"vp9", "av1"}},
    };
    return containers;
}

const OutputContainer* ContainerOfPath(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) {
        return nullptr;
    }
    const std::string extension = Lower(name.substr(dot + 1));
    for (const OutputContainer& c : OutputContainers()) {
        if (c.extension == extension) {
            return &c;
        }
    }
    return nullptr;
}

std::string ContainerExtensionList() {
    std::string list;
    for (const OutputContainer& c : OutputContainers()) {
        list += (list.empty() ? "" : ", ") + std::string(c.extension);
    }
    return list;
}

std::vector<CompressorInfo> CompressorsFor(const OutputContainer& container) {
    if (container.IsAvi()) {
        return AvailableCompressors();
    }
    std::vector<CompressorInfo> offered;
    for (const std::string_view name : container.codecs) {
        if (const CompressorInfo* info = FindAnyCompressor(name)) {
            offered.push_back(*info);
        }
    }
    return offered;
}

const CompressorInfo* FindAnyCompressor(std::string_view name) {
    if (const CompressorInfo* info = FindCompressor(name)) {
        return info;
    }
    for (const CompressorInfo& c : ContainerOnlyCompressors()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

std::string CompressorContainerListText() {
    std::vector<const CompressorInfo*> all;
    for (const CompressorInfo& c : AvailableCompressors()) {
        all.push_back(&c);
    }
    for (const CompressorInfo& c : ContainerOnlyCompressors()) {
        all.push_back(&c);
    }
    std::string text;
    for (const CompressorInfo* c : all) {
        std::string containers;
        for (const OutputContainer& container : OutputContainers()) {
            const std::vector<CompressorInfo> offered = CompressorsFor(container);
            const bool carries =
                std::any_of(offered.begin(), offered.end(),
                            [&](const CompressorInfo& o) { return o.name == c->name; });
            if (carries) {
                containers += (containers.empty() ? "" : " ") + std::string(container.extension);
            }
        }
        text += c->name + '\t' + c->description + '\t' + containers + '\n';
    }
    return text;
}

std::string OutputChoiceError(std::string_view path, std::string_view codec) {
    const OutputContainer* container = ContainerOfPath(path);
    if (container == nullptr) {
        const size_t slash = path.find_last_of('/');
        const std::string_view name =
            slash == std::string_view::npos ? path : path.substr(slash + 1);
        const size_t dot = name.find_last_of('.');
        const std::string extension = dot == std::string_view::npos || dot == 0
                                          ? "（拡張子なし）"
                                          : std::string(name.substr(dot));
        return "書き出せないファイルの種類です: " + extension + " (" + std::string(path) +
               ")。書き出せる種類: " + ContainerExtensionList();
    }
    if (codec.empty()) {
        return {};
    }
    if (FindAnyCompressor(codec) == nullptr) {
        return "不明な圧縮形式です: " + std::string(codec) + "（--list-codecs で一覧を表示します）";
    }
    const std::vector<CompressorInfo> offered = CompressorsFor(*container);
    if (std::none_of(offered.begin(), offered.end(),
                     [&](const CompressorInfo& c) { return c.name == codec; })) {
        std::string names;
        for (const CompressorInfo& c : offered) {
            names += (names.empty() ? "" : ", ") + c.name;
        }
        return "圧縮形式 " + std::string(codec) + " は ." + std::string(container->extension) +
               " ファイルには書けません。." + std::string(container->extension) +
               " に書ける圧縮形式: " + names;
    }
    return {};
}

}  // namespace kelvane
