// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

#include <memory>

namespace Ui {
class ZVMainWindow;
}

// The viewer's main window, laid out by its interface description: the
// picture filling it and the menu bar. It holds no state of its own; the
// application controller drives it. Closing it quits the viewer.
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
