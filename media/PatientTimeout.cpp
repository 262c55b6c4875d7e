#include "media/PatientTimeout.h"

#include "platform/Path.h"

namespace kelvane {

std::string MovieTimeoutMessage(const MovieWait& wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait.stalled).count();
    const std::string frame = ToNativePath(wait.path) + ": フレーム " + std::to_string(wait.frame);
    return "動画の画像の取得がタイムアウトしました。\n" + frame +
           (wait.finished ? " が届きません（動画はそれ以上の画像を送りません）。"
                          : " の取得が " + std::to_string(seconds) + " 秒間進みませんでした。");
}

bool PatientTimeout::KeepWaiting(const MovieWait& wait) {
    // A pipeline that has delivered all it was asked for sends nothing more, however long the
    // wait; that is no slowness to wait out.
    if (!wait.finished && (wait.progressed || wait.stalled < limit_)) {
        return true;
    }
    std::lock_guard<std::mutex> guard(lock_);
    prompt_.ShowError(MovieTimeoutMessage(wait));
    return false;
}

}  // namespace kelvane
