// SPDX-License-Identifier: GPL-3.0-or-later
#include "zvmainwindow.h"

#include "ui_zvmainwindow.h"
#include "zvtexts.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>

ZVMainWindow::ZVMainWindow(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::ZVMainWindow>()) {
    ui_->setupUi(this);
    preferences_ = new QAction(zvText("Preferences…"), ui_->menuViewer);
    ui_->menuViewer->insertAction(ui_->actionQuit, preferences_);
    // The window's commands keep their shortcuts while full screen hides the
    // menu bar.
    addActions({ui_->actionReload, ui_->actionPreferences, ui_->actionQuit});
    // The picture takes the keys: arrows step cameras, F toggles full screen.
    ui_->mainImage->setFocus();
}

ZVMainWindow::~ZVMainWindow() = default;

void ZVMainWindow::setLayoutsLocked(bool on) {
    if (menus_.lock) menus_.lock->setChecked(on);
}

bool ZVMainWindow::layoutsLocked() const {
    return menus_.lock && menus_.lock->isChecked();
}

void ZVMainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    // Queued, so the close completes before the main loop winds down.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}
