#pragma once

#include <QPointer>
#include <functional>

#include "ui/commands/CommandTarget.h"

class QWidget;
class DocumentSession;
class RecentFileList;

namespace kelvane {
class ProcessState;
class UserPrompt;
}  // namespace kelvane

// The last link of the command route: new, open and the recent-file list (handed to the
// document session), the three settings presets with their confirmation, and the about box.
class ApplicationCommands : public CommandTarget {
  public:
    ApplicationCommands(DocumentSession& session, RecentFileList& recentFiles,
                        kelvane::ProcessState& process, kelvane::UserPrompt& prompt);

    void setWindow(QWidget* window) { window_ = window; }
    // Called before a preset restarts the drawing workers: nothing may be drawing then.
    void setBeforePreset(std::function<void()> hook) { beforePreset_ = std::move(hook); }

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;

  private:
    DocumentSession& session_;
    RecentFileList& recentFiles_;
    kelvane::ProcessState& process_;
    kelvane::UserPrompt& prompt_;
    QPointer<QWidget> window_;
    std::function<void()> beforePreset_;
};
