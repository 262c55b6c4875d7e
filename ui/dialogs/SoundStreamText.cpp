#include "ui/dialogs/SoundStreamText.h"

#include "media/MediaSource.h"
#include "media/audio/SoundClip.h"
#include "media/audio/SoundFormat.h"
#include "media/audio/SoundMixer.h"

namespace kelvane {

namespace {

QString streamText(const QString& codec, int channels, int rate) {
    return QStringLiteral("音声: %1, %2 ch, %3 Hz").arg(codec).arg(channels).arg(rate);
}

}  // namespace

QString soundStreamText(const FileEntry& entry) {
    if (MediaSource::Of(entry) == nullptr) {
        return {};
    }
    switch (entry.kind) {
        case FileKind::Movie:
            if (const SoundClip* sound = MediaSource::Sound(entry)) {
                return streamText(QString::fromStdString(sound->SourceCodec()),
                                  sound->SourceChannels(), sound->SourceRate());
            }
            return QStringLiteral("音声: なし");
        case FileKind::Project:
            // A nested project sounds with its own mix, made at our rate in stereo.
            return EntryHasSound(entry)
                       ? streamText(QStringLiteral("プロジェクトの音"), kSoundChannels, kSoundRate)
                       : QStringLiteral("音声: なし");
        default:
            return {};
    }
}

}  // namespace kelvane
