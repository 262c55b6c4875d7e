#pragma once

#include <QDialog>
#include <cstdint>

#include "model/TrackEvent.h"

class QLineEdit;

namespace timeline {

// "移動": where the timeline's cursor goes, typed as a time ("0:01.5", "1.5") or as a frame
// number ("45"). A time becomes the frame it falls in; a frame past the project's last one is
// taken as the last. Text that is neither is refused with a message and the dialog stays open.
class GoToFrameDialog : public QDialog {
    Q_OBJECT
  public:
    GoToFrameDialog(uint32_t current, uint32_t length, kelvane::RefTime frameDuration,
                    QWidget* parent = nullptr);

    uint32_t frame() const { return frame_; }
    QLineEdit* positionEdit() const { return edit_; }

    void accept() override;

  private:
    QLineEdit* edit_;
    uint32_t length_;
    kelvane::RefTime frameDuration_;
    uint32_t frame_;
};

}  // namespace timeline
