#include "ui/shell/ApplicationCommands.h"

#include "app/ProcessState.h"
#include "ui/shell/AboutDialog.h"
#include "ui/shell/DocumentSession.h"
#include "ui/shell/RecentFileList.h"

ApplicationCommands::ApplicationCommands(DocumentSession& session, RecentFileList& recentFiles,
                                         kelvane::ProcessState& process,
                                         kelvane::UserPrompt& prompt)
    : session_(session), recentFiles_(recentFiles), process_(process), prompt_(prompt) {}

bool ApplicationCommands::commandState(CommandId id, CommandState& state) const {
    const int recent = recentFileIndex(id);
    if (recent >= 0) {
        // With an empty list the first entry is the greyed placeholder.
        state.enabled = recent < recentFiles_.files().size();
        return true;
    }
    switch (id) {
        case CommandId::FileNew:
        case CommandId::FileOpen:
        case CommandId::PresetDefault:
        case CommandId::PresetSpeed:
        case CommandId::PresetStability:
        case CommandId::AppAbout:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

void ApplicationCommands::runCommand(CommandId id) {
    const int recent = recentFileIndex(id);
    if (recent >= 0) {
        session_.openRecent(recent);
        return;
    }
    kelvane::SettingsPreset preset;
    switch (id) {
        case CommandId::FileNew:
            session_.newDocument();
            return;
        case CommandId::FileOpen:
            session_.openWithDialog();
            return;
        case CommandId::AppAbout: {
            AboutDialog about(window_);
            about.exec();
            return;
        }
        case CommandId::PresetDefault:
            preset = kelvane::SettingsPreset::Default;
            break;
        case CommandId::PresetSpeed:
            preset = kelvane::SettingsPreset::SpeedFirst;
            break;
        case CommandId::PresetStability:
            preset = kelvane::SettingsPreset::Stability;
            break;
        default:
            return;
    }
    if (beforePreset_) {
        beforePreset_();
    }
    process_.ApplyPreset(preset, prompt_);
}
