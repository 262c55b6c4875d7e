#include "ui/dialogs/FontChoices.h"

#include <QFontDatabase>
#include <algorithm>

namespace kelvane {

namespace {

// Character sets of the font records, by script.
uint8_t charSetOf(QFontDatabase::WritingSystem system) {
    switch (system) {
        case QFontDatabase::Latin:
            return 0;
        case QFontDatabase::Greek:
            return 161;
        case QFontDatabase::Cyrillic:
            return 204;
        case QFontDatabase::Hebrew:
            return 177;
        case QFontDatabase::Arabic:
            return 178;
        case QFontDatabase::Thai:
            return 222;
        case QFontDatabase::Vietnamese:
            return 163;
        case QFontDatabase::SimplifiedChinese:
            return 134;
        case QFontDatabase::TraditionalChinese:
            return 136;
        case QFontDatabase::Japanese:
            return 128;
        case QFontDatabase::Korean:
            return 129;
        default:
            return 1;
    }
}

}  // namespace

std::vector<FontRecord> installedFonts() {
    std::vector<FontRecord> fonts;
    for (const QFontDatabase::WritingSystem system : QFontDatabase::writingSystems()) {
        const QString script = QFontDatabase::writingSystemName(system);
        for (const QString& family : QFontDatabase::families(system)) {
            fonts.push_back({script, charSetOf(system), family});
        }
    }
    return fonts;
}

QStringList fontScripts(const std::vector<FontRecord>& fonts) {
    QStringList scripts;
    for (const FontRecord& font : fonts) {
        if (!scripts.contains(font.script)) {
            scripts.push_back(font.script);
        }
    }
    return scripts;
}

QStringList fontFaces(const std::vector<FontRecord>& fonts, const QString& script) {
    QStringList faces;
    for (const FontRecord& font : fonts) {
        if (font.script == script) {
            faces.push_back(font.face);
        }
    }
    return faces;
}

QString faceOf(const LogFont& font) {
    const auto end = std::find(std::begin(font.faceName), std::end(font.faceName), u'\0');
    return QString::fromUtf16(font.faceName, end - std::begin(font.faceName));
}

int findFont(const std::vector<FontRecord>& fonts, const LogFont& font) {
    const QString face = faceOf(font);
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (fonts[i].charSet == font.charSet && fonts[i].face == face) {
            return int(i);
        }
    }
    // A project from another machine may name the face under another character set.
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (fonts[i].face == face) {
            return int(i);
        }
    }
    return -1;
}

int weightIndex(int32_t weight) {
    if (weight <= 0) {
        return 3;
    }
    return std::clamp(weight / 100 - 1, 0, 8);
}

const QStringList& weightNames() {
    static const QStringList names = {
        QStringLiteral("1（最細）"), QStringLiteral("2"), QStringLiteral("3"),
        QStringLiteral("4（標準）"), QStringLiteral("5"), QStringLiteral("6"),
        QStringLiteral("7"),         QStringLiteral("8"), QStringLiteral("9（最太）")};
    return names;
}

LogFont defaultTextFont(const std::vector<FontRecord>& fonts) {
    constexpr uint8_t kJapanese = 128;
    static const char* const kPreferred[] = {"Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic",
                                             "IPAGothic",        "TakaoGothic",  "VL Gothic",
                                             "Noto Serif CJK JP"};
    const FontRecord* chosen = nullptr;
    for (const char* face : kPreferred) {
        for (const FontRecord& font : fonts) {
            if (chosen == nullptr && font.charSet == kJapanese &&
                font.face == QLatin1String(face)) {
                chosen = &font;
            }
        }
    }
    for (const FontRecord& font : fonts) {
        if (chosen == nullptr && font.charSet == kJapanese) {
            chosen = &font;
        }
    }
    if (chosen == nullptr && !fonts.empty()) {
        chosen = &fonts.front();
    }
    FontChoice choice;
    choice.record = chosen;
    choice.size = kDefaultTextSize;
    LogFont font = logFontFor(LogFont{}, choice);
    if (chosen == nullptr) {
        font.charSet = kJapanese;
    }
    return font;
}

LogFont logFontFor(const LogFont& entryFont, const FontChoice& choice) {
    LogFont font = entryFont;
    if (choice.record != nullptr) {
        font = LogFont{};
        font.charSet = choice.record->charSet;
        const QString face = choice.record->face.left(31);
        std::copy_n(reinterpret_cast<const char16_t*>(face.utf16()), face.size(), font.faceName);
    }
    font.height = choice.size;
    font.width = 0;
    font.weight = (choice.weightIndex + 1) * 100;
    font.italic = choice.italic ? 1 : 0;
    font.underline = choice.underline ? 1 : 0;
    font.strikeOut = choice.strikeOut ? 1 : 0;
    return font;
}

}  // namespace kelvane
