#include "ui/frame/LockIndicators.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>

#ifdef KELVANE_HAVE_XKB
#include <X11/XKBlib.h>
#endif

namespace {

#ifdef KELVANE_HAVE_XKB
Display* x11Display() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->display() : nullptr;
}

// -1 when the keyboard has no indicator of that name.
int namedIndicator(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    Bool on = False;
    if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) {
        return -1;
    }
    return on ? 1 : 0;
}
#endif

}  // namespace

LockIndicators::LockIndicators(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const char* texts[] = {"CAP", "NUM", "SCRL"};
    for (size_t i = 0; i < labels_.size(); ++i) {
        auto* label = new QLabel(QString::fromLatin1(texts[i]), this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        label->setEnabled(false);
        layout->addWidget(label);
        labels_[i] = label;
    }
    refresh();
}

bool LockIndicators::platformReportsLocks() {
#ifdef KELVANE_HAVE_XKB
    return x11Display() != nullptr;
#else
    return false;
#endif
}

void LockIndicators::refresh() {
#ifdef KELVANE_HAVE_XKB
    if (Display* display = x11Display()) {
        const char* names[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
        for (size_t i = 0; i < labels_.size(); ++i) {
            labels_[i]->setEnabled(namedIndicator(display, names[i]) == 1);
        }
        return;
    }
#endif
    for (QLabel* label : labels_) {
        label->setEnabled(false);
    }
}
