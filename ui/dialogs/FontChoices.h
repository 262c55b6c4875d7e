#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "platform/LogFont.h"

namespace kelvane {

// The installed fonts as the file dialog offers them: one record per font and script, in the
// order the font database lists them, so that a font available for several scripts appears once
// under each.
struct FontRecord {
    QString script;   // the "言語" combo's text
    uint8_t charSet;  // the character set a LogFont records for the script
    QString face;
};

std::vector<FontRecord> installedFonts();

// The distinct scripts of the list, in list order.
QStringList fontScripts(const std::vector<FontRecord>& fonts);
// The faces offered under one script, in list order.
QStringList fontFaces(const std::vector<FontRecord>& fonts, const QString& script);
// The record of the entry's font: the same character set and face; else the same face under any
// script; else -1.
int findFont(const std::vector<FontRecord>& fonts, const LogFont& font);

QString faceOf(const LogFont& font);
// "太さ": index 0 to 8 for weights 100 to 900; 3 ("4（標準）") when the weight is not given.
int weightIndex(int32_t weight);
const QStringList& weightNames();

struct FontChoice {
    const FontRecord* record = nullptr;  // nullptr: keep the entry's face and character set
    int size = 0;
    int weightIndex = 3;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};
// What a new text starts with: 48 pixels, regular weight, the Japanese character set and the
// first Japanese Gothic face of the list that the system has (Noto Sans CJK JP where installed),
// else any face offered for Japanese, else the first face of all.
LogFont defaultTextFont(const std::vector<FontRecord>& fonts);
inline constexpr int kDefaultTextSize = 48;

// The LogFont the dialog's choice gives, on the base of the entry's own font.
LogFont logFontFor(const LogFont& entryFont, const FontChoice& choice);

}  // namespace kelvane
