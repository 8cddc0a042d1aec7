// SPDX-License-Identifier: GPL-3.0-or-later
#include "focuskeeper.h"

#include "zvmainwindow.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

bool isViewerWindow(const QWidget* w) {
    return qobject_cast<const ZVMainWindow*>(w) != nullptr;
}

bool canTake(const QWidget* w) {
    return w && w->isVisible() && !w->isMinimized();
}

}  // namespace

FocusKeeper::FocusKeeper(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

FocusKeeper::~FocusKeeper() {
    qApp->removeEventFilter(this);
}

bool FocusKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (!w->isWindow()) return false;
    const bool viewer = isViewerWindow(w);
    if (event->type() == QEvent::WindowActivate && viewer) {
        std::erase_if(viewers_, [w](const QPointer<QWidget>& v) { return !v || v == w; });
        viewers_.push_back(w);
        return false;
    }
    // A viewer window, a dialog or a window of its own; not a menu, a tool
    // tip or the like.
    const Qt::WindowType type = w->windowType();
    if (event->type() != QEvent::Hide ||
        (type != Qt::Dialog && type != Qt::Window && type != Qt::Sheet))
        return false;
    // It had the keyboard (Qt may have taken its activation already).
    if (QApplication::activeWindow() != w &&
        (!w->windowHandle() || QGuiApplication::focusWindow() != w->windowHandle()))
        return false;
    QPointer<QWidget> over = w->parentWidget() ? w->parentWidget()->window() : nullptr;
    // The viewer windows that had it before, the latest first.
    std::vector<QPointer<QWidget>> before(viewers_.rbegin(), viewers_.rend());
    std::erase_if(before, [w](const QPointer<QWidget>& v) { return v == w; });
    // Once the close is done: whatever else takes the keyboard meanwhile keeps it.
    QTimer::singleShot(0, this, [over, before] {
        if (QApplication::activeWindow()) return;
        if (canTake(over)) {
            over->activateWindow();
            return;
        }
        for (const QPointer<QWidget>& v : before)
            if (canTake(v)) {
                v->activateWindow();
                return;
            }
    });
    return false;
}
