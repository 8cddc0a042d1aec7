// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>

#include <QImage>
#include <QString>

#include "camerapicture.h"

class CamServer;
class CameraImageView;

// One camera of a server, built from the server's camera list. Its position
// in that list is its identity everywhere (menu tag, picture job index).
//
// Data fields are set while the list is built and only read once the list has
// been published. The live-picture half (the view and the request gate) is
// used on the main thread, except the gate, which workers also set.
class CameraView : public std::enable_shared_from_this<CameraView> {
public:
    CameraView(const QString& name, CamServer* server) : cameraName(name), server(server) {}
    virtual ~CameraView() = default;
    CameraView(const CameraView&) = delete;
    CameraView& operator=(const CameraView&) = delete;

    QString cameraName;
    QString uri;
    QString imageUri;
    QString videoUri;
    CamServer* server;  // not owned: the server owns this record
    // Set once the picture path has been refused, so that is logged once.
    bool pathRefused = false;  // main thread

    // --- live picture (main thread, except the gate) ---

    // Shows this camera's pictures in view from now on, and tells the view;
    // the record that showed them there before no longer does.
    void setCamera(CameraImageView* view);
    CameraImageView* camera() const { return camera_; }

    // The request gate: true when a new picture may be asked for.
    bool canLoadNext() const { return canLoadNext_.load(); }
    void setCanLoadNext(bool open) { canLoadNext_.store(open); }

    // The size the view asks pictures for (its size in device pixels,
    // truncated, or more while it is zoomed in) as "WxH"; "0x0" without a
    // view.
    QString currentResolution() const;

    // Puts the picture (or none) into the view and reopens the gate. Must run
    // on the main thread.
    void updateCamera(const CameraPicture& picture);

private:
    friend class CameraImageView;
    CameraImageView* camera_ = nullptr;  // not owned; cleared when the view goes
    std::atomic<bool> canLoadNext_{false};
};

// A pan/tilt/zoom camera. It behaves as a CameraView; its paths are only kept.
class PTZCameraView : public CameraView {
public:
    using CameraView::CameraView;

    QString focusUri;
    QString menuActivateUri;
    QString menuHideUri;
    QString menuMoveUri;
    QString menuShowUri;
    QString panUri;
    QString presetsUri;
    QString zoomUri;
};
