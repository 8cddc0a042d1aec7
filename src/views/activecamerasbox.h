// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

#include "layout.h"

class QCheckBox;
class QSpinBox;
class QTreeWidget;

// The Active Cameras part of Edit Layouts' Layouts tab: whether the layout
// is one, what it watches (each server's check: every camera of its list;
// each camera's: that camera), and the hold after activity. What it names
// that is not among the servers given (a server removed, a camera not in
// its list now) is kept as it is. Main thread only.
class ActiveCamerasBox : public QWidget {
    Q_OBJECT

public:
    struct Server {
        QString serverId;
        QString name;
        std::vector<CameraRef> cameras;  // its list now
    };

    ActiveCamerasBox(std::vector<Server> servers, QWidget* parent = nullptr);

    // The layout edited: asked for each time, so that it may move in its
    // list (none: the box is disabled). Call showLayout() when it changes.
    void setEdited(std::function<Layout*()> layout);
    // Shows the layout's state.
    void showLayout();

private:
    // Writes what the widgets say into the layout.
    void take();

    std::vector<Server> servers_;
    std::function<Layout*()> layout_;
    QCheckBox* on_;         // child
    QTreeWidget* watched_;  // child
    QSpinBox* hold_;        // child
    QCheckBox* notify_;     // child
    bool showing_ = false;
};
