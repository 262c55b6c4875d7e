#pragma once

#include <QObject>
#include <functional>

class MainWindow;

// Space while the timeline or the preview is the active pane: the playback command. The file
// list and the event list keep the key. Held down, the key repeats nothing.
class PlaybackKeys : public QObject {
    Q_OBJECT
  public:
    PlaybackKeys(MainWindow& window, std::function<void()> toggle);
    ~PlaybackKeys() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    MainWindow& window_;
    std::function<void()> toggle_;
};
