// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tx {
class JsonValue;
}

// How the data manager reports the outcome of a list load. Called on the
// worker thread that ran the load; each call returns before the load goes on.
class ZVDataManagerDelegate {
public:
    virtual ~ZVDataManagerDelegate() = default;
    virtual void camerasDidLoaded(const tx::JsonValue& list) = 0;
    virtual void mikrophonesDidLoaded(const tx::JsonValue& list) = 0;
    // Never sent by the data manager; part of the protocol for completeness.
    virtual void previewsDidLoaded(const tx::JsonValue& list) = 0;
    // Never sent by the data manager; part of the protocol for completeness.
    virtual void noConnection() = 0;
    // A list request got no answer at all.
    virtual void serverNotConnected() = 0;
    // A list answer was not a JSON array or object.
    virtual void badResponse() = 0;
};
