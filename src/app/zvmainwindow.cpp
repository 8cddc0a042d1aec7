#include "zvmainwindow.h"

#include "ui_zvmainwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>

ZVMainWindow::ZVMainWindow(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::ZVMainWindow>()) {
    ui_->setupUi(this);
}

ZVMainWindow::~ZVMainWindow() = default;

void ZVMainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    // Queued, so the close completes before the main loop winds down.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}
