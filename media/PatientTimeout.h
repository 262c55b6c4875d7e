#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "media/TimeoutQuery.h"

namespace kelvane {

// The command line's answer to a movie that is slow to deliver: on a busy machine a picture may
// take longer than one round of "AbortTimeout", so the wait goes on as long as the decoder makes
// progress, and gives up only once the movie has made none for `limit` (at once when the pipeline
// has delivered everything it was asked for, as nothing more can come). Giving up shows
// "動画の画像の取得がタイムアウトしました。" with the file and the frame through `prompt`.
class PatientTimeout final : public TimeoutPolicy {
  public:
    PatientTimeout(std::chrono::milliseconds limit, UserPrompt& prompt)
        : limit_(limit), prompt_(prompt) {}

    bool KeepWaiting(const MovieWait& wait) override;

  private:
    std::chrono::milliseconds limit_;
    UserPrompt& prompt_;
    std::mutex lock_;  // one message at a time
};

// The message for a movie given up on.
std::string MovieTimeoutMessage(const MovieWait& wait);

}  // namespace kelvane
