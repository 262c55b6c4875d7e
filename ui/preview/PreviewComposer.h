#pragma once

#include <QStringList>

#include "model/Project.h"
#include "model/ViewState.h"
#include "render/PixelImage.h"

namespace kelvane {

struct PreviewSource;

// What one preview request shows.
struct PreviewPicture {
    enum class Content {
        Nothing,      // no request, no file, an unknown kind, or no image to compose into
        Image,        // `image`: a source's current image or a composed output frame
        EffectTexts,  // `texts`: an effect's name, text and description
    };
    Content content = Content::Nothing;
    const PixelImage* image = nullptr;
    QStringList texts;
    // Fetching or composing failed (what the image holds may still be shown).
    bool failed = false;
    // A composition was asked for but its output-size image could not be made.
    bool noFrame = false;
    // The image is an output frame of the project rather than a source's own.
    bool composed = false;
};

// Serves preview requests: one file's image, one event's source image, one track or the whole
// output at a frame. Movie and nested-project sources move to the asked frame only while the
// request is pending; compositions are made afresh every time into an image this object keeps.
class PreviewComposer {
  public:
    PreviewPicture serve(Project& project, const PreviewRequest& request,
                         const TrackEvent& workEvent);

  private:
    static PreviewPicture effectTexts(Project& project, int64_t fileId);
    static PreviewPicture sourceImage(const PreviewSource& source);
    PreviewPicture composition(Project& project, const PreviewRequest& request);

    PixelImage frame_;
};

}  // namespace kelvane
