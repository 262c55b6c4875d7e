#pragma once

#include <QString>
#include <memory>
#include <string>

#include "media/MediaDocumentServices.h"
#include "platform/UiThreadPrompt.h"
#include "ui/frame/PaneContext.h"
#include "ui/shell/QtClipboard.h"
#include "ui/shell/QtUserPrompt.h"
#include "ui/shell/RecentFileList.h"

namespace kelvane {
class ProcessState;
}

class ApplicationCommands;
class DocumentSession;
class MainWindow;
class PlaybackController;

// Everything the window's run holds, wired together: the message boxes, the clipboard, the
// document with its file session and the recent-file list, the application's commands and the
// main window. Made after the process is up and gone before it shuts down.
class Shell {
  public:
    explicit Shell(kelvane::ProcessState& process);
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // The project named on the command line. False, after the document's message, when it
    // cannot be read.
    bool openStartupProject(const QString& path);
    // From here on the movie reader asks its timeout question over the window; the window is
    // shown and takes the keyboard focus.
    void show();
    // Asks about the crash journals of earlier runs that ended without saving, and restores
    // the one the user wants back. Every edit from here on is journaled in "recovery/" beside
    // the INI file.
    void offerRecovery();

    MainWindow& window() { return *window_; }
    DocumentSession& session() { return *session_; }
    UiDocument& document() { return *document_; }
    QtUserPrompt& prompt() { return prompt_; }
    QtClipboard& clipboard() { return clipboard_; }
    kelvane::UserPrompt& timeoutPrompt() { return timeoutRelay_; }
    RecentFileList& recentFiles() { return recentFiles_; }
    ApplicationCommands& applicationCommands() { return *application_; }
    PlaybackController& playback() { return *playback_; }

  private:
    kelvane::ProcessState& process_;
    std::string recoveryFolder_;
    QtUserPrompt prompt_;
    TimeoutQuestionPrompt timeoutPrompt_{prompt_};
    // The movie reader may ask from whichever thread fetches frames: the question is carried to
    // the UI thread's event loop and asked there.
    kelvane::UiThreadPrompt timeoutRelay_;
    QtClipboard clipboard_;
    kelvane::MediaDocumentServices services_{prompt_};
    std::unique_ptr<UiDocument> document_;
    RecentFileList recentFiles_;
    std::unique_ptr<DocumentSession> session_;
    std::unique_ptr<ApplicationCommands> application_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<PlaybackController> playback_;
};
