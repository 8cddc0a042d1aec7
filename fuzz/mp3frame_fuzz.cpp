// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the MPEG audio frame reader: the input is a stream as a
// server might send it, written to a file the way the viewer writes it.
// Property: every packet handed out lies within the input, starts with a
// valid frame header of the stream's format and is exactly one frame long;
// packets follow each other in the file without overlapping.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mp3file.h"
#include "mp3frame.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The pure search first: whatever it finds lies in the window.
    const mp3::Location found = mp3::findFrame(data, size, 0, nullptr, true);
    if (found.found == mp3::Found::Frame) {
        check(found.offset + found.header.length <= size);
        check(mp3::parseHeader(data + found.offset, size - found.offset).has_value());
    }

    static const std::string path = [] {
        char name[] = "/tmp/mp3frame-fuzz-XXXXXX";
        const int fd = ::mkstemp(name);
        ::close(fd);
        return std::string(name);
    }();
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) return 0;
    // Half first, as a growing file, then the rest.
    const std::size_t half = size / 2;
    check(::write(fd, data, half) == static_cast<ssize_t>(half));
    Mp3File::Error error;
    std::unique_ptr<Mp3File> file = Mp3File::open(path, &error);
    check(::write(fd, data + half, size - half) == static_cast<ssize_t>(size - half));
    ::close(fd);
    if (!file) file = Mp3File::open(path, &error, true);
    if (!file) return 0;
    check(file->dataOffset() < size);
    const auto first = mp3::parseHeader(data + file->dataOffset(), size - file->dataOffset());
    check(first.has_value());

    std::vector<std::uint8_t> out;
    std::vector<Mp3File::PacketDescription> descs;
    std::int64_t packet = 0;
    std::size_t lastEnd = 0;
    for (int reads = 0; reads < 10000; ++reads) {
        const std::uint32_t n = file->readPacketData(packet, 4096, 16, out, &descs);
        if (n == 0) break;
        check(descs.size() == n);
        for (const auto& d : descs) {
            check(d.startOffset >= 0 && d.startOffset + d.dataByteSize <= out.size());
            const std::uint8_t* p = out.data() + d.startOffset;
            const auto h = mp3::parseHeader(p, d.dataByteSize);
            check(h.has_value() && h->length == d.dataByteSize && mp3::sameStream(*first, *h));
            // The packet's bytes are somewhere in the input after the last one.
            const void* at = memmem(data + lastEnd, size - lastEnd, p, d.dataByteSize);
            check(at != nullptr);
            lastEnd = static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - data) +
                      d.dataByteSize;
        }
        packet += n;
    }
    return 0;
}
