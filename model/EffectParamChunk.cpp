#include "model/EffectParamChunk.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "model/EventExtras.h"
#include "model/Project.h"

namespace kelvane::effect_param_chunk {

namespace {

constexpr uint32_t kVersion = 1;
constexpr uint32_t kKindTrackEvent = 0;
constexpr uint32_t kKindTemplate = 1;
// The effect ABI's type codes.
constexpr uint32_t kNumber = 0, kOnOff = 1, kColour = 2, kPosition = 3, kText = 4;

uint32_t NumberCount(uint32_t type) {
    switch (type) {
        case kNumber:
        case kOnOff:
            return 1;
        case kColour:
            return 3;
        case kPosition:
            return 2;
        default:
            return 0;
    }
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), p, p + 4);
}

void PutF64(std::vector<uint8_t>& out, double value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), p, p + 8);
}

void PutRecord(std::vector<uint8_t>& out, uint32_t kind, uint32_t where, uint32_t event,
               const EffectParamList& values) {
    PutU32(out, kind);
    PutU32(out, where);
    PutU32(out, event);
    PutU32(out, uint32_t(values.size()));
    for (const EffectParamValue& value : values) {
        PutU32(out, value.index);
        PutU32(out, value.type);
        if (value.type == kText) {
            PutU32(out, uint32_t(value.text.size()));
            out.insert(out.end(), value.text.begin(), value.text.end());
        } else {
            for (uint32_t k = 0; k < NumberCount(value.type); ++k)
                PutF64(out, value.numbers[k]);
        }
    }
}

bool ValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = uint8_t(text[i]);
        int extra = lead < 0x80                   ? 0
                    : lead >= 0xC2 && lead < 0xE0 ? 1
                    : lead >= 0xE0 && lead < 0xF0 ? 2
                    : lead >= 0xF0 && lead < 0xF5 ? 3
                                                  : -1;
        if (extra < 0 || i + size_t(extra) >= text.size())
            return false;
        uint32_t cp = lead & (0x7F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto b = uint8_t(text[i + size_t(k)]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
            return false;
        i += size_t(extra) + 1;
    }
    return true;
}

// Reads the body; every failure names the byte of the body where it was found.
class BodyReader {
  public:
    BodyReader(const uint8_t* body, size_t size) : at_(body), begin_(body), end_(body + size) {}

    bool U32(uint32_t& value) { return Take(&value, 4); }
    bool F64(double& value) { return Take(&value, 8); }
    bool Text(uint32_t length, std::string& text) {
        if (length > Remaining())
            return false;
        text.assign(reinterpret_cast<const char*>(at_), length);
        at_ += length;
        return true;
    }
    size_t Remaining() const { return size_t(end_ - at_); }
    size_t Offset() const { return size_t(at_ - begin_); }

  private:
    bool Take(void* out, size_t size) {
        if (size > Remaining())
            return false;
        std::memcpy(out, at_, size);
        at_ += size;
        return true;
    }
    const uint8_t* at_;
    const uint8_t* begin_;
    const uint8_t* end_;
};

struct Parsed {
    uint32_t kind, where, event;
    EffectParamList values;
};

}  // namespace

bool IsOurs(const uint8_t* body, size_t size) {
    return size >= sizeof(kName) && std::memcmp(body, kName, sizeof(kName)) == 0;
}

bool Append(const Project& project, std::vector<uint8_t>& out) {
    std::vector<uint8_t> records;
    uint32_t count = 0;
    for (size_t t = 0; t < project.tracks.size(); ++t) {
        const Track& track = project.tracks[t];
        if (!track.HasExtras())
            continue;
        for (uint32_t i = 0; i < track.Count(); ++i) {
            const auto& values = track.ExtrasAt(i).effectParams;
            if (values) {
                PutRecord(records, kKindTrackEvent, uint32_t(t), i, *values);
                ++count;
            }
        }
    }
    for (size_t slot = 0; slot < project.templateExtras.size(); ++slot) {
        const auto& values = project.templateExtras[slot].effectParams;
        if (values) {
            PutRecord(records, kKindTemplate, uint32_t(slot), 0, *values);
            ++count;
        }
    }
    if (count == 0)
        return true;
    const uint64_t bodySize = sizeof(kName) + 8 + uint64_t(records.size());
    if (bodySize > UINT32_MAX)
        return false;
    PutU32(out, 0);  // the skip tag
    PutU32(out, uint32_t(bodySize));
    out.insert(out.end(), kName, kName + sizeof(kName));
    PutU32(out, kVersion);
    PutU32(out, count);
    out.insert(out.end(), records.begin(), records.end());
    return true;
}

