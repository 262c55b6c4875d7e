#include "ui/playback/PlaybackIcon.h"

#include <QStyle>

QIcon playbackIcon(bool playing, const QStyle* style) {
    return playing ? QIcon::fromTheme(QStringLiteral("media-playback-stop"),
                                      style->standardIcon(QStyle::SP_MediaStop))
                   : QIcon::fromTheme(QStringLiteral("media-playback-start"),
                                      style->standardIcon(QStyle::SP_MediaPlay));
}
