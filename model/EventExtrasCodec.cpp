#include "model/EventExtrasCodec.h"

#include <cstring>
#include <exception>

namespace kelvane {
namespace {

template <typename T>
void Put(std::vector<uint8_t>& out, const T& value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), p, p + sizeof(T));
}

template <typename T>
bool Get(std::span<const uint8_t>& bytes, T& value) {
    if (bytes.size() < sizeof(T)) {
        return false;
    }
    std::memcpy(&value, bytes.data(), sizeof(T));
    bytes = bytes.subspan(sizeof(T));
    return true;
}

bool ReadOne(std::span<const uint8_t>& bytes, EventExtras& extras) {
    uint32_t params = 0;
    if (!Get(bytes, extras.volume) || !Get(bytes, extras.audioFlags) || !Get(bytes, params)) {
        return false;
    }
    if (params == 0) {
        return true;
    }
    // Each parameter takes at least 36 bytes: a count beyond that is a damaged block.
    if (params > bytes.size() / 36) {
        return false;
    }
    auto list = std::make_shared<EffectParamList>(params);
    for (EffectParamValue& value : *list) {
        uint32_t textBytes = 0;
        if (!Get(bytes, value.index) || !Get(bytes, value.type) || !Get(bytes, value.numbers[0]) ||
            !Get(bytes, value.numbers[1]) || !Get(bytes, value.numbers[2]) ||
            !Get(bytes, textBytes) || textBytes > bytes.size()) {
            return false;
        }
        value.text.assign(reinterpret_cast<const char*>(bytes.data()), textBytes);
        bytes = bytes.subspan(textBytes);
    }
    extras.effectParams = std::move(list);
    return true;
}

}  // namespace

bool AppendExtras(std::span<const EventExtras> extras, std::vector<uint8_t>& out) {
    try {
        for (const EventExtras& e : extras) {
            Put(out, e.volume);
            Put(out, e.audioFlags);
            const uint32_t params = e.effectParams ? uint32_t(e.effectParams->size()) : 0;
            Put(out, params);
            for (uint32_t i = 0; i < params; ++i) {
                const EffectParamValue& value = (*e.effectParams)[i];
                Put(out, value.index);
                Put(out, value.type);
                for (double number : value.numbers) {
                    Put(out, number);
                }
                Put(out, uint32_t(value.text.size()));
                out.insert(out.end(), value.text.begin(), value.text.end());
            }
        }
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool ReadExtras(std::span<const uint8_t>& bytes, uint32_t count, std::vector<EventExtras>& extras) {
    extras.clear();
    // Each entry takes at least 12 bytes.
    if (count > bytes.size() / 12) {
        return false;
    }
    try {
        extras.resize(count);
        for (EventExtras& e : extras) {
            if (!ReadOne(bytes, e)) {
                extras.clear();
                return false;
            }
        }
    } catch (const std::exception&) {
        extras.clear();
        return false;
    }
    return true;
}

bool AnyExtras(std::span<const EventExtras> extras) {
    for (const EventExtras& e : extras) {
        if (!e.IsDefault()) {
            return true;
        }
    }
    return false;
}

}  // namespace kelvane