bool Apply(const uint8_t* body, size_t size, Project& project, std::string& reason) {
    BodyReader in(body, size);
    const auto fail = [&](const std::string& what) {
        reason = "効果の設定 (KFXP) の " + std::to_string(in.Offset()) + " バイト目: " + what;
        return false;
    };
    const std::string cut = "チャンクの終わりを越えています。";
    uint32_t name, version, count;
    if (!in.U32(name) || std::memcmp(&name, kName, 4) != 0)
        return fail("名前が違います。");
    if (!in.U32(version))
        return fail(cut);
    if (version != kVersion)
        return fail("対応していないバージョン " + std::to_string(version) + " です。");
    if (!in.U32(count))
        return fail(cut);
    if (count > in.Remaining() / 16)
        return fail("記録の数 " + std::to_string(count) + " が大きすぎます。");
    std::vector<Parsed> parsed;
    std::set<std::pair<uint32_t, uint64_t>> seen;
    for (uint32_t r = 0; r < count; ++r) {
        Parsed p;
        uint32_t values;
        if (!in.U32(p.kind) || !in.U32(p.where) || !in.U32(p.event) || !in.U32(values))
            return fail(cut);
        if (p.kind == kKindTrackEvent) {
            if (p.where >= project.tracks.size())
                return fail("トラック " + std::to_string(p.where) + " はありません。");
            if (p.event >= project.tracks[p.where].Count())
                return fail("トラック " + std::to_string(p.where) + " にイベント " +
                            std::to_string(p.event) + " はありません。");
        } else if (p.kind == kKindTemplate) {
            if (p.where >= project.templateExtras.size() || p.event != 0)
                return fail("テンプレート " + std::to_string(p.where) + " はありません。");
        } else {
            return fail("記録の種類 " + std::to_string(p.kind) + " は不明です。");
        }
        if (!seen.insert({p.kind, (uint64_t(p.where) << 32) | p.event}).second)
            return fail("同じイベントの記録が二つあります。");
        if (values > in.Remaining() / 12)
            return fail("値の数 " + std::to_string(values) + " が大きすぎます。");
        std::set<uint32_t> indices;
        for (uint32_t v = 0; v < values; ++v) {
            EffectParamValue value;
            if (!in.U32(value.index) || !in.U32(value.type))
                return fail(cut);
            if (!indices.insert(value.index).second)
                return fail("設定項目 " + std::to_string(value.index) + " の値が二つあります。");
            if (value.type == kText) {
                uint32_t length;
                if (!in.U32(length) || !in.Text(length, value.text))
                    return fail(cut);
                if (!ValidUtf8(value.text))
                    return fail("文字列が UTF-8 ではありません。");
            } else if (value.type <= kPosition) {
                for (uint32_t k = 0; k < NumberCount(value.type); ++k) {
                    if (!in.F64(value.numbers[k]))
                        return fail(cut);
                    if (!std::isfinite(value.numbers[k]))
                        return fail("数値が有限ではありません。");
                }
            } else {
                return fail("値の種類 " + std::to_string(value.type) + " は不明です。");
            }
            p.values.push_back(std::move(value));
        }
        parsed.push_back(std::move(p));
    }
    if (in.Remaining() != 0)
        return fail("余分なバイトがあります。");
    // Everything was read: only now does the project change.
    for (Parsed& p : parsed) {
        auto values = std::make_shared<const EffectParamList>(std::move(p.values));
        if (p.kind == kKindTemplate) {
            project.templateExtras[p.where].effectParams = std::move(values);
            continue;
        }
        Track& track = project.tracks[p.where];
        EventExtras extras = track.ExtrasAt(p.event);
        extras.effectParams = std::move(values);
        if (!track.SetExtras(p.event, extras)) {
            reason = "メモリが足りません。";
            return false;
        }
    }
    return true;
}

}  // namespace kelvane::effect_param_chunk
