#pragma once

#include "platform/UserPrompt.h"

namespace kelvane {

// "動画の画像の取得がタイムアウトしました。続行しますか？"
extern const char kTimeoutQuestion[];

// The process-wide target that the movie reader asks when a wait for a picture times out. The
// application points it at its main prompt at start-up; the export points it at its progress
// dialog's prompt while the dialog is open, and that prompt may answer No by itself. Set only on
// the user-interface thread; null means nobody can be asked, so a timed-out wait gives up.
// The question comes from whichever thread fetches the frame: a GUI target is a UiThreadPrompt,
// which carries the question to the UI thread and blocks the reader until it is answered.
void SetTimeoutQuery(UserPrompt* target);
UserPrompt* TimeoutQuery();

// Asks the target whether to go on waiting: true for Yes (wait another round), false for No.
bool AskTimeoutContinue();

}  // namespace kelvane
