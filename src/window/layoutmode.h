// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "layout.h"

class CamServer;
class CameraWall;
class ServerFeeds;
class WallFetcher;
class WallRefresh;

// A wall whose cells draw from any server: a layout, one page of a
// server's wall, or one camera alone, all shown as a grid of cells. Each
// server has a fetcher and a page refresh of its own, so its requests go to
// it alone, with its own credentials, and a server that stalls holds up
// none of the others. A cell names its camera by reference (CameraRef) and
// finds it again whenever its server's list changes; a cell that cannot be
// shown says why ("Server removed", "Camera not found: Gate", the server's
// state while its lists do not come). Main thread only.
class LayoutMode {
public:
    using ServerList = std::function<const std::vector<std::shared_ptr<CamServer>>&()>;

    // What the cells show.
    struct Source {
        enum class Kind { None, Layout, WallPage };
        Kind kind = Kind::None;
        Layout layout;     // Layout (a camera alone is a 1x1 layout)
        QString serverId;  // WallPage
        int page = 0;      // WallPage, from 0
        friend bool operator==(const Source&, const Source&) = default;
    };

    LayoutMode(CameraWall* wall, ServerFeeds* feeds, ServerList servers);
    ~LayoutMode();
    LayoutMode(const LayoutMode&) = delete;
    LayoutMode& operator=(const LayoutMode&) = delete;

    // Shows source from now on; cells whose camera stays keep their picture.
    void show(const Source& source);
    // Finds every cell's camera again (a server's list changed, the server
    // list was edited) and shows what is found.
    void refresh();
    // Ends the pictures and empties the cells.
    void stop();
    // While resting no picture is asked for. Apart from that, the cells of
    // a server the server list holds (ServerFeeds::hold) or no longer has
    // rest, and only those.
    void setResting(bool resting);
    // While a cell's stills rest its camera is asked no picture for it (the
    // cell's view shows something else of that camera: its live video);
    // the same camera in other cells goes on. Ends with the source: showing
    // another one, or stop(), ends every cell's rest.
    void setStillsResting(int cell, bool resting);
    bool areStillsResting(int cell) const { return stillsResting_.count(cell) > 0; }
    // The cameras an Active Cameras layout's cells show now, in place of
    // its own cells (none past the end; empty: its own). Ends with the
    // layout: another layout shown, or stop(), drops them.
    void showInCells(std::vector<std::optional<CameraRef>> cameras);

    const Source& source() const { return source_; }
    bool isShowing() const { return source_.kind != Source::Kind::None; }
    // The layout a wall page or layout resolves to now (a wall page's
    // cameras as references); what Save Wall as Layout keeps.
    Layout currentLayout() const;

    struct Camera {
        std::shared_ptr<CamServer> server;
        std::int64_t index = -1;  // in the server's list; -1: none
    };
    // The camera a cell shows now; none for an empty or unresolved cell.
    Camera cameraAt(int cell) const;
    // The reference a cell holds (a layout's or a wall page's).
    std::optional<CameraRef> refAt(int cell) const;
    int cellCount() const;
    int columns() const;

    int selected() const { return selected_; }
    void setSelected(int cell);
    // Moves the selection with an arrow key to the neighbouring cell as
    // drawn (neighbourCell); false when it cannot move.
    bool moveSelection(int key);

    // Whether any cell had a picture within the last withinMs.
    bool hasPictureWithin(qint64 withinMs) const;
    // Whether every server the cells draw from has failed to answer (none
    // when no cell names a server).
    bool allServersUnavailable() const;
    // The servers the cells draw from, by identity.
    std::vector<QString> serverIds() const;

    // The text a cell shows instead of a camera.
    static QString serverRemovedText();
    static QString cameraNotFoundText(const CameraRef& ref);

private:
    struct Runner;
    // The layout source_ resolves to now.
    Layout resolveLayout() const;
    std::shared_ptr<CamServer> serverById(const QString& id) const;
    void fill();
    bool restsNow(const Runner& runner) const;
    void applyRest();

    CameraWall* wall_;  // not owned
    ServerFeeds* feeds_;
    ServerList servers_;
    Source source_;
    Layout shown_;                    // what the cells were filled from
    std::vector<Camera> cellCamera_;  // what each cell shows
    // By serverId.
    std::map<QString, std::unique_ptr<Runner>> runners_;
    int selected_ = -1;
    bool resting_ = false;
    std::set<int> stillsResting_;                    // cells
    std::vector<std::optional<CameraRef>> inCells_;  // showInCells()
    QMetaObject::Connection holdWatch_;              // feeds_ -> applyRest()
};
