// Waveforms in the timeline: the peaks of a sound, the cache that makes them on its own thread,
// the wave of an event following its source time, and bars painted while peaks are pending.
#include <QtTest>

#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <future>
#include <random>
#include <span>

#include "TimelineTestSupport.h"
#include "media/MediaSource.h"
#include "media/audio/SoundClip.h"
#include "media/audio/SoundPeaks.h"
#include "media/audio/SoundPeaksCache.h"
#include "ui/timeline/TimelineColours.h"
#include "ui/timeline/TimelineWaves.h"

using kelvane::SoundClip;
using kelvane::SoundPeaks;
using kelvane::SoundPeaksCache;
using timeline::testing::keepScreenshot;
using timeline::testing::paintView;
using timeline::testing::TimelineFixture;
using timeline::testing::usedEvent;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr kelvane::RefTime kFrame = 400'000;  // 25 frames per second: 1920 samples a frame
// At the timeline's first zoom (4 frames per 32 pixels) a column holds 240 samples.
constexpr int64_t kSamplesPerColumn = 240;
// The click: one sample, loud to the left, less so to the right, well inside a bucket of 256.
constexpr int64_t kClickAt = 256 * 190 + 100;

std::shared_ptr<const SoundClip> clickClip(int64_t samples) {
    std::vector<float> data(size_t(samples) * 2, 0.0f);
    if (kClickAt < samples) {
        data[size_t(kClickAt) * 2] = 0.9f;
        data[size_t(kClickAt) * 2 + 1] = -0.6f;
    }
    return SoundClip::FromSamples(std::move(data));
}

void placeClip(kelvane::Project& project, int32_t slot, std::shared_ptr<const SoundClip> clip) {
    auto source = std::make_unique<kelvane::MediaSource>();
    source->sound = std::move(clip);
    project.files[size_t(slot)].loaded = std::move(source);
    project.files[size_t(slot)].kind = kelvane::FileKind::Movie;
}

kelvane::TrackEvent soundEvent(uint32_t start, int32_t fileId, double seconds, double speed,
                               uint32_t flags = 0) {
    kelvane::TrackEvent event = usedEvent(start, fileId);
    event.flags |= flags;
    event.position = kelvane::RefTime(std::llround(seconds * 1e7));
    event.step = kelvane::RefTime(std::llround(speed * double(kFrame)));
    return event;
}

void setTrack(kelvane::Track& track, std::vector<kelvane::TrackEvent> events) {
    QVERIFY(track.Reset(0));
    QVERIFY(track.InsertSorted(events.data(), uint32_t(events.size())));
}

// The peaks of samples [first, last) read one by one: every bucket the range touches within the
// sound, and silence for what lies outside it.
SoundPeaks::Peak bruteForce(const std::vector<float>& data, int64_t first, int64_t last) {
    const int64_t length = int64_t(data.size() / 2);
    int64_t from = std::max<int64_t>(first, 0);
    int64_t to = std::min(last, length);
    if (from < to) {
        from = from / 256 * 256;
        to = std::min((to + 255) / 256 * 256, length);
    }
    SoundPeaks::Peak peak{};
    bool any = first < 0 || last > length;
    for (int64_t s = from; s < to; ++s) {
        for (int c = 0; c < 2; ++c) {
            const float v = data[size_t(s * 2 + c)];
            peak.low = any ? std::min(peak.low, v) : v;
            peak.high = any ? std::max(peak.high, v) : v;
            any = true;
        }
    }
    return peak;
}

// A cache whose thread waits at a gate before it makes any peaks, or, with `heldLength`, before
// it makes those of sounds that many samples long.
struct GatedCache {
    explicit GatedCache(int64_t heldLength = -1) : held(heldLength) {}
    int64_t held;
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    SoundPeaksCache cache{
        [opened = opened, held = held](const SoundClip& clip, const std::atomic<bool>&) {
            if (held < 0 || clip.Length() == held) {
                opened.wait();
            }
            return SoundPeaks::Summarise(clip);
        }};
    bool open = false;
    void release() {
        if (!open) {
            gate.set_value();
            open = true;
        }
    }
    ~GatedCache() { release(); }
};

int countColour(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += image.pixelColor(x, y) == colour;
        }
    }
    return n;
}

}  // namespace

