#include "ui/lists/ListRowTexts.h"

#include "media/MediaSource.h"
#include "media/audio/SoundClip.h"
#include "model/TimeFormat.h"
#include "platform/Path.h"

namespace kelvane {
namespace {

QString fromUtf16(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

QString idText(uint32_t id) {
    return QStringLiteral("ID:%1").arg(id, 4, 10, QLatin1Char('0'));
}

// The kind's column (12 characters); an entry drawn with alpha (its own, a text's smooth edges
// or a nested project's transparent background) is marked "α" there.
QString kindColumn(const QString& column, const FileEntry& entry) {
    if ((entry.pixelFlags & AllowedPixelFlags(entry.kind)) == 0) {
        return column;
    }
    return (column.trimmed() + QStringLiteral(" α")).leftJustified(column.size());
}

}  // namespace

QString fileRowText(const Project& project, uint32_t id) {
    if (id >= kFileSlots) {
        return {};
    }
    const FileEntry& entry = project.files[id];
    const QString head = QStringLiteral(" ") + idText(id) + QStringLiteral(" ");
    QString subject;
    switch (entry.kind) {
        case FileKind::Movie:
            subject = QStringLiteral("動画          ");
            break;
        case FileKind::Image:
            subject = QStringLiteral("画像          ");
            break;
        case FileKind::Text: {
            QString text = fromUtf16(entry.text);
            text.replace(QLatin1Char('\r'), QLatin1Char(' '));
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
            return head + kindColumn(QStringLiteral("テキスト      "), entry) + text;
        }
        case FileKind::Effect:
            subject = QStringLiteral("効果          ");
            break;
        case FileKind::Project:
            subject = QStringLiteral("プロジェクト  ");
            break;
        default:
            return head + QStringLiteral("不明");
    }
    subject = kindColumn(subject, entry);
    if (const SoundClip* sound = MediaSource::Sound(entry)) {
        // How long the sound lasts, before the name, where rows without sound show nothing.
        const RefTime length = RefTime(sound->Length() * kRefTimePerSecond / kSoundRate);
        subject += QStringLiteral("音声 ") + fromUtf16(FormatRefTime(length)) + QStringLiteral(" ");
    }
    return head + subject + fromUtf16(PathView(entry.path));
}

QString templateRowText(const Project& project, uint32_t slot, char16_t key) {
    if (slot >= kTemplateSlots) {
        return {};
    }
    const EventTemplate& t = project.templates[slot];
    const QString head = QStringLiteral(" ") + QChar(key) + QStringLiteral(" ");
    if (!TemplateInUse(t)) {
        return head + QStringLiteral("未設定");
    }
    const FileKind kind = t.fileId >= 0 && size_t(t.fileId) < kFileSlots
                              ? project.files[size_t(t.fileId)].kind
                              : FileKind::None;
    const QString id = idText(uint32_t(t.fileId));
    const auto timed = [&](const QString& name) {
        return head + id + QStringLiteral(" ") + name + QStringLiteral(" ") +
               fromUtf16(FormatRefTime(t.position)) + QStringLiteral(" x") +
               fromUtf16(FormatSpeed(t.step, project.settings.frameDuration));
    };
    switch (kind) {
        case FileKind::Movie:
            return timed(QStringLiteral("動画"));
        case FileKind::Project:
            return timed(QStringLiteral("プロジェクト"));
        case FileKind::Image:
            return head + id + QStringLiteral(" 画像");
        case FileKind::Text:
            return head + id + QStringLiteral(" テキスト");
        case FileKind::Effect:
            return head + id + QStringLiteral(" 効果");
        default:
            return head + id + QStringLiteral(" 不明");
    }
}

}  // namespace kelvane
