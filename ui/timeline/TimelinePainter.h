#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QStaticText>

#include "ui/timeline/DetailLayout.h"
#include "ui/timeline/TimelineDocument.h"
#include "ui/timeline/TimelineState.h"
#include "ui/timeline/TimelineWaves.h"
#include "ui/timeline/TrackBars.h"

namespace timeline {

// What a drag in progress shows before the button is released: the selected events of the current
// track moved by a number of frames, or the range the ruler drag would select.
struct DragPreview {
    std::optional<int64_t> eventShift;
    std::optional<std::pair<uint32_t, uint32_t>> rulerRange;
};

// One paint of the view: where the window lies over the document and which part of the window
// needs painting, both in window pixels.
struct PaintRequest {
    int64_t scrollX = 0;
    int64_t scrollY = 0;
    QSize client;
    QRect exposed;
    DragPreview drag;
};

// Draws the timeline with a QPainter. Only what lies in the exposed rectangle is drawn; texts that
// do not change while scrolling (time labels, track numbers, file IDs) are laid out once and kept.
// Events with sound carry their waveform inside their bar once its peaks are made; until then,
// and for events without sound, the bar is drawn plain.
class TimelinePainter {
  public:
    explicit TimelinePainter(QFont font);

    void paint(QPainter& painter, const TimelineState& state, const TimelineDocument& doc,
               const PaintRequest& request);
    const QFont& font() const { return font_; }
    // Width of the strip at the left edge that holds the track numbers.
    int numberStripWidth() const { return numberStripWidth_; }
    // Where the peaks of the sounds come from.
    TimelineWaves& waves() { return waves_; }

  private:
    struct Area;
    void paintRows(QPainter& p, const Area& a);
    void paintRowStrip(QPainter& p, const Area& a, const kelvane::Track& track, int64_t barTop,
                       int64_t barBottom, const QColor& background,
                       std::span<const WaveColumn> rowWave);
    void paintLaneWave(QPainter& p, const Area& a, const ItemBox& box);
    void paintCurrentTrackFrame(QPainter& p, const Area& a);
    void paintRuler(QPainter& p, const Area& a);
    void paintDetail(QPainter& p, const Area& a);
    void paintEventGhosts(QPainter& p, const Area& a, int64_t shift);
    const QStaticText& labelText(uint32_t frame, double frameRate);
    const QStaticText& numberText(uint32_t number, int digits);

    // Up to this many spans a row is filled span by span, beyond it through the strip.
    static constexpr size_t kRectSpanLimit = 32;

    // An event of a row whose bar shows with a wave: its index and its columns.
    struct ShownEvent {
        uint32_t index;
        int64_t left;
        int64_t right;
    };

    QFont font_;
    TimelineWaves waves_;
    std::vector<BarSpan> spans_;
    std::vector<ShownEvent> waved_;
    std::vector<WaveColumn> columns_;
    QImage strip_;
    int textOffset_ = 0;  // from a 16-pixel row's top to the text's top, centring it
    int numberStripWidth_ = 32;
    double labelRate_ = 0;
    QHash<uint32_t, QStaticText> labels_;
    QHash<uint32_t, QStaticText> numbers_;
};

}  // namespace timeline
