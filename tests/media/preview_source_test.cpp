// What the preview shows for a file and for one event's source, over real media.
#include "media/PreviewSource.h"

#include <gtest/gtest.h>

#include "composition_test_support.h"
#include "media/MediaSource.h"
#include "movie_test_support.h"

namespace kelvane {
namespace {

TEST(PreviewSource, AFileAndAnEventSourceShowTheirImageAtTheRightFrame) {
    const std::string movie = testing::MakeMovie({"preview_clip.avi", "-c:v mjpeg -q:v 3"});
    if (movie.empty()) {
        GTEST_SKIP() << "ffmpeg cannot write the test movie";
    }
    const std::string picture = testing::TempPath("preview_still.bmp");
    testing::WriteSolidBmp(picture, 5, 3, 0x0000FF00);
    auto project = testing::NewProject(16, 16);
    ASSERT_TRUE(MediaSource::OpenMovie(project->files[2], testing::U16(movie), *project));
    ASSERT_TRUE(MediaSource::OpenPicture(project->files[7], testing::U16(picture), *project));

    PreviewSource still = FilePreview(*project, 7, 99, true);
    ASSERT_NE(still.image, nullptr);
    EXPECT_TRUE(still.ok);
    EXPECT_EQ(still.image->Width(), 5);

    ASSERT_NE(FilePreview(*project, 2, 11, true).image, nullptr);
    EXPECT_EQ(testing::DecodeIndex(*FilePreview(*project, 2, 11, true).image), 11);

    // The event shows its source at position / frame duration; a repaint fetches nothing.
    TrackEvent event = testing::PlacedEvent(2, 40, 16, 16);
    event.position = 3 * MediaSource::GetFrameDuration(project->files[2]) + 1;
    PreviewSource source = EventSourcePreview(*project, event, true);
    ASSERT_NE(source.image, nullptr);
    EXPECT_TRUE(source.ok);
    EXPECT_EQ(testing::DecodeIndex(*source.image), 3);
    event.position = 0;
    EXPECT_EQ(testing::DecodeIndex(*EventSourcePreview(*project, event, false).image), 3);

    // A position before the source's start fails, and the image stays what it was.
    event.position = -MediaSource::GetFrameDuration(project->files[2]);
    source = EventSourcePreview(*project, event, true);
    EXPECT_FALSE(source.ok);
    EXPECT_EQ(testing::DecodeIndex(*source.image), 3);

    // Nothing to show: an unused event, an empty slot, an ID outside the table.
    event.flags = 0;
    EXPECT_EQ(EventSourcePreview(*project, event, true).image, nullptr);
    EXPECT_EQ(FilePreview(*project, 0, 0, true).image, nullptr);
    EXPECT_EQ(FilePreview(*project, 5000, 0, true).image, nullptr);
}

}  // namespace
}  // namespace kelvane