class TimelineWaveformTest : public QObject {
    Q_OBJECT
  private slots:
    void peaksOfASineAndAClickMatchTheSamples() {
        // Two seconds and a bit: a 1 kHz sine at half level on the left, a click on the right.
        const int64_t length = 2 * 48'000 + 77;
        std::vector<float> data(size_t(length) * 2);
        for (int64_t s = 0; s < length; ++s) {
            data[size_t(s) * 2] = float(0.5 * std::sin(2 * kPi * 1000.0 * double(s) / 48'000));
        }
        data[size_t(kClickAt) * 2 + 1] = 0.95f;
        const auto clip = SoundClip::FromSamples(data);
        const auto peaks = SoundPeaks::Summarise(*clip);
        QVERIFY(peaks);
        QCOMPARE(peaks->Length(), length);
        QCOMPARE(peaks->Buckets().size(), size_t((length + 255) / 256));
        // Every bucket holds more than a period: near ±0.5 everywhere, the click where it is.
        for (size_t b = 0; b < peaks->Buckets().size() - 1; ++b) {
            const SoundPeaks::Peak peak = peaks->Buckets()[b];
            QVERIFY2(peak.low < -0.498f && peak.low >= -0.5f, qPrintable(QString::number(b)));
            if (b == size_t(kClickAt / 256)) {
                QCOMPARE(peak.high, 0.95f);
            } else {
                QVERIFY2(peak.high > 0.498f && peak.high <= 0.5f, qPrintable(QString::number(b)));
            }
        }
        // Any range, across levels and past both ends, as reading the samples one by one.
        std::mt19937 random(11);
        std::uniform_int_distribution<int64_t> position(-3000, length + 3000);
        for (int i = 0; i < 3000; ++i) {
            int64_t first = position(random);
            int64_t last = i % 3 == 0 ? first + 1 + i % 700 : position(random);
            if (first > last) {
                std::swap(first, last);
            }
            if (first == last) {
                continue;
            }
            const SoundPeaks::Peak expected = bruteForce(data, first, last);
            const SoundPeaks::Peak got = peaks->Over(first, last);
            QVERIFY2(got.low == expected.low && got.high == expected.high,
                     qPrintable(QStringLiteral("[%1, %2): %3..%4, expected %5..%6")
                                    .arg(first)
                                    .arg(last)
                                    .arg(got.low)
                                    .arg(got.high)
                                    .arg(expected.low)
                                    .arg(expected.high)));
        }
        // Nothing at all is silence; so is an empty sound.
        QCOMPARE(peaks->Over(length + 10, length + 20).high, 0.0f);
        const auto empty = SoundPeaks::Summarise(*SoundClip::FromSamples({}));
        QCOMPARE(empty->Over(0, 1000).low, 0.0f);
    }

    void theCacheMakesPeaksOnceAndForgetsGoneSounds() {
        SoundPeaksCache cache;
        std::atomic<int> made{0};
        kelvane::Subscription listening = cache.Listen([&] { ++made; });
        std::vector<std::shared_ptr<const SoundClip>> clips;
        for (int i = 0; i < 6; ++i) {
            clips.push_back(clickClip(48'000 + 1000 * i));
        }
        // Asked again and again while the thread works; one of them goes away meanwhile.
        std::weak_ptr<const SoundClip> gone = clips[3];
        for (int round = 0; round < 50; ++round) {
            for (const auto& clip : clips) {
                cache.Find(clip);
            }
            if (round == 2) {
                clips[3] = clickClip(500);
            }
        }
        QTRY_VERIFY(std::all_of(clips.begin(), clips.end(),
                                [&](const auto& clip) { return cache.Find(clip) != nullptr; }));
        QVERIFY(gone.expired());
        for (const auto& clip : clips) {
            QCOMPARE(cache.Find(clip)->Buckets().size(),
                     SoundPeaks::Summarise(*clip)->Buckets().size());
            QCOMPARE(cache.Find(clip)->Over(kClickAt, kClickAt + 1).high,
                     clip->Length() > kClickAt ? 0.9f : 0.0f);
        }
        // Each sound once (the one that went away may or may not have been made first).
        QVERIFY(made >= 6 && made <= 7);
        // A listener that has gone hears nothing more.
        listening.Cancel();
        const int before = made;
        auto late = clickClip(1234);
        cache.Find(late);
        QTRY_VERIFY(cache.Find(late) != nullptr);
        QCOMPARE(made.load(), before);
    }

    void theWaveFollowsTheSourceTime() {
        TimelineFixture f;
        kelvane::Project& project = f.arrange();
        project.settings.frameRate = 25.0;
        project.settings.frameDuration = kFrame;
        placeClip(project, 1, clickClip(4 * 48'000));
        SoundPeaksCache cache;
        QTRY_VERIFY(cache.Find(kelvane::MediaSource::Of(project.files[1])->sound) != nullptr);

        // Where the click is heard (output sample), per track; none for a still or a muted track.
        setTrack(f.track(0), {soundEvent(0, 1, 0.0, 1.0)});
        setTrack(f.track(1), {soundEvent(0, 1, 0.0, 2.0)});
        setTrack(f.track(2), {soundEvent(0, 1, 2.0, -1.0)});
        // Interpolated from source 0 at frame 0 to source 4 s at frame 50: twice as fast.
        setTrack(f.track(3), {soundEvent(0, 1, 0.0, 1.0, kelvane::kEventInterpolate),
                              soundEvent(50, 1, 4.0, 1.0)});
        setTrack(f.track(4), {soundEvent(0, 1, double(kClickAt) / 48'000, 0.0)});
        setTrack(f.track(5), {soundEvent(0, 1, 0.0, 1.0)});
        f.track(5).SetSound(kelvane::TrackSound{1.0f, true});
        setTrack(f.track(6), {soundEvent(0, 1, 0.0, 1.0)});
        f.track(6).SetSound(kelvane::TrackSound{0.5f, false});
        // Starting a second in, at 1 s of the source: the click is in the part before it.
        setTrack(f.track(7), {soundEvent(25, 1, 1.0 + 0.1, 1.0)});
        const std::vector<int64_t> heardAt = {
            kClickAt, kClickAt / 2, 2 * 48'000 - kClickAt, kClickAt / 2, -1, -1, kClickAt, -1};

        timeline::TimelineWaves waves(cache);
        waves.begin(project);
        const int height = timeline::kRowHeight - 2;
        const int middle = height / 2;
        std::vector<timeline::WaveColumn> columns;
        for (uint32_t t = 0; t < heardAt.size(); ++t) {
            const uint32_t index = 0;
            // Two seconds: track 3's first event ends there.
            const int64_t from = timeline::frameToX(f.track(t).EventSpan()[index].start, 4);
            QVERIFY(waves.columns(f.track(t), index, 4, from, 400, height, columns));
            QCOMPARE(columns.size(), size_t(400 - from));
            std::vector<int64_t> loud;
            for (size_t c = 0; c < columns.size(); ++c) {
                QVERIFY(columns[c].top >= 0 && columns[c].top <= columns[c].bottom);
                if (columns[c].top != middle || columns[c].bottom != middle) {
                    loud.push_back(from + int64_t(c));
                }
            }
            const QString where = QStringLiteral("track %1").arg(t);
            if (heardAt[t] < 0) {
                QVERIFY2(loud.empty(), qPrintable(where));
                continue;
            }
            // Peaks come per 256 samples: the click shows in the column where it is heard and at
            // most two on either side.
            const int64_t exact = heardAt[t] / kSamplesPerColumn;
            QVERIFY2(!loud.empty() && loud.front() >= exact - 2 && loud.back() <= exact + 2,
                     qPrintable(where + QStringLiteral(": at %1, heard at %2")
                                            .arg(loud.empty() ? -1 : loud.front())
                                            .arg(exact)));
            const timeline::WaveColumn click = columns[size_t(exact - from)];
            // +0.9 near the top, -0.6 below the middle; at half volume half as far out.
            QCOMPARE(int(click.top), t == 6 ? 3 : 0);
            QCOMPARE(int(click.bottom), t == 6 ? 9 : 11);
        }
        // A file without sound draws no wave; past the project's end there is nothing to draw.
        QVERIFY(!waves.hasWave(2));
        project.settings.length = 30;
        waves.begin(project);
        QVERIFY(waves.columns(f.track(0), 0, 4, 200, 260, height, columns));
        QCOMPARE(int(columns[39].top), middle);
        QCOMPARE(int(columns[40].top), -1);  // frame 30 begins at column 240
        waves.end();
    }

    // Several events to a column, of every kind: the column is the union of what each of them
    // draws there by itself.
    void zoomedOutEachColumnShowsTheLoudestOfEveryEventUnderIt() {
        TimelineFixture f;
        kelvane::Project& project = f.arrange();
        // 30 frames a second: frames begin between samples, and so columns too.
        project.settings.frameRate = 30.0;
        project.settings.frameDuration = 333'333;
        project.settings.length = 6000;
        // A sound whose loudness changes every 0.1 s, so that neighbouring stretches differ,
        // beside the click; file 3 has no sound.
        std::vector<float> data(size_t(6 * 48'000) * 2);
        for (size_t s = 0; s < data.size() / 2; ++s) {
            const double level = double((s / 4800 * 7) % 10) / 10.0;
            data[s * 2] = float(level * std::sin(double(s) * 0.05));
            data[s * 2 + 1] = float(-0.5 * level * std::cos(double(s) * 0.03));
        }
        placeClip(project, 1, clickClip(4 * 48'000));
        placeClip(project, 2, SoundClip::FromSamples(std::move(data)));
        SoundPeaksCache cache;
        QTRY_VERIFY(cache.Find(kelvane::MediaSource::Of(project.files[1])->sound) != nullptr);
        QTRY_VERIFY(cache.Find(kelvane::MediaSource::Of(project.files[2])->sound) != nullptr);

        std::mt19937 random(31);
        const auto pick = [&](int n) { return int(random() % uint32_t(n)); };
        for (uint32_t t = 1; t <= 6; ++t) {
            std::vector<kelvane::TrackEvent> events;
            uint32_t start = uint32_t(pick(5));
            for (int k = 0; k < 300; ++k) {
                const double speeds[] = {1.0, 1.0, 2.0, 0.5, -1.0, 0.0, 3.7};
                events.push_back(soundEvent(start, 1 + pick(3), 0.25 * pick(20), speeds[pick(7)],
                                            pick(5) == 0 ? kelvane::kEventInterpolate : 0));
                start += uint32_t(pick(4) == 0 ? 0 : 1 + pick(t * 8));
            }
            setTrack(f.track(t), events);
            for (uint32_t k = 0; k < f.track(t).Count(); k += 3) {
                kelvane::EventExtras extras;
                extras.volume = float(pick(5)) * 0.6f;
                extras.audioFlags = pick(6) == 0 ? kelvane::kAudioMuted : 0;
                QVERIFY(f.track(t).SetExtras(k, extras));
            }
        }
        f.track(5).SetSound(kelvane::TrackSound{0.5f, false});
        f.track(6).SetSound(kelvane::TrackSound{1.0f, true});

        timeline::TimelineWaves waves(cache);
        waves.begin(project);
        const int height = timeline::kRowHeight - 2;
        const auto expected = [&](uint32_t t, uint32_t zoom, int64_t left, int64_t right) {
            // The union of what each event draws there by itself.
            std::vector<timeline::WaveColumn> all(size_t(right - left));
            std::vector<timeline::WaveColumn> one;
            for (uint32_t k = 0; k < f.track(t).Count(); ++k) {
                if (!waves.columns(f.track(t), k, zoom, left, right, height, one)) {
                    continue;
                }
                for (size_t c = 0; c < one.size(); ++c) {
                    if (one[c].top < 0) {
                        continue;
                    }
                    all[c] = all[c].top < 0
                                 ? one[c]
                                 : timeline::WaveColumn{std::min(all[c].top, one[c].top),
                                                        std::max(all[c].bottom, one[c].bottom)};
                }
            }
            return all;
        };
        const auto same = [](std::span<const timeline::WaveColumn> got,
                             const std::vector<timeline::WaveColumn>& want) {
            return std::ranges::equal(got, want);
        };

        int loud = 0;
        for (uint32_t t = 1; t <= 6; ++t) {
            for (uint32_t zoom : {64u, 256u, 1024u}) {
                const int64_t end = timeline::frameToX(f.track(t).EventSpan().back().start, zoom);
                const int64_t left = std::max<int64_t>(0, end / 3 - 7);
                const int64_t right = end + 30;
                const auto want = expected(t, zoom, left, right);
                const QString where = QStringLiteral("track %1, zoom %2").arg(t).arg(zoom);
                QVERIFY2(same(waves.rowColumns(t, f.track(t), zoom, left, right, height), want),
                         qPrintable(where));
                // Kept, a part of it reads the same.
                QVERIFY2(same(waves.rowColumns(t, f.track(t), zoom, left + 5, left + 25, height),
                              std::vector(want.begin() + 5, want.begin() + 25)),
                         qPrintable(where));
                loud += int(std::count_if(want.begin(), want.end(), [&](auto c) {
                    return c.top >= 0 && c.top < height / 2 - 1;
                }));
            }
        }
        QVERIFY(loud > 200);
        waves.end();
    }

    void keptWavesFollowEditsAndArrivingPeaks() {
        const int64_t heldLength = 4 * 48'000 + 1;
        GatedCache gated(heldLength);
        TimelineFixture f(QSize(640, 300));
        f.view->setPeaksCache(gated.cache);
        kelvane::Project& project = f.arrange();
        project.settings.frameRate = 25.0;
        project.settings.frameDuration = kFrame;
        project.settings.length = 20'000;
        placeClip(project, 1, clickClip(4 * 48'000));
        placeClip(project, 2, clickClip(heldLength));
        // Zoomed out to 1024, column 125 holds frames 4000-4031: the click of file 2, whose peaks
        // are held back, 0.115 s into the first event, silence of file 1 in the other two.
        setTrack(f.track(0), {soundEvent(4000, 2, 0.9, 1.0), soundEvent(4010, 1, 2.5, 1.0),
                              soundEvent(4020, 1, 3.0, 1.0)});
        f.doc.UpdateAllViews(nullptr, kelvane::UpdateHint::Timeline);
        while (f.view->state().zoom < 1024) {
            f.view->runCommand(CommandId::ZoomOut);
        }
        f.view->horizontalScrollBar()->setValue(0);
        const int column = 125;
        const int barTop = timeline::trackRowTop(0) + 1;
        const auto paint = [&] { return paintView(*f.view, f.viewport()->size()); };
        const auto topOfColumn = [&] { return paint().pixelColor(column, barTop); };
        // Until file 2's peaks are made, the column holds file 1's silence: a line.
        QTRY_COMPARE(paint().pixelColor(column, barTop + (timeline::kRowHeight - 2) / 2),
                     timeline::colours::kWave);
        QCOMPARE(topOfColumn(), timeline::colours::kBar);
        // Once they are, the rows kept without them give way.
        gated.release();
        QTRY_COMPARE(topOfColumn(), timeline::colours::kWave);
        // Painted piece by piece, out of rows kept for other pieces, it adds up to the same.
        const QImage whole = paint();
        QCOMPARE(paintView(*f.view, QSize(53, 11)), whole);
        QCOMPARE(paint(), whole);

        // Deleting the loud event through the document leaves a line; undo brings it back.
        f.doc.Timeline().Select(0, [](uint32_t k, const kelvane::TrackEvent&) { return k == 0; });
        QCOMPARE(topOfColumn(), timeline::colours::kWave);
        QVERIFY(f.doc.Timeline().Delete(0));
        QCOMPARE(topOfColumn(), timeline::colours::kBar);
        f.doc.Undo();
        QCOMPARE(topOfColumn(), timeline::colours::kWave);

        // Kept rows know their track by its arrays and its sound, not by what the view hears: a
        // painter that hears nothing sees each edit too.
        timeline::TimelineWaves waves(gated.cache);
        const int height = timeline::kRowHeight - 2;
        const auto topRow = [&] {
            waves.begin(f.doc.GetProject());
            const int top = waves
                                .rowColumns(0, f.doc.GetProject().tracks[0], 1024, 100, 200,
                                            height)[column - 100]
                                .top;
            waves.end();
            return top;
        };
        QCOMPARE(topRow(), 0);
        QVERIFY(f.doc.Timeline().SetTrackMuted(0, true));
        QCOMPARE(topRow(), height / 2);
        QVERIFY(f.doc.Timeline().SetTrackMuted(0, false));
        QCOMPARE(topRow(), 0);
        // A move keeps the count: the event, 100 frames on, leaves the column.
        QVERIFY(f.doc.Timeline().MoveSelected(0, 4000, 4100, false));
        QCOMPARE(f.track(0).EventSpan()[2].start, 4100u);
        QCOMPARE(topRow(), height / 2);
    }

    void barsDrawPlainWhilePeaksArePendingAndTheirWaveOnceMade() {
        GatedCache gated;
        const auto arrange = [](TimelineFixture& f, bool withSound) {
            kelvane::Project& project = f.arrange();
            project.settings.frameRate = 25.0;
            project.settings.frameDuration = kFrame;
            if (withSound) {
                placeClip(project, 1, clickClip(4 * 48'000));
            }
            setTrack(f.track(0), {soundEvent(0, 1, 0.0, 1.0), soundEvent(150, 2, 0.0, 1.0)});
            setTrack(f.track(2), {soundEvent(10, 2, 0.0, 1.0), soundEvent(40, 2, 0.0, 1.0)});
            f.track(2).Events()[1].flags |= kelvane::kEventSelected;
            f.doc.UpdateAllViews(nullptr, kelvane::UpdateHint::Timeline);
        };
        TimelineFixture plain(QSize(640, 300));
        arrange(plain, false);
        TimelineFixture f(QSize(640, 300));
        f.view->setPeaksCache(gated.cache);
        arrange(f, true);
        // What the view left on screen, not what a fresh paint would show.
        const auto onScreen = [&] {
            QApplication::processEvents();
            const QPoint origin = f.viewport()->mapTo(f.view->window(), QPoint(0, 0));
            return f.view->window()
                ->screen()
                ->grabWindow(f.view->window()->winId(), origin.x(), origin.y(),
                             f.viewport()->width(), f.viewport()->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        // The bar right of the track number, across the pane.
        const int width = f.viewport()->width();
        const int barTop = timeline::trackRowTop(0) + 1;
        const QRect bar(40, barTop, width - 40, timeline::kRowHeight - 2);

        // The thread is held at the gate: painting goes on without the wave, exactly as a bar
        // without sound, in both modes.
        const QImage before = paintView(*f.view, f.viewport()->size());
        QCOMPARE(before, paintView(*plain.view, plain.viewport()->size()));
        f.view->runCommand(CommandId::AllTracks);
        plain.view->runCommand(CommandId::AllTracks);
        QCOMPARE(paintView(*f.view, f.viewport()->size()),
                 paintView(*plain.view, plain.viewport()->size()));
        f.view->runCommand(CommandId::AllTracks);
        plain.view->runCommand(CommandId::AllTracks);
        QVERIFY(gated.cache.Size() == 1);

        QCOMPARE(countColour(onScreen(), bar, timeline::colours::kWave), 0);

        // Once made, the view repaints by itself.
        gated.release();
        QTRY_VERIFY(countColour(onScreen(), bar, timeline::colours::kWave) > 600);
        const QImage after = paintView(*f.view, f.viewport()->size());
        QCOMPARE(onScreen(), after);
        keepScreenshot(after, QStringLiteral("timeline_waveform"));
        // Only track 0's bar, up to the next event (frame 150, x 1200: off the pane), changed.
        QVERIFY(countColour(after, bar, timeline::colours::kWave) > 600);
        for (int y = 0; y < after.height(); ++y) {
            if (y < bar.top() || y > bar.bottom()) {
                QCOMPARE(after.copy(0, y, width, 1), before.copy(0, y, width, 1));
            }
        }
        // The click, 1.015 s in (x 203), reaches the bar's top row; silence is one row.
        QCOMPARE(after.pixelColor(203, barTop), timeline::colours::kWave);
        QCOMPARE(after.pixelColor(100, barTop), timeline::colours::kBar);
        QCOMPARE(countColour(after, QRect(100, barTop, 1, bar.height()), timeline::colours::kWave),
                 1);
        // Exposed piece by piece, it adds up to the same; selected, the wave takes its colour.
        QCOMPARE(paintView(*f.view, QSize(97, 7)), after);
        f.track(0).Events()[0].flags |= kelvane::kEventSelected;
        QVERIFY(countColour(paintView(*f.view, QSize(61, 13)), bar,
                            timeline::colours::kSelectedWave) > 600);

        // The lane of the detail mode shows it inside the box, under the file ID.
        f.view->runCommand(CommandId::AllTracks);
        const QImage detail = paintView(*f.view, f.viewport()->size());
        keepScreenshot(detail, QStringLiteral("timeline_waveform_detail"));
        QCOMPARE(paintView(*f.view, QSize(53, 11)), detail);
        const QRect lane(40, timeline::kDetailLaneTop + 1, width - 40,
                         timeline::kDetailLaneBottom - timeline::kDetailLaneTop - 2);
        QVERIFY(countColour(detail, lane, timeline::colours::kSelectedDetailWave) > 600);
        // +0.9 of a 30-row wave: from its second row.
        QCOMPARE(detail.pixelColor(203, timeline::kDetailLaneTop + 2),
                 timeline::colours::kSelectedDetailWave);
        QCOMPARE(detail.pixelColor(203, timeline::kDetailLaneTop + 1),
                 timeline::colours::kSelectedBoxFill);
    }
};

QTEST_MAIN(TimelineWaveformTest)
#include "timeline_waveform_test.moc"
