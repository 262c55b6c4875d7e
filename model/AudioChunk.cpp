#include "model/AudioChunk.h"

#include <cstring>

#include "model/EventTemplate.h"

namespace kelvane::audio_chunk {

namespace {

struct Record {
    uint32_t kind = 0;
    uint32_t number = 0;
    uint32_t index = 0;
    float volume = 1.0f;
    uint32_t flags = 0;
};

void Put(std::vector<uint8_t>& out, const void* value, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(value);
    out.insert(out.end(), bytes, bytes + size);
}

void PutRecord(std::vector<uint8_t>& out, const Record& r) {
    Put(out, &r.kind, 4);
    Put(out, &r.number, 4);
    Put(out, &r.index, 4);
    Put(out, &r.volume, 4);
    Put(out, &r.flags, 4);
}

uint32_t U32At(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

bool DefaultLevel(const EventExtras& e) {
    return e.volume == 1.0f && (e.audioFlags & kAudioMuted) == 0;
}

std::vector<Record> Records(const Project& project) {
    std::vector<Record> records;
    for (uint32_t t = 0; t < project.tracks.size(); ++t) {
        const Track& track = project.tracks[t];
        if (track.HasExtras()) {
            for (uint32_t i = 0; i < track.Count(); ++i) {
                const EventExtras& e = track.ExtrasAt(i);
                if (!DefaultLevel(e)) {
                    records.push_back(
                        Record{kKindEvent, t, i, e.volume, e.audioFlags & kFlagMuted});
                }
            }
        }
    }
    for (uint32_t slot = 0; slot < project.templates.size(); ++slot) {
        const EventExtras& e = project.templateExtras[slot];
        if (TemplateInUse(project.templates[slot]) && !DefaultLevel(e)) {
            records.push_back(Record{kKindTemplate, slot, 0, e.volume, e.audioFlags & kFlagMuted});
        }
    }
    for (uint32_t t = 0; t < project.tracks.size(); ++t) {
        const Track& track = project.tracks[t];
        if (!track.Sound().IsDefault()) {
            records.push_back(Record{kKindTrack, t, 0, track.Sound().volume,
                                     track.Sound().muted ? kFlagMuted : 0});
        }
    }
    return records;
}

}  // namespace

std::vector<uint8_t> Body(const Project& project) {
    const std::vector<Record> records = Records(project);
    std::vector<uint8_t> body;
    if (records.empty()) {
        return body;
    }
    Put(body, kName, 4);
    Put(body, &kVersion, 4);
    const uint32_t count = uint32_t(records.size());
    Put(body, &count, 4);
    for (const Record& r : records) {
        PutRecord(body, r);
    }
    return body;
}

bool Names(const uint8_t* body, size_t size) {
    return size >= 4 && std::memcmp(body, kName, 4) == 0;
}

bool Apply(Project& project, const uint8_t* body, size_t size, std::string& reason) {
    const auto fail = [&](const std::string& why) {
        reason = "音声の設定 (KAUD) が正しくありません: " + why;
        return false;
    };
    if (size < 12) {
        return fail("チャンクが短すぎます。");
    }
    const uint32_t version = U32At(body + 4);
    const uint32_t count = U32At(body + 8);
    if (version != kVersion) {
        return fail("バージョン " + std::to_string(version) + " には対応していません。");
    }
    if (uint64_t(size - 12) < uint64_t(count) * kRecordBytes) {
        return fail(std::to_string(count) + " 個の記録を持つはずが、チャンクが短すぎます。");
    }
    std::vector<Record> records(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = body + 12 + size_t(i) * kRecordBytes;
        Record& r = records[i];
        r.kind = U32At(p);
        r.number = U32At(p + 4);
        r.index = U32At(p + 8);
        std::memcpy(&r.volume, p + 12, 4);
        r.flags = U32At(p + 16);
        const std::string which = std::to_string(i) + " 番目の記録: ";
        switch (r.kind) {
            case kKindEvent:
                if (r.number >= project.tracks.size()) {
                    return fail(which + "トラック " + std::to_string(r.number) + " はありません。");
                }
                if (r.index >= project.tracks[r.number].Count()) {
                    return fail(which + "トラック " + std::to_string(r.number) + " にイベント " +
                                std::to_string(r.index) + " はありません。");
                }
                break;
            case kKindTemplate:
                if (r.number >= project.templates.size() ||
                    !TemplateInUse(project.templates[r.number])) {
                    return fail(which + "テンプレート " + std::to_string(r.number) +
                                " は使われていません。");
                }
                break;
            case kKindTrack:
                if (r.number >= project.tracks.size()) {
                    return fail(which + "トラック " + std::to_string(r.number) + " はありません。");
                }
                break;
            default:
                return fail(which + "種類 " + std::to_string(r.kind) + " は不明です。");
        }
    }
    for (const Record& r : records) {
        const bool muted = (r.flags & kFlagMuted) != 0;
        const auto level = [&](EventExtras extras) {
            extras.volume = r.volume;
            extras.audioFlags =
                (extras.audioFlags & ~uint32_t(kAudioMuted)) | (muted ? kAudioMuted : 0);
            return extras;
        };
        if (r.kind == kKindTrack) {
            project.tracks[r.number].SetSound(TrackSound{r.volume, muted});
        } else if (r.kind == kKindTemplate) {
            project.templateExtras[r.number] = level(project.templateExtras[r.number]);
        } else {
            Track& track = project.tracks[r.number];
            if (!track.SetExtras(r.index, level(track.ExtrasAt(r.index)))) {
                reason = "メモリが足りません。";
                return false;
            }
        }
    }
    return true;
}

}  // namespace kelvane::audio_chunk
