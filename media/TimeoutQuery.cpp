#include "media/TimeoutQuery.h"

#include <atomic>

namespace kelvane {

const char kTimeoutQuestion[] = "動画の画像の取得がタイムアウトしました。続行しますか？";

namespace {
std::atomic<UserPrompt*> g_target{nullptr};
std::atomic<TimeoutPolicy*> g_policy{nullptr};
}  // namespace

void SetTimeoutPolicy(TimeoutPolicy* policy) {
    g_policy.store(policy);
}

bool AskTimeoutContinue(const MovieWait& wait) {
    if (TimeoutPolicy* policy = g_policy.load()) {
        return policy->KeepWaiting(wait);
    }
    return AskTimeoutContinue();
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
