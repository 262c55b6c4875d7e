#include "ui/dialogs/EventPropertyValues.h"

#include <QStringList>
#include <cstdlib>

#include "model/TypedTime.h"
#include "render/EventGeometry.h"

namespace kelvane {

namespace {

std::u16string_view view(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())};
}

float* parameterField(TrackEvent& event, int index) {
    float* fields[kParameterCount] = {&event.referenceX, &event.referenceY, &event.scale,
                                      &event.rotation,   &event.positionX,  &event.positionY};
    return fields[index];
}

}  // namespace

EventPropertyValues eventPropertiesFrom(const TrackEvent& event, RefTime frameDuration,
                                        bool withStart, const EventExtras& extras) {
    EventPropertyValues v;
    if (withStart) {
        v.start = QString::number(event.start);
    }
    v.interpolate = (event.flags & kEventInterpolate) ? kTriOn : kTriOff;
    v.fileId = uint32_t(event.fileId);
    v.drawMethod = event.drawMethod >= 0 && event.drawMethod <= 4 ? event.drawMethod : 0;
    v.position = formatPlaybackPosition(event.position);
    v.speed = frameDuration != 0 ? double(event.step) / double(frameDuration) : 0.0;
    v.region[0] = event.left;
    v.region[1] = event.top;
    v.region[2] = event.right;
    v.region[3] = event.bottom;
    const uint32_t opacity = event.colour >> 24;
    v.argb[0] = opacity == 0 ? 256 : opacity;
    v.argb[1] = event.colour & 0xFF;
    v.argb[2] = (event.colour >> 8) & 0xFF;
    v.argb[3] = (event.colour >> 16) & 0xFF;
    v.blendMode = event.blendMode >= 0 && event.blendMode <= 6 ? event.blendMode : 0;
    const bool parametric =
        (event.flags & kEventParametric) != 0 || (event.flags & kEventUsed) == 0;
    v.matrixCheck = parametric ? kTriOff : kTriOn;
    TrackEvent copy = event;
    for (int i = 0; i < kParameterCount; ++i) {
        v.parameters[i] = *parameterField(copy, i);
    }
    for (int i = 0; i < 9; ++i) {
        v.matrix[i] = event.matrix[i];
    }
    v.volumePercent = double(extras.volume) * 100.0;
    v.mute = (extras.audioFlags & kAudioMuted) != 0 ? kTriOn : kTriOff;
    return v;
}

bool changesSound(const EventPropertyValues& values) {
    return values.volumePercent != kKeepVolume || values.mute != kTriKeep;
}

void applySoundProperties(const EventPropertyValues& values, EventExtras& extras) {
    if (values.volumePercent != kKeepVolume) {
        // 100 gives exactly 1: an event set back to 100 % costs nothing in the project file.
        extras.volume = float(values.volumePercent / 100.0);
    }
    if (values.mute == kTriOn) {
        extras.audioFlags |= kAudioMuted;
    } else if (values.mute == kTriOff) {
        extras.audioFlags &= ~uint32_t(kAudioMuted);
    }
}

