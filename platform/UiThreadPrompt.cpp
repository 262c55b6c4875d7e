#include "platform/UiThreadPrompt.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace kelvane {

struct UiThreadPrompt::State {
    // One question on its way: the answer lives here, not with the asker, so that a task that
    // runs late never writes into a thread that has gone on.
    struct Question {
        std::function<int(UserPrompt&)> ask;
        int answer = 0;
        bool done = false;
    };

    std::mutex mutex;
    std::condition_variable answered;
    bool closed = false;
    UserPrompt* target = nullptr;
    std::deque<Task> waiting;  // without a poster
};

UiThreadPrompt::UiThreadPrompt(UserPrompt& target, Poster post)
    : target_(target),
      post_(std::move(post)),
      uiThread_(std::this_thread::get_id()),
      state_(std::make_shared<State>()) {
    state_->target = &target_;
}

UiThreadPrompt::~UiThreadPrompt() {
    Close();
}

void UiThreadPrompt::Close() {
    {
        std::lock_guard lock(state_->mutex);
        state_->closed = true;
        state_->waiting.clear();
    }
    state_->answered.notify_all();
}

int UiThreadPrompt::ServePending() {
    std::deque<Task> tasks;
    {
        std::lock_guard lock(state_->mutex);
        tasks.swap(state_->waiting);
    }
    for (Task& task : tasks) {
        task();
    }
    return int(tasks.size());
}

int UiThreadPrompt::Ask(std::function<int(UserPrompt&)> ask, int closed) {
    if (std::this_thread::get_id() == uiThread_) {
        return ask(target_);
    }
    auto question = std::make_shared<State::Question>();
    question->ask = std::move(ask);
    // The task holds the state, not this object: it may run after this object has gone, and
    // then finds the state closed.
    Task task = [state = state_, question] {
        UserPrompt* target = nullptr;
        {
            std::lock_guard lock(state->mutex);
            if (state->closed) {
                return;
            }
            target = state->target;
        }
        const int answer = question->ask(*target);
        {
            std::lock_guard lock(state->mutex);
            question->answer = answer;
            question->done = true;
        }
        state->answered.notify_all();
    };
    {
        std::lock_guard lock(state_->mutex);
        if (state_->closed) {
            return closed;
        }
        if (!post_) {
            state_->waiting.push_back(task);
        }
    }
    if (post_) {
        post_(std::move(task));
    }
    std::unique_lock lock(state_->mutex);
    state_->answered.wait(lock, [&] { return question->done || state_->closed; });
    return question->done ? question->answer : closed;
}

void UiThreadPrompt::ShowError(const std::string& message) {
    Ask(
        [message](UserPrompt& target) {
            target.ShowError(message);
            return 0;
        },
        0);
}

bool UiThreadPrompt::AskYesNo(const std::string& message) {
    return Ask([message](UserPrompt& target) { return int(target.AskYesNo(message)); }, 0) != 0;
}

bool UiThreadPrompt::AskOkCancel(const std::string& message) {
    return Ask([message](UserPrompt& target) { return int(target.AskOkCancel(message)); }, 0) != 0;
}

PromptAnswer UiThreadPrompt::AskYesNoCancel(const std::string& message) {
    return PromptAnswer(
        Ask([message](UserPrompt& target) { return int(target.AskYesNoCancel(message)); },
            int(PromptAnswer::Cancel)));
}

}  // namespace kelvane
