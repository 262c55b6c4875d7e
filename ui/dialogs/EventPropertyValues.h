#pragma once

#include <QString>
#include <cfloat>
#include <cstdint>
#include <functional>

#include "model/EventExtras.h"
#include "model/TrackEvent.h"

namespace kelvane {

// The event properties dialog's values between the event records and the controls. Every value
// has a keep-value that leaves its field of the event as it is; a blank multi-edit starts with all
// of them, so that only the fields the user fills in change.
inline constexpr uint32_t kKeepUnsigned = 0xFFFFFFFF;
inline constexpr int32_t kKeepSigned = INT32_MIN;
inline constexpr double kKeepSpeed = DBL_MAX;
inline constexpr float kKeepFloat = FLT_MAX;
inline constexpr double kKeepVolume = DBL_MAX;

// The two check boxes: off, on, or left as each event has it.
enum TriState : int { kTriOff = 0, kTriOn = 1, kTriKeep = 2 };

inline constexpr int kDrawMethodKeep = 5;  // the blank entry of "描画方法"
inline constexpr int kBlendModeKeep = 7;   // the blank entry of "合成方法"
inline constexpr double kMaxSpeed = 65536.0;
inline constexpr double kMaxVolumePercent = 400.0;

enum ParameterIndex : int {
    kReferenceX,
    kReferenceY,
    kScale,
    kRotation,
    kPositionX,
    kPositionY,
    kParameterCount
};

struct EventPropertyValues {
    QString start;  // a frame count or a typed time; empty keeps
    int interpolate = kTriKeep;
    uint32_t fileId = kKeepUnsigned;
    int drawMethod = kDrawMethodKeep;
    QString position;  // a typed time or a count of movie frames; empty keeps
    double speed = kKeepSpeed;
    int32_t region[4] = {kKeepSigned, kKeepSigned, kKeepSigned, kKeepSigned};  // l, t, r, b
    uint32_t argb[4] = {kKeepUnsigned, kKeepUnsigned, kKeepUnsigned, kKeepUnsigned};
    int blendMode = kBlendModeKeep;
    int matrixCheck = kTriKeep;  // "変換行列を指定する"
    float parameters[kParameterCount] = {kKeepFloat, kKeepFloat, kKeepFloat,
                                         kKeepFloat, kKeepFloat, kKeepFloat};
    float matrix[9] = {kKeepFloat, kKeepFloat, kKeepFloat, kKeepFloat, kKeepFloat,
                       kKeepFloat, kKeepFloat, kKeepFloat, kKeepFloat};
    // The sound, kept in the event's extras rather than its record: "音量(%)" (100 = as the
    // source sounds) and "ミュート".
    double volumePercent = kKeepVolume;
    int mute = kTriKeep;
};

// One event's values, its sound from its extras; `withStart` false leaves the start empty
// (templates have none).
EventPropertyValues eventPropertiesFrom(const TrackEvent& event, RefTime frameDuration,
                                        bool withStart,
                                        const EventExtras& extras = DefaultExtras());

// Whether the values change the sound of the events (a volume or mute not at its keep-value).
bool changesSound(const EventPropertyValues& values);

// Writes the sound values into an event's extras, each unless at its keep-value.
void applySoundProperties(const EventPropertyValues& values, EventExtras& extras);

// The duration of one frame of the movie behind a file ID, 0 when the file is no movie.
using MovieFrameDuration = std::function<RefTime(int32_t fileId)>;

// Writes the values into one event: Used is set, every value not at its keep-value replaces its
// field, and a given matrix gets its inverse recomputed.
void applyEventProperties(const EventPropertyValues& values, TrackEvent& event,
                          RefTime frameDuration, const MovieFrameDuration& movieFrameDuration);

// The forward matrix the renderer builds from the six parameters.
void matrixFromParameters(const float parameters[kParameterCount], float matrix[9]);

// "%02u:%02u.%07u" of minutes, seconds and the remaining 100 ns units.
QString formatPlaybackPosition(RefTime position);
QString formatSpeed(double speed);       // "%.15g"
QString formatFloat(float value);        // "%.6g"
QString formatMatrixValue(float value);  // "%f"
QString formatVolume(double percent);    // "%.6g"

// The texts of the two combo boxes, the blank entry last.
const QStringList& drawMethodNames();
const QStringList& blendModeNames();

}  // namespace kelvane
