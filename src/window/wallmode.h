// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "camserver.h"
#include "wallpages.h"

class CameraWall;
class WallFetcher;
class WallRefresh;

// The camera wall's page of one server: which camera each cell shows, the
// selected cell, and the live pictures of the page. While it shows a server
// it owns that server's fetcher and page refresh; showing another server,
// stop() and destruction end both (the refresh first), so the server left
// gets no more requests. Main thread only.
class WallMode {
public:
    explicit WallMode(CameraWall* wall);
    ~WallMode();
    WallMode(const WallMode&) = delete;
    WallMode& operator=(const WallMode&) = delete;

    // Shows the page of server's cameras that holds selected, laid out for
    // the server's cameras-per-page, with selected's cell framed; a camera
    // outside the list selects nothing and shows the first page. Cells whose
    // camera stays keep their picture.
    void show(const std::shared_ptr<CamServer>& server, std::int64_t selected);
    // Ends the pictures and empties the cells, laid out for server's
    // cameras-per-page (none: as they are); the next show() starts again.
    void clear(const CamServer* server);
    // Ends the pictures: no request leaves for any camera from here on.
    void stop();

    // The server shown, while the wall's pictures run.
    const std::shared_ptr<CamServer>& server() const { return server_; }
    // The paging of the server shown (no cameras before the first show()).
    const WallPages& pages() const { return pages_; }
    std::int64_t selected() const { return selected_; }
    // The camera in a cell of the page shown, or -1 for an empty cell.
    std::int64_t cameraAt(int cell) const;
    // Whether the cells read "Camera — Server": where the server list holds
    // more than one server. The captions follow at once (and a renamed
    // server's name with them).
    void setNamesServer(bool on);

    // While resting no picture is asked for (the window cannot be seen).
    void setResting(bool resting);
    WallRefresh* refresh() const { return refresh_.get(); }

private:
    void fillCells(const CameraList* cameras, int refreshMs);

    CameraWall* wall_;  // not owned
    std::shared_ptr<CamServer> server_;
    std::unique_ptr<WallFetcher> fetcher_;
    std::unique_ptr<WallRefresh> refresh_;  // uses fetcher_: made after it, ended before it
    WallPages pages_{0, WallPages::kDefaultCells};
    std::shared_ptr<const CameraList> shownList_;  // the list the cells were filled from
    std::int64_t firstShown_ = -1;                 // the page's first camera
    std::int64_t selected_ = -1;
    bool resting_ = false;
    bool namesServer_ = false;
};
