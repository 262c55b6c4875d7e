#pragma once

#include "platform/ProfileFile.h"

namespace kelvane {

// A pane's "Preview" option (or another on-off option of the pane: `key`, on by default), kept
// in the pane's INI section. Read when the pane is made and written back at once when the user
// changes it, so that panes rebuilt for another project keep what the user set.
class PreviewFlag {
  public:
    PreviewFlag(ProfileFile& profile, const char* section, const char* key = "Preview");

    bool on() const { return on_; }
    void set(bool on);
    void toggle() { set(!on_); }

  private:
    ProfileFile& profile_;
    const char* section_;
    const char* key_;
    bool on_;
};

}  // namespace kelvane
