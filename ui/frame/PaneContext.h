#pragma once

#include <functional>

namespace kelvane {
class Document;
class UserPrompt;
class Clipboard;
class ProfileFile;
}  // namespace kelvane

// The document the panes show, under the name the window uses for it.
using UiDocument = kelvane::Document;

// What every pane receives when the frame builds it. All references outlive the panes.
struct PaneContext {
    // The one open document: panes read the project through it and change it only through its
    // operations (checkpoint, change, modified flag, update with a hint).
    UiDocument& document;
    // Messages and questions: captions "エラー" and "確認", owned by the main window.
    kelvane::UserPrompt& prompt;
    // The desktop clipboard, under the program's private type.
    kelvane::Clipboard& clipboard;
    // The INI file beside the program: each pane reads its options from its own section when it
    // is created and writes an option back as soon as the user changes it.
    kelvane::ProfileFile& profile;
    // Tells the frame that a command's enabled or checked state changed without a document
    // update (a selection inside the pane, for example), so the menu and toolbar follow at once.
    std::function<void()> commandsChanged;
};
