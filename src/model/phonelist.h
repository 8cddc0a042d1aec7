// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class CamServer;

// One microphone of a server, tied to a camera by cameraUri. A null QString
// is an absent field. Fields are set while the list is built and only read
// once the list has been published.
class PhoneList {
public:
    PhoneList(const QString& name, CamServer* server) : microphoneName(name), server(server) {}

    QString microphoneName;
    QString uri;
    QString audioUri;
    QString cameraUri;
    CamServer* server;  // not owned: the server owns this record
};
