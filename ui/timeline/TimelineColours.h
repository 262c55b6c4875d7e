#pragma once

#include <QColor>

// The timeline's palette.
namespace timeline::colours {

inline const QColor kWindow(255, 255, 255);
inline const QColor kRulerTop(255, 255, 255);
inline const QColor kRulerTicks(192, 192, 192);
inline const QColor kRow(192, 192, 192);
inline const QColor kCurrentRow(128, 128, 255);
inline const QColor kSelectedBar(0, 0, 192);
inline const QColor kBar(128, 128, 128);
inline const QColor kDetailLane(224, 224, 224);
inline const QColor kCursor(255, 0, 0);
inline const QColor kTick(0, 0, 0);
inline const QColor kSelectionRange(0, 0, 192);
inline const QColor kScaleMark(128, 0, 128);
inline const QColor kBoxFill(255, 255, 255);
inline const QColor kBoxOutline(192, 192, 192);
inline const QColor kSelectedBoxFill(192, 192, 192);
inline const QColor kSelectedBoxOutline(128, 128, 128);
inline const QColor kDragGhost(255, 128, 0);
// The waveform of an event with sound, inside its bar (all tracks) and its lane box (detail).
inline const QColor kWave(64, 64, 64);
inline const QColor kSelectedWave(128, 160, 255);
inline const QColor kDetailWave(144, 144, 144);
inline const QColor kSelectedDetailWave(96, 96, 96);
// The stroke through the number of a track whose sound is muted.
inline const QColor kMutedTrack(192, 0, 0);

}  // namespace timeline::colours
