// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstddef>
#include <memory>

class PictureBudget;

// The body of one answer as it arrives, up to a cap: a server that never
// stops sending must not exhaust memory. Room is reserved at once from the
// answer's Content-Length (within the cap), so that a picture is not copied
// through a series of growing buffers, and a length over the cap ends the
// transfer before its body is read.
//
// With a budget, every byte is also taken from it as it arrives (a body the
// budget cannot take overflows), and given back at reset(), unless keep()
// handed the bytes' share on to whoever keeps them.
struct CappedBody {
    QByteArray bytes;
    std::size_t maxBytes = 0;
    bool overflow = false;
    PictureBudget* budget = nullptr;  // not owned
    std::size_t taken = 0;            // of the budget, for these bytes

    CappedBody() = default;
    CappedBody(const CappedBody&) = delete;
    CappedBody& operator=(const CappedBody&) = delete;
    ~CappedBody() { reset(); }
    // From libcurl's write and header callbacks: false ends the transfer.
    bool append(const char* data, std::size_t n);
    bool header(const char* line, std::size_t n);
    void reset();
    // The budget's share of the bytes, held until the holder goes; the
    // body no longer gives it back.
    std::shared_ptr<const void> keep();
};
