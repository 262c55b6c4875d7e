#include "platform/ProfileFile.h"

#include <cstring>
#include <optional>
#include <vector>

#include "platform/File.h"

namespace kelvane {

namespace {

// The file as lines of raw bytes. Lines that are neither headers nor keys we know are carried
// through a rewrite untouched, byte for byte, whatever their encoding.
struct ProfileText {
    bool bom = false;
    std::string eol = "\n";
    std::vector<std::string> lines;
};

constexpr std::string_view kBom = "\xEF\xBB\xBF";

ProfileText Split(std::string_view bytes) {
    ProfileText text;
    if (bytes.substr(0, kBom.size()) == kBom) {
        text.bom = true;
        bytes.remove_prefix(kBom.size());
    }
    bool eolSeen = false;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            text.lines.emplace_back(bytes.substr(start));
            break;
        }
        size_t stop = end;
        bool crlf = stop > start && bytes[stop - 1] == '\r';
        if (crlf) {
            --stop;
        }
        if (!eolSeen) {
            text.eol = crlf ? "\r\n" : "\n";
            eolSeen = true;
        }
        text.lines.emplace_back(bytes.substr(start, stop - start));
        start = end + 1;
    }
    return text;
}

std::string Join(const ProfileText& text) {
    std::string out;
    if (text.bom) {
        out += kBom;
    }
    for (const std::string& line : text.lines) {
        out += line;
        out += text.eol;
    }
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// "[name]" with anything after the last ']' ignored; a '[' line without ']' is no header.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    size_t close = line.rfind(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') {
        return std::nullopt;
    }
    size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view key = Trim(trimmed.substr(0, eq));
    if (key.empty()) {
        return std::nullopt;
    }
    return KeyLine{key, Trim(trimmed.substr(eq + 1))};
}

struct Location {
    size_t section = SIZE_MAX;  // line of the header; SIZE_MAX when there is none
    size_t key = SIZE_MAX;      // line of the key; SIZE_MAX when the section lacks it
    size_t insertAt = 0;        // where a new key of the section goes
};

// The first section of that name, and in it the first key of that name, as the platform reads.
Location Find(const ProfileText& text, std::string_view section, std::string_view key) {
    Location at;
    section = Trim(section);
    key = Trim(key);
    for (size_t i = 0; i < text.lines.size(); ++i) {
        std::optional<std::string_view> name = SectionName(text.lines[i]);
        if (at.section == SIZE_MAX) {
            if (name && SameName(*name, section)) {
                at.section = i;
                at.insertAt = i + 1;
            }
            continue;
        }
        if (name) {
            break;
        }
        std::optional<KeyLine> entry = ParseKeyLine(text.lines[i]);
        if (!entry) {
            continue;
        }
        at.insertAt = i + 1;
        if (SameName(entry->key, key)) {
            at.key = i;
            break;
        }
    }
    return at;
}

bool Load(const std::u16string& path, ProfileText& text) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        return false;
    }
    text = Split(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return true;
}

std::optional<std::string> Lookup(const std::u16string& path, std::string_view section,
                                  std::string_view key) {
    ProfileText text;
    if (!Load(path, text)) {
        return std::nullopt;
    }
    Location at = Find(text, section, key);
    if (at.key == SIZE_MAX) {
        return std::nullopt;
    }
    return std::string(ParseKeyLine(text.lines[at.key])->value);
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names that would read back as something else, or values that would split into several lines,
// are refused rather than written: they would corrupt the file for every other reader.
bool WritableNames(std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    return !section.empty() && !key.empty() && !HasLineBreak(section) && !HasLineBreak(key) &&
           section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}

}  // namespace

// Like the platform's reader: an optional sign, decimal digits up to the first other character
// (none at all reads as 0), wrapping modulo 2^32 on overflow; a missing or empty value gives
// the default.
int32_t ProfileFile::ReadInt(std::string_view section, std::string_view key,
                             int32_t defaultValue) const {
    std::optional<std::string> value = Lookup(path_, section, key);
    if (!value || value->empty()) {
        return defaultValue;
    }
    std::string_view s = *value;
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    uint32_t total = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            break;
        }
        total = total * 10u + static_cast<uint32_t>(c - '0');
    }
    if (negative) {
        total = 0u - total;
    }
    return static_cast<int32_t>(total);
}

void ProfileFile::ReadString(std::string_view section, std::string_view key,
                             std::u16string_view defaultValue, PathBuffer& out) const {
    std::optional<std::string> value = Lookup(path_, section, key);
    std::u16string text = value ? FromUtf8(*value) : std::u16string(defaultValue);
    size_t n = BoundedLength(text.c_str(), text.size());
    if (n > kPathUnits - 1) {
        n = kPathUnits - 1;
        if (text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) {
            --n;  // never keep half of a surrogate pair
        }
    }
    std::memcpy(out, text.data(), n * sizeof(char16_t));
    out[n] = 0;
}

bool ProfileFile::WriteInt(std::string_view section, std::string_view key, int32_t value) {
    std::string digits = std::to_string(value);
    return WriteString(section, key, FromUtf8(digits));
}

// A missing file is created; an existing one that cannot be read is left alone.
bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::u16string_view value) {
    value = value.substr(0, BoundedLength(value.data(), value.size()));
    std::string utf8 = ToUtf8(value);
    if (!WritableNames(section, key) || HasLineBreak(utf8)) {
        return false;
    }
    section = Trim(section);
    key = Trim(key);
    ProfileText text;
    if (!Load(path_, text) && FileExists(path_)) {
        return false;
    }
    Location at = Find(text, section, key);
    if (at.section == SIZE_MAX) {
        if (!text.lines.empty() && !Trim(text.lines.back()).empty()) {
            text.lines.emplace_back();
        }
        text.lines.push_back("[" + std::string(section) + "]");
        text.lines.push_back(std::string(key) + "=" + utf8);
    } else if (at.key == SIZE_MAX) {
        text.lines.insert(text.lines.begin() + static_cast<ptrdiff_t>(at.insertAt),
                          std::string(key) + "=" + utf8);
    } else {
        // The key keeps the spelling it already has in the file.
        std::string existing(ParseKeyLine(text.lines[at.key])->key);
        text.lines[at.key] = existing + "=" + utf8;
    }
    std::string bytes = Join(text);
    return WriteWholeFile(path_, bytes.data(), bytes.size());
}

}  // namespace kelvane
