// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

class QWidget;

// The viewer's alerts: one at a time, window-modal over the main window,
// in the order they were reported, each with the one button "OK". A run of
// the same text (the same as the alert open, or as the last one waiting)
// is shown once, and every reporter of it is released together when the
// person dismisses it. Main thread only.
class AlertQueue : public QObject {
    Q_OBJECT

public:
    explicit AlertQueue(QWidget* window, QObject* parent = nullptr);

    // Queues an alert with text. finish runs once the person has dismissed
    // it; shown, when given, is set to the alert's box while it is up, so
    // that the reporter can close it itself.
    void add(const QString& text, std::function<void()> finish, QPointer<QMessageBox>* shown);
    // From now on nothing new is shown (the viewer is quitting).
    void end() { ended_ = true; }

private:
    void showNext();

    struct Pending {
        QString text;
        std::vector<std::function<void()>> finishers;  // release the reporters
        std::vector<QPointer<QMessageBox>*> watchers;  // told the box once it is up
    };
    QPointer<QWidget> window_;
    std::deque<Pending> pending_;  // the front one open while box_ is set
    QPointer<QMessageBox> box_;
    bool ended_ = false;
};
