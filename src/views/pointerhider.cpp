// SPDX-License-Identifier: GPL-3.0-or-later
#include "pointerhider.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

PointerHider::PointerHider(QWidget* watched, QObject* parent) : QObject(parent), watched_(watched) {
    idle_.setSingleShot(true);
    idle_.setInterval(kIdleMs);
    connect(&idle_, &QTimer::timeout, this, &PointerHider::hide);
}

PointerHider::~PointerHider() {
    show();
}

void PointerHider::setEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    if (on) {
        qApp->installEventFilter(this);
        idle_.start();
    } else {
        qApp->removeEventFilter(this);
        idle_.stop();
        show();
    }
}

bool PointerHider::concernsWatched(QObject* receiver) const {
    if (!watched_) return false;
    if (receiver->isWidgetType()) {
        auto* w = static_cast<QWidget*>(receiver);
        return w == watched_ || watched_->isAncestorOf(w);
    }
    // Without mouse tracking a plain movement reaches only the window.
    return receiver->isWindowType() && receiver == watched_->window()->windowHandle();
}

bool PointerHider::eventFilter(QObject* receiver, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::TabletMove:
            if (concernsWatched(receiver)) {
                show();
                idle_.start();
            }
            break;
        default:
            break;
    }
    return false;
}

void PointerHider::hide() {
    if (hidden_ || !watched_) return;
    if (watched_->testAttribute(Qt::WA_SetCursor)) ownCursor_ = watched_->cursor();
    watched_->setCursor(Qt::BlankCursor);
    hidden_ = true;
}

void PointerHider::show() {
    if (!hidden_) return;
    hidden_ = false;
    if (!watched_) return;
    if (ownCursor_) {
        watched_->setCursor(*ownCursor_);
    } else {
        watched_->unsetCursor();
    }
    ownCursor_.reset();
}
