#pragma once

#include "model/DocumentForms.h"

namespace kelvane {

class Document;

// The project settings command ("プロジェクトの設定(&P)..."): the dialog's values and their
// application with the frame-rate fix-up.
class ProjectSettingsCommands {
  public:
    explicit ProjectSettingsCommands(Document& document) : doc_(document) {}

    ProjectSettingsForm FormForDialog() const;
    // The dialog ended with OK. False, with nothing changed, for values outside the dialog's
    // ranges.
    bool Apply(const ProjectSettingsForm& form);

  private:
    Document& doc_;
};

}  // namespace kelvane
