#include "ui/shell/Shell.h"

#include <QApplication>
#include <QStatusBar>
#include "app/ProcessState.h"
#include "media/TimeoutQuery.h"

#include "model/Document.h"
#include "model/JournalRecovery.h"
#include "platform/Path.h"
#include "ui/frame/MainWindow.h"
#include "ui/playback/PlaybackController.h"
#include "ui/shell/AboutDialog.h"
#include "ui/shell/ApplicationCommands.h"
#include "ui/shell/DocumentDialogs.h"
#include "ui/shell/DocumentSession.h"
#include "ui/shell/FirstPaintProbe.h"

Shell::Shell(kelvane::ProcessState& process)
    : process_(process),
      // Beside the INI file, wherever that went; none for a process without one.
      recoveryFolder_(process.IniPath().empty()
                          ? std::string()
                          : kelvane::ToNativePath(kelvane::FolderOf(process.IniPath())) +
                                "/recovery"),
      timeoutRelay_(timeoutPrompt_,
                    [](kelvane::UiThreadPrompt::Task task) {
                        QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
                    }),
      document_(std::make_unique<UiDocument>(services_, prompt_, clipboard_)),
      recentFiles_(process.Profile()) {
    if (!recoveryFolder_.empty()) {
        document_->EnableRecovery(recoveryFolder_);
    }
    session_ = std::make_unique<DocumentSession>(*document_, prompt_, recentFiles_);
    application_ =
        std::make_unique<ApplicationCommands>(*session_, recentFiles_, process_, prompt_);
    const PaneContext context{*document_, prompt_, clipboard_, process_.Profile(), {}};
    window_ = std::make_unique<MainWindow>(context);
    window_->setWindowIcon(applicationIcon());
    window_->setDocumentCommands(session_.get());
    window_->setApplicationCommands(application_.get());
    playback_ = std::make_unique<PlaybackController>(*window_, *document_);
    // Playback stops before the project is replaced or the window closes.
    window_->setCloseGuard([this] {
        playback_->stopForChange();
        return session_->saveModified();
    });
    window_->setRecentFiles([this] { return recentFiles_.files(); });
    window_->setProjectDropHandler([this](const QString& path) {
        playback_->stopForChange();
        session_->openDocument(path);
    });
    prompt_.setWindow(window_.get());
    session_->setWindow(window_.get());
    application_->setWindow(window_.get());
    connectDocumentDialogs(*session_, context, window_.get());
    // Every project gets panes of its own, the one named on the command line too: a pane lives
    // exactly as long as the project it was made for.
    session_->setRebuildPanes([this] {
        playback_->stopForChange();
        window_->rebuildPanes();
    });
    window_->setDocumentTitle(session_->title());
    QObject::connect(session_.get(), &DocumentSession::titleChanged, window_.get(),
                     &MainWindow::setDocumentTitle);
    session_->setRelinkedCount([this] { return services_.LastRelinkedCount(); });
    QObject::connect(session_.get(), &DocumentSession::statusMessage, window_.get(),
                     [this](const QString& text) { window_->statusBar()->showMessage(text); });
    window_->setWindowModified(session_->isModified());
    QObject::connect(session_.get(), &DocumentSession::modifiedChanged, window_.get(),
                     &QWidget::setWindowModified);
    QObject::connect(session_.get(), &DocumentSession::documentUpdated, window_.get(),
                     &MainWindow::refreshCommands);
}

Shell::~Shell() {
    // Playback gives the timeout question back and leaves the window before either goes.
    playback_.reset();
    if (kelvane::TimeoutQuery() == &timeoutRelay_) {
        kelvane::SetTimeoutQuery(nullptr);
    }
    timeoutRelay_.Close();
    // The panes leave the document before it goes.
    window_.reset();
}

bool Shell::openStartupProject(const QString& path) {
    return session_->openDocument(path);
}

void Shell::offerRecovery() {
    if (!recoveryFolder_.empty()) {
        kelvane::OfferRecovery(recoveryFolder_, *document_, prompt_);
    }
}

void Shell::show() {
    kelvane::SetTimeoutQuery(&timeoutRelay_);
    watchFirstPaint(window_.get());
    window_->show();
    window_->raise();
    window_->activateWindow();
}
