// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

#include "layout.h"

class ActivityLog;
class QTreeWidget;

// Window > Activity List: the activity log of the run as a list (Time,
// Camera, Server, Duration), newest first, kept up to date while open. A
// double-click or Enter on an event shows its camera alone in the window
// that opened the list. A window of its own over its opener (one per
// opener, deleted with it or when closed); it takes the keyboard when
// opened and Escape closes it, so that it works without a window manager
// too (the focus keeper gives the keyboard back to the opener).
class ActivityListWindow : public QWidget {
    Q_OBJECT

public:
    using ShowCamera = std::function<void(const CameraRef& camera)>;

    // Opens the opener's list (or brings it up again) and gives it the
    // keyboard; show shows a camera alone in opener.
    static ActivityListWindow* open(QWidget* opener, ActivityLog* log, ShowCamera show);

    QTreeWidget* list() const { return list_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    ActivityListWindow(QWidget* opener, ActivityLog* log, ShowCamera show);
    void fill();

    QPointer<ActivityLog> log_;
    ShowCamera show_;
    QTreeWidget* list_;  // child
};
