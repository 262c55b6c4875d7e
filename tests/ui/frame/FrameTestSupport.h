#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/EngineProcess.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PanePlaceholder.h"
#include "ui/shell/DocumentSession.h"
#include "ui/shell/Shell.h"

namespace frame {

// Runs `answer` on the next modal widget that opens, found from a zero-interval timer. Gives up
// after ten seconds, so that a dialog that never comes fails the test instead of hanging it.
inline void answerNextModal(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer = std::move(answer)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr && clock->elapsed() < 10000) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (modal != nullptr) {
            answer(modal);
        }
    });
    timer->start();
}

// What a message box showed, and the button the test pressed on it.
struct BoxSeen {
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
    bool shown = false;
};

inline void answerNextBox(QMessageBox::StandardButton button, BoxSeen* seen = nullptr) {
    answerNextModal([button, seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            modal->close();
            return;
        }
        if (seen != nullptr) {
            *seen = BoxSeen{box->windowTitle(), box->text(), box->standardButtons(), true};
        }
        box->button(button)->click();
    });
}

// Four panes that own no command, for tests of the route beyond the panes.
inline PaneSet placeholderPanes(const PaneContext&, QWidget* parent) {
    return {new PanePlaceholder(QStringLiteral("プレビュー"), parent),
            new PanePlaceholder(QStringLiteral("ファイル一覧"), parent),
            new PanePlaceholder(QStringLiteral("イベント一覧"), parent),
            new PanePlaceholder(QStringLiteral("タイムライン"), parent)};
}

// The window's whole run in a scratch folder that stands for the executable's folder, so that
// its INI file and recent files are the test's own.
class ShellFixture {
  public:
    ShellFixture() : process_(optionsFor(dir_)) {
        process_.Start();
        shell_ = std::make_unique<Shell>(process_.State());
        shell_->show();
    }
    ~ShellFixture() {
        shell_.reset();
        process_.Shutdown();
    }

    Shell& shell() { return *shell_; }
    MainWindow& window() { return shell_->window(); }
    DocumentSession& session() { return shell_->session(); }
    kelvane::ProcessState& process() { return process_.State(); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    // A second main window on the same document, with panes of the test's own.
    std::unique_ptr<MainWindow> windowWith(PaneFactory panes) {
        return std::make_unique<MainWindow>(
            PaneContext{
                shell_->document(), shell_->prompt(), shell_->clipboard(), process().Profile(), {}},
            std::move(panes));
    }

    // Makes a new shell on the same folder, as a second start of the program: shown at once,
    // or left to the test to show after it opened a start-up project.
    void restart(bool show = true) {
        shell_.reset();
        process_.Shutdown();
        process_.Start();
        shell_ = std::make_unique<Shell>(process_.State());
        if (show) {
            shell_->show();
        }
    }

  private:
    static kelvane::ProcessOptions optionsFor(const QTemporaryDir& dir) {
        kelvane::ProcessOptions options;
        options.executableFolder = dir.path().toStdU16String();
        options.iniBaseName = u"kelvane";
        return options;
    }

    QTemporaryDir dir_;
    kelvane::EngineProcess process_;
    std::unique_ptr<Shell> shell_;
};

}  // namespace frame
