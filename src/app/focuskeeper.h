// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;

// Gives the keyboard back to a window of the viewer when a window of its own
// that had it (a dialog, the server list, an alert) closes and no window of
// the viewer has it then: without a window manager nobody else does, and
// every key would go nowhere until a click. It goes to the window the closed
// one was opened over, else to the viewer window that had it last (also when
// the closed one is a viewer window). Under a
// window manager that window is given it anyway; a person who went to
// another program meanwhile keeps it there. One per viewer. Main thread only.
class FocusKeeper : public QObject {
    Q_OBJECT

public:
    explicit FocusKeeper(QObject* parent = nullptr);
    ~FocusKeeper() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The viewer windows in the order they last had the keyboard, the latest last.
    std::vector<QPointer<QWidget>> viewers_;
};