void applyEventProperties(const EventPropertyValues& v, TrackEvent& event, RefTime frameDuration,
                          const MovieFrameDuration& movieFrameDuration) {
    event.flags |= kEventUsed;
    if (!v.start.isEmpty()) {
        TypedTimeToFrames(ParseTypedTime(view(v.start)), frameDuration, event.start);
    }
    if (v.interpolate == kTriOn) {
        event.flags |= kEventInterpolate;
    } else if (v.interpolate == kTriOff) {
        event.flags &= ~uint32_t(kEventInterpolate);
    }
    if (v.fileId != kKeepUnsigned) {
        event.fileId = int32_t(v.fileId);
    }
    if (v.drawMethod != kDrawMethodKeep) {
        event.drawMethod = v.drawMethod;
    }
    if (!v.position.isEmpty()) {
        const RefTime movie = movieFrameDuration ? movieFrameDuration(event.fileId) : 0;
        TypedTimeToPlaybackPosition(ParseTypedTime(view(v.position)), movie > 0, movie,
                                    event.position);
    }
    if (v.speed != kKeepSpeed) {
        event.step = RefTime(v.speed * double(frameDuration));
    }
    int32_t* region[4] = {&event.left, &event.top, &event.right, &event.bottom};
    for (int i = 0; i < 4; ++i) {
        if (v.region[i] != kKeepSigned) {
            *region[i] = v.region[i];
        }
    }
    const int shifts[4] = {24, 0, 8, 16};
    for (int i = 0; i < 4; ++i) {
        if (v.argb[i] != kKeepUnsigned) {
            const uint32_t byte = i == 0 && v.argb[i] == 256 ? 0 : (v.argb[i] & 0xFF);
            event.colour = (event.colour & ~(0xFFu << shifts[i])) | byte << shifts[i];
        }
    }
    if (v.blendMode != kBlendModeKeep) {
        event.blendMode = v.blendMode;
    }
    if (v.matrixCheck == kTriOff) {
        event.flags |= kEventParametric;
        for (int i = 0; i < kParameterCount; ++i) {
            if (v.parameters[i] != kKeepFloat) {
                *parameterField(event, i) = v.parameters[i];
            }
        }
    } else if (v.matrixCheck == kTriOn) {
        event.flags &= ~uint32_t(kEventParametric);
        for (int i = 0; i < 9; ++i) {
            if (v.matrix[i] != kKeepFloat) {
                event.matrix[i] = v.matrix[i];
            }
        }
        InvertMatrix(event.matrix, event.inverse);
    }
}

void matrixFromParameters(const float parameters[kParameterCount], float matrix[9]) {
    TrackEvent event{};
    for (int i = 0; i < kParameterCount; ++i) {
        *parameterField(event, i) = parameters[i];
    }
    BuildParametricMatrices(event);
    for (int i = 0; i < 9; ++i) {
        matrix[i] = event.matrix[i];
    }
}

QString formatPlaybackPosition(RefTime position) {
    // Negative positions cannot be typed back; they are shown with a sign rather than wrapped.
    const uint64_t p = position < 0 ? uint64_t(0) - uint64_t(position) : uint64_t(position);
    return QStringLiteral("%1%2:%3.%4")
        .arg(position < 0 ? QStringLiteral("-") : QString())
        .arg(p / uint64_t(kRefTimePerSecond) / 60, 2, 10, QChar(u'0'))
        .arg(p / uint64_t(kRefTimePerSecond) % 60, 2, 10, QChar(u'0'))
        .arg(p % uint64_t(kRefTimePerSecond), 7, 10, QChar(u'0'));
}

QString formatSpeed(double speed) {
    return QString::asprintf("%.*g", 15, speed);
}

QString formatFloat(float value) {
    return QString::asprintf("%.*g", 6, double(value));
}

QString formatMatrixValue(float value) {
    return QString::asprintf("%f", double(value));
}

QString formatVolume(double percent) {
    return QString::asprintf("%.*g", 6, percent);
}

const QStringList& drawMethodNames() {
    static const QStringList names = {QStringLiteral("プロジェクトの既定"),
                                      QStringLiteral("標準（初期バージョン）"),
                                      QStringLiteral("標準"),
                                      QStringLiteral("線形補間"),
                                      QStringLiteral("線形補間と色補正"),
                                      QStringLiteral(" ")};
    return names;
}

const QStringList& blendModeNames() {
    static const QStringList names = {QStringLiteral("通常"),   QStringLiteral("論理積"),
                                      QStringLiteral("論理和"), QStringLiteral("排他論理和"),
                                      QStringLiteral("乗算"),   QStringLiteral("加算"),
                                      QStringLiteral("減算"),   QStringLiteral(" ")};
    return names;
}

}  // namespace kelvane
