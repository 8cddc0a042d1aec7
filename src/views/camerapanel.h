// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <vector>

#include "layout.h"

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// One server as the camera panel lists it.
struct PanelServer {
    struct Camera {
        // What the panel's window shows of the camera.
        enum class Seen {
            No,       // no cell of the window shows it
            Waiting,  // shown, its first picture not here yet
            Live,     // shown, a picture within the last few seconds
            Stale,    // shown, but no picture for ageMs
        };
        QString name;
        CameraRef ref;
        Seen seen = Seen::No;
        qint64 ageMs = 0;       // since its last picture (Stale)
        bool inLayout = false;  // one of several cells shows it
        bool active = false;    // something moves in its picture (in any window)
    };
    QString serverId;
    QString name;
    QString state;  // why its cameras are not listed ("Loading…"); empty when they are
    std::vector<Camera> cameras;
    bool unavailable = false;  // its lists do not come: none of its cameras can be live
};

// The camera panel: a search field over every server with its cameras, for
// placing cameras on a layout by dragging them onto its wall
// (cameradrag::kCameraMime) or opening one alone. Servers are the top rows,
// their cameras the rows under them; the second column tells a server's
// state and how many of its cameras are live, and each camera's state in
// the window, with a dot of its colour. It holds no server records: the
// application gives it what to show with setServers() and loads a server's
// cameras when serverExpanded() asks. Main thread only.
class CameraPanel : public QWidget {
    Q_OBJECT

public:
    explicit CameraPanel(QWidget* parent = nullptr);

    // Shows servers, in their order. Which servers are expanded and which
    // row is selected stay as they were for the servers (by serverId) and
    // cameras (by name) still listed, and the search still filters them.
    // The same servers and cameras as before only take their new states.
    void setServers(const std::vector<PanelServer>& servers);
    // Expands a server's row (its cameras are asked for).
    void expandServer(const QString& serverId);

    // Puts the cursor into the search field, its text selected.
    void focusSearch();

    // A server's camera count as its row shows it: "1 camera", "5 cameras",
    // in the installed language with its own plural forms.
    static QString cameraCountText(int count);
    // "2 of 4 cameras live", the plural form taken from total.
    static QString liveCountText(int live, int total);
    // A camera row's state in words: "Live", "No picture for 12 s",
    // "Server is not available", with "In the shown layout"; empty for a
    // camera the window does not show.
    static QString cameraStateText(const PanelServer& server, const PanelServer::Camera& camera);
    // A server row's second column.
    static QString serverStateText(const PanelServer& server);

    QTreeWidget* tree() const { return tree_; }
    QLineEdit* searchField() const { return search_; }
    QSize sizeHint() const override { return {300, 400}; }  // names and states side by side

signals:
    // A camera row was double-clicked or Enter pressed on it, or Enter in
    // the search field chose its first match.
    void cameraActivated(const CameraRef& ref);
    // A server row was expanded: its cameras are wanted.
    void serverExpanded(const QString& serverId);
    // Escape in an empty search field: the picture takes the keys again.
    void searchLeft();

private:
    void activate(QTreeWidgetItem* item);
    // Shows the cameras whose names hold the search text, and their
    // servers; with expand, servers with a match open.
    void applyFilter(bool expand);
    QTreeWidgetItem* firstMatch() const;
    void searchKey(int key);
    void showStates(QTreeWidgetItem* row, const PanelServer& server);

    QLineEdit* search_;                 // child
    QTreeWidget* tree_;                 // child
    std::vector<PanelServer> servers_;  // as shown
    QIcon live_, stale_, down_, waiting_;
};
