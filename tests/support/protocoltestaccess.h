// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reaches the protocol layer's internals that only tests need: each class
// names its access struct as a friend, so its public header shows only what
// the viewer uses.

#include "zvdatamanager.h"

struct ZVDataManagerTestAccess {
    // Shortens the request timeout (25 s in the viewer).
    static void setRequestTimeoutMs(ZVDataManager& dm, long ms) { dm.setRequestTimeoutMs(ms); }
    // While set, new queues hold their jobs not yet started.
    static void setQueueSuspended(ZVDataManager& dm, bool suspended) {
        dm.setQueueSuspended(suspended);
    }
};
