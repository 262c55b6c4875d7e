#include "media/TimeoutQuery.h"

#include <atomic>

namespace kelvane {

const char kTimeoutQuestion[] = "動画の画像の取得がタイムアウトしました。続行しますか？";

namespace {
std::atomic<UserPrompt*> g_target{nullptr};
}

void SetTimeoutQuery(UserPrompt* target) {
    g_target.store(target);
}

UserPrompt* TimeoutQuery() {
    return g_target.load();
}

bool AskTimeoutContinue() {
    UserPrompt* target = g_target.load();
    return target && target->AskYesNo(kTimeoutQuestion);
}

}  // namespace kelvane
