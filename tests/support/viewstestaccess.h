// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reaches the views layer's internals that only tests need: each class
// names its access struct as a friend, so its public header shows only what
// the viewer uses.

#include "picturefreshness.h"
#include "pointerhider.h"

struct PictureFreshnessTestAccess {
    // Lowers the two-second floor of the warning, so that a test stays short.
    static void setMinimumStaleMs(PictureFreshness& freshness, int ms) {
        freshness.setMinimumStaleMs(ms);
    }
};

struct PointerHiderTestAccess {
    // Shortens the pointer's rest before it hides, so that a test stays short.
    static void setIdleMs(PointerHider& hider, int ms) { hider.setIdleMs(ms); }
};
