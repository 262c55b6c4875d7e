#include "media/PatientTimeout.h"

#include "platform/Path.h"

namespace kelvane {

std::string MovieTimeoutMessage(const MovieWait& wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait.stalled).count();
    return "動画の画像の取得がタイムアウトしました。\n" + ToNativePath(wait.path) + ": フレーム " +
           std::to_string(wait.frame) + " の取得が " + std::to_string(seconds) +
           " 秒間進みませんでした。";
}

bool PatientTimeout::KeepWaiting(const MovieWait& wait) {
    if (wait.progressed || wait.stalled < limit_) {
        return true;
    }
    std::lock_guard<std::mutex> guard(lock_);
    prompt_.ShowError(MovieTimeoutMessage(wait));
    return false;
}

}  // namespace kelvane
