// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

#include "layout.h"

class QTreeWidget;
class QTreeWidgetItem;

// One server as the camera panel lists it.
struct PanelServer {
    struct Camera {
        QString name;
        CameraRef ref;
    };
    QString serverId;
    QString name;
    QString state;  // why its cameras are not listed ("Loading…"); empty when they are
    std::vector<Camera> cameras;
};

// The camera panel: every server with its cameras, for placing cameras on a
// layout by dragging them onto its wall (cameradrag::kCameraMime) or opening
// one alone. Servers are the top rows, their cameras the rows under them;
// the second column tells a server's state or its camera count. It holds no
// server records: the application gives it what to show with setServers()
// and loads a server's cameras when serverExpanded() asks. Main thread only.
class CameraPanel : public QWidget {
    Q_OBJECT

public:
    explicit CameraPanel(QWidget* parent = nullptr);

    // Shows servers, in their order. Which servers are expanded and which
    // row is selected stay as they were for the servers (by serverId) and
    // cameras (by name) still listed.
    void setServers(const std::vector<PanelServer>& servers);

    // A server's camera count as its row shows it: "1 camera", "5 cameras",
    // in the installed language with its own plural forms.
    static QString cameraCountText(int count);

    QTreeWidget* tree() const { return tree_; }
    QSize sizeHint() const override { return {240, 400}; }

signals:
    // A camera row was double-clicked or Enter pressed on it.
    void cameraActivated(const CameraRef& ref);
    // A server row was expanded: its cameras are wanted.
    void serverExpanded(const QString& serverId);

private:
    void activate(QTreeWidgetItem* item);

    QTreeWidget* tree_;  // child
};
