#include "ui/playback/PlaybackStatus.h"

#include "model/TimeFormat.h"

QString playingStatus(uint32_t frame, double frameRate, uint64_t dropped) {
    return QStringLiteral("再生中 %1 (コマ落ち %2)")
        .arg(QString::fromStdU16String(kelvane::FormatFrameTime(frame, frameRate)))
        .arg(dropped);
}
