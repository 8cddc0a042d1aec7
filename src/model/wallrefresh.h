#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class CamServer;
class CameraImageView;
class WallLoader;

// The live pictures of one page of a server's cameras (the camera wall).
// Every camera on the page refreshes at the server's rate on a schedule of
// its own, with at most one request in flight, asked for at its view's size
// in device pixels. A camera that leaves the page gets no more requests, and
// a picture that comes back late never lands in a view that now shows
// another camera. Main thread only.
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
    // Requests in flight now, over all cameras of the page.
    int inFlight() const;

private:
    struct Camera;
    std::shared_ptr<CamServer> server_;
    WallLoader* loader_;
    std::vector<std::unique_ptr<Camera>> cameras_;
    bool resting_ = false;
};
