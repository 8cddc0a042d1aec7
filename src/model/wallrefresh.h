// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct CameraPicture;

class CamServer;
class CameraImageView;
class WallLoader;

// The live pictures of one page of a server's cameras (the camera wall).
// Every camera on the page refreshes at the server's rate on a schedule of
// its own, with at most one request in flight, asked for at the size its
// view asks (CameraImageView::askedPixels: its device pixels, or more while
// zoomed). A camera that leaves the page gets no more requests, and
// a picture that comes back late never lands in a view that now shows
// another camera. Main thread only.
//
// The views are not owned: a view must stay alive while it is on the page
// (show a page without it, or stop(), before deleting it). A camera index
// given for several cells of one page is asked once, at the largest of
// their sizes, and each of them shows the picture (scaled down for the
// smaller ones): the server sees one request in flight per camera.
class WallRefresh {
public:
    struct Cell {
        std::int64_t cameraIndex;  // position in the server's camera list
        CameraImageView* view;     // not owned; shows that camera's pictures
    };

    // loader: not owned; must outlive this object or be replaced first.
    WallRefresh(std::shared_ptr<CamServer> server, WallLoader* loader);
    ~WallRefresh();  // stop()
    WallRefresh(const WallRefresh&) = delete;
    WallRefresh& operator=(const WallRefresh&) = delete;

    // Replaces the page: cameras no longer on it stop at once (their
    // outstanding requests are cancelled), new ones ask for a picture now.
    // A camera index outside the server's list is shown no picture.
    void showPage(std::vector<Cell> cells);
    // Ends every camera's refresh; nothing lands afterwards.
    void stop();
    // While resting (the window cannot be seen) no request leaves; leaving
    // the rest asks every camera for a picture at once.
    void setResting(bool resting);

    const std::shared_ptr<CamServer>& server() const { return server_; }

private:
    struct Camera;
    // Asks for the camera's next picture when its slot has come, or sets its
    // timer for the slot.
    void tick(Camera& camera);
    void answered(std::int64_t index, std::uint64_t generation, const CameraPicture& picture);
    Camera* find(std::int64_t index) const;

    std::shared_ptr<CamServer> server_;
    WallLoader* loader_;
    std::vector<std::unique_ptr<Camera>> cameras_;
    bool resting_ = false;
    // Every camera that joins the page gets a new generation; an answer for
    // an older one is thrown away.
    std::uint64_t nextGeneration_ = 1;
    // Answers hold it weakly: none reaches a destroyed refresh, whatever
    // the loader does.
    std::shared_ptr<WallRefresh*> self_;
};
