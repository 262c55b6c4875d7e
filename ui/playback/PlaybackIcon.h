#pragma once

#include <QIcon>

class QStyle;

// The toolbar's picture of "再生/停止": start while stopped, stop while playing; from the
// desktop's icon theme, or drawn in the text colour where the theme has none.
QIcon playbackIcon(bool playing, const QStyle* style);
