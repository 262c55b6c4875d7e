#include "model/TypedTime.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kelvane {
namespace {

constexpr size_t kFractionDigits = 7;

bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Reads the text the way the C scanner reads "%u", "%7s" and literal characters, except that a
// negative or over-long number fails rather than wrapping.
class Scanner {
  public:
    explicit Scanner(std::u16string_view text) : text_(text) {}

    bool Unsigned(uint32_t& value) {
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == u'+') {
            ++pos_;
        }
        const size_t first = pos_;
        uint64_t v = 0;
        while (pos_ < text_.size() && text_[pos_] >= u'0' && text_[pos_] <= u'9') {
            v = v * 10 + uint64_t(text_[pos_] - u'0');
            if (v > UINT32_MAX) {
                return false;
            }
            ++pos_;
        }
        if (pos_ == first) {
            return false;
        }
        value = uint32_t(v);
        return true;
    }

    bool Literal(char16_t c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    // Up to `limit` characters that are not white space, after skipping white space.
    bool Word(size_t limit, std::u16string_view& word) {
        SkipSpace();
        const size_t first = pos_;
        while (pos_ < text_.size() && pos_ - first < limit && !IsSpace(text_[pos_])) {
            ++pos_;
        }
        word = text_.substr(first, pos_ - first);
        return !word.empty();
    }

  private:
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
    }

    std::u16string_view text_;
    size_t pos_ = 0;
};

// The fraction text as seven decimal places: "5" is 5,000,000, "05" is 500,000.
bool FractionUnits(std::u16string_view word, uint64_t& units) {
    uint32_t v = 0;
    Scanner scanner(word);
    if (!scanner.Unsigned(v)) {
        return false;
    }
    units = v;
    for (size_t n = word.size(); n < kFractionDigits; ++n) {
        units *= 10;
    }
    return true;
}

TypedTime TimeResult(int pattern, uint64_t seconds, std::u16string_view fraction) {
    TypedTime result;
    result.pattern = pattern;
    uint64_t units = 0;
    if (!fraction.empty() && !FractionUnits(fraction, units)) {
        return result;
    }
    // At most (2^32 - 1) x 61 seconds: well inside 63 bits.
    result.kind = TypedTime::Kind::Time;
    result.time = RefTime(seconds * uint64_t(kRefTimePerSecond) + units);
    return result;
}

// "%lf": white space, an optional sign, a finite decimal number; text after it is ignored.
bool ParseDouble(std::u16string_view text, double& value) {
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
    std::string narrow;
    for (; pos < text.size() && text[pos] < 0x80; ++pos) {
        narrow.push_back(char(text[pos]));
    }
    const char* first = narrow.data();
    const char* last = narrow.data() + narrow.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && (*first == '+' || *first == '-')) {
            return false;
        }
    }
    double v = 0;
    const std::from_chars_result r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

}  // namespace

TypedTime ParseTypedTime(std::u16string_view text) {
    uint32_t a = 0;
    uint32_t b = 0;
    std::u16string_view fraction;
    {
        Scanner s(text);
        if (s.Unsigned(a) && s.Literal(u':') && s.Unsigned(b) && s.Literal(u'.') &&
            s.Word(kFractionDigits, fraction)) {
            return TimeResult(1, uint64_t(a) * 60 + b, fraction);
        }
    }
    {
        Scanner s(text);
        if (s.Unsigned(a) && s.Literal(u':') && s.Unsigned(b)) {
            return TimeResult(2, uint64_t(a) * 60 + b, {});
        }
    }
    {
        Scanner s(text);
        if (s.Unsigned(a) && s.Literal(u'.') && s.Word(kFractionDigits, fraction)) {
            return TimeResult(3, a, fraction);
        }
    }
    {
        Scanner s(text);
        if (s.Unsigned(a)) {
            TypedTime result;
            result.kind = TypedTime::Kind::Count;
            result.pattern = 4;
            result.count = a;
            return result;
        }
    }
    return TypedTime{};
}

bool TypedTimeToFrames(const TypedTime& typed, RefTime frameDuration, uint32_t& frames) {
    switch (typed.kind) {
        case TypedTime::Kind::Count:
            frames = typed.count;
            return true;
        case TypedTime::Kind::Time: {
            if (frameDuration <= 0) {
                return false;
            }
            const RefTime n = typed.time / frameDuration;
            if (n < 0 || n > RefTime(UINT32_MAX)) {
                return false;
            }
            frames = uint32_t(n);
            return true;
        }
        default:
            return false;
    }
}

bool TypedTimeToPlaybackPosition(const TypedTime& typed, bool sourceIsMovie,
                                 RefTime movieFrameDuration, RefTime& position) {
    switch (typed.kind) {
        case TypedTime::Kind::Time:
            position = typed.time;
            return true;
        case TypedTime::Kind::Count:
            if (!sourceIsMovie) {
                return false;
            }
            // A count below 2^32 times any sane duration; wrap rather than overflow on others.
            position = RefTime(uint64_t(typed.count) * uint64_t(movieFrameDuration));
            return true;
        default:
            return false;
    }
}

bool ParseSpeed(std::u16string_view text, RefTime frameDuration, RefTime& step) {
    double factor = 0;
    if (!ParseDouble(text, factor) || factor < -65536.0 || factor > 65536.0) {
        return false;
    }
    const double product = factor * double(frameDuration);
    if (!(std::fabs(product) < 9.0e18)) {
        return false;
    }
    step = RefTime(product);
    return true;
}

bool ParseReferenceRate(std::u16string_view text, RefTime& duration) {
    if (text.empty()) {
        duration = 0;
        return true;
    }
    const TypedTime typed = ParseTypedTime(text);
    if (typed.pattern == 1) {
        if (typed.kind != TypedTime::Kind::Time) {
            return false;
        }
        duration = typed.time;
        return true;
    }
    double rate = 0;
    if (!ParseDouble(text, rate) || !(rate > 0)) {
        return false;
    }
    const double d = double(kRefTimePerSecond) / rate + 0.5;
    if (!(d < 9.0e18)) {
        return false;
    }
    duration = RefTime(d);
    return true;
}

}  // namespace kelvane
