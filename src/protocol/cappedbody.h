#pragma once

#include <QByteArray>

#include <cstddef>

// The body of one answer as it arrives, up to a cap: a server that never
// stops sending must not exhaust memory. Room is reserved at once from the
// answer's Content-Length (within the cap), so that a picture is not copied
// through a series of growing buffers, and a length over the cap ends the
// transfer before its body is read.
struct CappedBody {
    QByteArray bytes;
    std::size_t maxBytes = 0;
    bool overflow = false;

    // From libcurl's write and header callbacks: false ends the transfer.
    bool append(const char* data, std::size_t n);
    bool header(const char* line, std::size_t n);
    void reset() {
        bytes = QByteArray();
        overflow = false;
    }
};
