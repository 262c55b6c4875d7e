#include "platform/UiThreadPrompt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

// Records on which thread each question was asked.
class ThreadCheckingPrompt : public testing::ScriptedPrompt {
  public:
    bool AskYesNo(const std::string& message) override {
        askedOn = std::this_thread::get_id();
        return ScriptedPrompt::AskYesNo(message);
    }
    std::thread::id askedOn;
};

TEST(UiThreadPrompt, AQuestionFromAnotherThreadIsAskedOnTheUiThreadAndBlocksTheAsker) {
    ThreadCheckingPrompt target;
    target.answers = {false};
    UiThreadPrompt prompt(target);

    std::atomic<bool> answered{false};
    auto asker = std::async(std::launch::async, [&] {
        const bool answer = prompt.AskYesNo("続行しますか？");
        answered = true;
        return answer;
    });
    // The asker waits until the UI thread serves the question.
    while (prompt.ServePending() == 0) {
        EXPECT_FALSE(answered);
        std::this_thread::yield();
    }
    EXPECT_FALSE(asker.get());
    EXPECT_EQ(target.askedOn, std::this_thread::get_id());
    EXPECT_EQ(target.questions, std::vector<std::string>{"続行しますか？"});

    // On the UI thread itself the question goes straight to the target.
    target.threeWay = {PromptAnswer::No};
    EXPECT_EQ(prompt.AskYesNoCancel("保存しますか?"), PromptAnswer::No);
}

TEST(UiThreadPrompt, APosterCarriesTheQuestionAndClosingReleasesWaitingAskers) {
    testing::ScriptedPrompt target;
    std::mutex mutex;
    std::vector<UiThreadPrompt::Task> posted;
    UiThreadPrompt prompt(target, [&](UiThreadPrompt::Task task) {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(task));
    });
    auto asker = std::async(std::launch::async, [&] { return prompt.AskYesNoCancel("?"); });
    for (;;) {
        std::lock_guard lock(mutex);
        if (!posted.empty()) {
            break;
        }
    }
    prompt.Close();  // the program is ending: nobody will answer
    EXPECT_EQ(asker.get(), PromptAnswer::Cancel);
    posted.front()();  // a task that runs late asks nothing
    EXPECT_TRUE(target.questions.empty());
    EXPECT_EQ(std::async(std::launch::async, [&] { return prompt.AskOkCancel("?"); }).get(), false);
}

}  // namespace
}  // namespace kelvane
