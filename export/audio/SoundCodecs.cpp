#include "export/audio/SoundCodecs.h"

#include <algorithm>

#include "export/OutputContainer.h"
#include "media/FfmpegHandles.h"

namespace kelvane {

const std::vector<SoundCodec>& SoundCodecs() {
    static const std::vector<SoundCodec> offered = [] {
        const SoundCodec candidates[] = {
            {"pcm", "音声 PCM 16 ビット", "pcm_s16le", 0, true},
            {"flac", "音声 FLAC", "flac", 0, true},
            {"aac", "音声 AAC (FFmpeg, 192 kb/s)", "aac", 192000, false},
            {"opus", "音声 Opus (libopus, 160 kb/s)", "libopus", 160000, false},
        };
        std::vector<SoundCodec> found;
        for (const SoundCodec& c : candidates) {
            if (avcodec_find_encoder_by_name(c.encoder.c_str()) != nullptr) {
                found.push_back(c);
            }
        }
        return found;
    }();
    return offered;
}

const SoundCodec* FindSoundCodec(std::string_view name) {
    for (const SoundCodec& c : SoundCodecs()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

const SoundCodec* SoundCodecOfStream(int codecId) {
    for (const SoundCodec& c : SoundCodecs()) {
        const AVCodec* encoder = avcodec_find_encoder_by_name(c.encoder.c_str());
        if (encoder != nullptr && encoder->id == codecId) {
            return &c;
        }
    }
    return nullptr;
}

std::vector<const SoundCodec*> SoundCodecsFor(const OutputContainer& container,
                                              std::string_view videoCodec) {
    std::vector<std::string_view> names;
    const std::string_view ext = container.extension;
    if (ext == "avi") {
        names = {"pcm"};
    } else if (ext == "mp4") {
        names = {"aac", "flac", "opus"};
    } else if (ext == "mov") {
        names = videoCodec == "h264" ? std::vector<std::string_view>{"aac", "pcm"}
                                     : std::vector<std::string_view>{"pcm", "aac"};
    } else if (ext == "mkv") {
        names = videoCodec.empty() || videoCodec == "ffv1"
                    ? std::vector<std::string_view>{"flac", "opus", "pcm", "aac"}
                    : std::vector<std::string_view>{"opus", "flac", "pcm", "aac"};
    } else if (ext == "webm") {
        names = {"opus"};
    }
    std::vector<const SoundCodec*> offered;
    for (const std::string_view name : names) {
        if (const SoundCodec* c = FindSoundCodec(name)) {
            offered.push_back(c);
        }
    }
    return offered;
}

std::string SoundCodecListText() {
    std::string text;
    for (const SoundCodec& c : SoundCodecs()) {
        std::string containers;
        for (const OutputContainer& container : OutputContainers()) {
            const auto offered = SoundCodecsFor(container, "");
            if (std::any_of(offered.begin(), offered.end(),
                            [&](const SoundCodec* o) { return o->name == c.name; })) {
                containers += (containers.empty() ? "" : " ") + std::string(container.extension);
            }
        }
        text += c.name + '\t' + c.description + '\t' + containers + '\n';
    }
    return text;
}

std::string SoundChoiceError(std::string_view path, std::string_view codec) {
    const OutputContainer* container = ContainerOfPath(path);
    if (container == nullptr || codec.empty()) {
        return {};
    }
    if (FindSoundCodec(codec) == nullptr) {
        return "不明な音声の圧縮形式です: " + std::string(codec) +
               "（--list-codecs で一覧を表示します）";
    }
    const auto offered = SoundCodecsFor(*container, "");
    if (std::none_of(offered.begin(), offered.end(),
                     [&](const SoundCodec* c) { return c->name == codec; })) {
        std::string names;
        for (const SoundCodec* c : offered) {
            names += (names.empty() ? "" : ", ") + c->name;
        }
        return "音声の圧縮形式 " + std::string(codec) + " は ." +
               std::string(container->extension) + " ファイルには書けません。." +
               std::string(container->extension) + " に書ける音声の圧縮形式: " + names;
    }
    return {};
}

}  // namespace kelvane
