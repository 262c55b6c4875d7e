#pragma once

#include <QFrame>

#include "ui/commands/CommandTarget.h"

// Stands in a pane whose view is not there yet: shows the pane's name and handles no command.
class PanePlaceholder : public QFrame, public CommandTarget {
    Q_OBJECT
  public:
    PanePlaceholder(const QString& name, QWidget* parent);

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};
