#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "ui/dialogs/EffectSelectionDialog.h"
#include "ui/dialogs/EventPropertiesDialog.h"
#include "ui/dialogs/FilePropertiesDialog.h"
#include "ui/dialogs/ProjectPropertiesDialog.h"
#include "ui/timeline/ScaleMarksDialog.h"

using namespace kelvane;

// Every property dialog as a keyboard and a screen reader meet it: Tab goes through the fields in
// the order a person reads them, Enter means OK, and each field is named by its label.
class DialogReadingOrderTest : public QObject {
    Q_OBJECT

  private:
    static bool isField(const QWidget* w) {
        return qobject_cast<const QLineEdit*>(w) != nullptr ||
               qobject_cast<const QComboBox*>(w) != nullptr ||
               qobject_cast<const QPlainTextEdit*>(w) != nullptr;
    }
    static bool takesTab(const QWidget* w) {
        return isField(w) || qobject_cast<const QAbstractButton*>(w) != nullptr;
    }
    static QRect placeOf(const QWidget* w, const QWidget* dialog) {
        return QRect(w->mapTo(dialog, QPoint(0, 0)), w->size());
    }
    // `b` comes after `a` in reading order: on a later line, or further right on the same one.
    static bool readsAfter(const QRect& a, const QRect& b) {
        const bool sameLine = b.top() < a.bottom() && a.top() < b.bottom();
        return sameLine ? b.left() > a.left() : b.center().y() > a.center().y();
    }
    // The controls Tab reaches, in order, with every control enabled.
    static QList<QWidget*> tabOrder(QDialog& dialog) {
        QList<QWidget*> order;
        QWidget* w = &dialog;
        do {
            w = w->nextInFocusChain();
            if (w != &dialog && w->isVisibleTo(&dialog) && (w->focusPolicy() & Qt::TabFocus) &&
                takesTab(w)) {
                order.append(w);
            }
        } while (w != &dialog);
        return order;
    }
    static QString nameOf(const QWidget* w) {
        return w->accessibleName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                             : w->accessibleName();
    }

    static void checkDialog(QDialog& dialog) {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (QWidget* w : dialog.findChildren<QWidget*>()) {
            w->setEnabled(true);  // the order holds whatever a check box enables
        }
        const QList<QWidget*> order = tabOrder(dialog);
        QVERIFY(order.size() >= 3);
        for (qsizetype i = 1; i < order.size(); ++i) {
            QVERIFY2(readsAfter(placeOf(order[i - 1], &dialog), placeOf(order[i], &dialog)),
                     qPrintable(dialog.windowTitle() + QStringLiteral(": ") + nameOf(order[i - 1]) +
                                QStringLiteral(" before ") + nameOf(order[i])));
        }
        // OK is the default button: Enter in any field accepts.
        QPushButton* ok = nullptr;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("OK")) {
                ok = button;
            }
        }
        QVERIFY2(ok != nullptr && ok->isDefault(), qPrintable(dialog.windowTitle()));
        // Every label names a field. A field is its label's buddy, or one of several that share
        // the label ("背景色(RGB) G", "変換行列 23"), named by the label's text and its part.
        QList<const QWidget*> buddies;
        QStringList labels;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->text().isEmpty() && label->isVisibleTo(&dialog)) {
                QVERIFY2(label->buddy() != nullptr, qPrintable(label->text()));
                buddies.append(label->buddy());
                labels.append(label->text().remove(u'&').remove(u':'));
            }
        }
        for (const QWidget* field : order) {
            if (!isField(field) || buddies.contains(field)) {
                continue;
            }
            const bool named = std::any_of(labels.begin(), labels.end(), [&](const QString& l) {
                return field->accessibleName().startsWith(l + u' ');
            });
            QVERIFY2(named,
                     qPrintable(dialog.windowTitle() + QStringLiteral(": ") + nameOf(field)));
        }
    }

  private slots:
    void everyPropertyDialogReadsInOrder() {
        TrackEvent event{};
        event.flags = kEventUsed | kEventParametric;
        event.scale = 1;
        EventPropertiesDialog single(nullptr, eventPropertiesFrom(event, 333333, true), false);
        checkDialog(single);
        EventPropertiesDialog several(nullptr, EventPropertyValues{}, true);
        checkDialog(several);

        FilePropertiesDialog file(nullptr, FilePropertiesForm{}, {});
        checkDialog(file);

        ProjectSettingsForm project;
        project.width = 320;
        project.height = 240;
        project.frameRate = 30;
        ProjectPropertiesDialog settings(nullptr, project);
        checkDialog(settings);

        const std::vector<EffectInfo> none;
        EffectSelectionDialog effects(nullptr, none, QString());
        checkDialog(effects);

        timeline::ScaleMarksDialog marks(1, 1, nullptr);
        checkDialog(marks);
    }
};

QTEST_MAIN(DialogReadingOrderTest)
#include "dialog_reading_order_test.moc"
