// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

#include <memory>

namespace Ui {
class ZVMainWindow;
}

// A window of the viewer, laid out by its interface description: the
// picture filling it and the menu bar. Every window of the viewer is one
// (the others put their screen in the picture's place, RoomWindow). It
// holds no state of its own; its controller drives it. Closing the first
// window quits the viewer.
class ZVMainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ZVMainWindow(QWidget* parent = nullptr);
    ~ZVMainWindow() override;

    Ui::ZVMainWindow& ui() { return *ui_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::ZVMainWindow> ui_;
};
