#include "media/SameMovieSources.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "media/MediaSource.h"
#include "media/MovieReader.h"

namespace kelvane::same_movie {

namespace {

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

std::vector<MediaSource*>& Members() {
    static std::vector<MediaSource*> members;
    return members;
}

// Two readers deliver the same pictures for the same index when they read the same file with the
// same frame timing; the sizes guard against a file that was replaced between the two opens.
bool SameMovie(const MediaSource& a, const MediaSource& b) {
    const MovieReader& x = *a.movie;
    const MovieReader& y = *b.movie;
    return x.IsOpen() && y.IsOpen() && x.Path() == y.Path() &&
           x.FrameDuration() == y.FrameDuration() && x.FirstFrame() == y.FirstFrame() &&
           x.LastFrame() == y.LastFrame() && x.FrameMode() == y.FrameMode() &&
           a.image.ByteSize() == b.image.ByteSize() && a.image.Width() == b.image.Width() &&
           a.image.Height() == b.image.Height() && a.image.Alpha() == b.image.Alpha();
}

}  // namespace

void Join(MediaSource& source) {
    std::lock_guard<std::mutex> guard(Lock());
    std::vector<MediaSource*>& members = Members();
    if (std::find(members.begin(), members.end(), &source) == members.end()) {
        members.push_back(&source);
    }
}

void Leave(MediaSource& source) {
    std::lock_guard<std::mutex> guard(Lock());
    std::vector<MediaSource*>& members = Members();
    members.erase(std::remove(members.begin(), members.end(), &source), members.end());
}

bool CopyHeldFrame(MediaSource& source, int32_t index) {
    if (!source.movie || source.image.Empty()) {
        return false;
    }
    std::lock_guard<std::mutex> guard(Lock());
    for (const MediaSource* other : Members()) {
        if (other != &source && other->heldFrame == index && other->movie &&
            SameMovie(source, *other)) {
            std::memcpy(source.image.Pixels(), other->image.Pixels(), source.image.ByteSize());
            return true;
        }
    }
    return false;
}

}  // namespace kelvane::same_movie
