#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace dialogs {

// Answers the next modal window with the given title once it is the active modal widget: a
// zero-interval timer looks for it on every turn of the event loop, so the test never sleeps.
inline void answerModal(const QString& title, std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, title, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->windowTitle() != title) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

// The text of a message box, or empty for other windows.
inline QString messageText(QWidget* window) {
    auto* box = qobject_cast<QMessageBox*>(window);
    return box != nullptr ? box->text() : QString();
}

inline void setField(QWidget* dialog, const QString& name, const QString& text) {
    auto* edit = dialog->findChild<QLineEdit*>(name);
    if (edit == nullptr) {
        qFatal("no field named %s", qPrintable(name));
    }
    edit->setText(text);
}

}  // namespace dialogs
