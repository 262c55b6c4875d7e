#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/UserPrompt.h"

namespace kelvane {

// A prompt that any thread may use: on the UI thread (the thread that made it) it asks `target`
// at once; on any other thread it hands the question to the UI thread and blocks the asker until
// the UI thread has asked `target` and the answer is back.
//
// How a question reaches the UI thread: through `post`, which must run the task it is given on
// the UI thread soon (the GUI queues it into its event loop). Without `post`, questions wait in
// this object until the UI thread calls ServePending(). Either way the UI thread must not block
// on a thread that may ask, or must call ServePending() while it waits. After Close() (or when
// this object goes), askers that still wait get the safe answer (No, Cancel) at once.
class UiThreadPrompt final : public UserPrompt {
  public:
    using Task = std::function<void()>;
    using Poster = std::function<void(Task task)>;

    explicit UiThreadPrompt(UserPrompt& target, Poster post = {});
    ~UiThreadPrompt() override;
    UiThreadPrompt(const UiThreadPrompt&) = delete;
    UiThreadPrompt& operator=(const UiThreadPrompt&) = delete;

    void ShowError(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    bool AskOkCancel(const std::string& message) override;
    PromptAnswer AskYesNoCancel(const std::string& message) override;

    // Asks the questions waiting for the UI thread (without a poster); call on the UI thread.
    // Returns how many were asked.
    int ServePending();
    // Lets every waiting and every later asker on another thread go with the safe answer.
    void Close();

  private:
    struct State;

    // Asks on the UI thread and returns the answer `ask` gives, or `closed` when nobody asked.
    int Ask(std::function<int(UserPrompt&)> ask, int closed);

    UserPrompt& target_;
    Poster post_;
    const std::thread::id uiThread_;
    std::shared_ptr<State> state_;
};

}  // namespace kelvane
