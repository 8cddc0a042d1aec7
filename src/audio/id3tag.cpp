// SPDX-License-Identifier: GPL-3.0-or-later
#include "id3tag.h"

#include <bit>
#include <cstring>
#include <utility>

namespace id3 {

namespace {

std::uint32_t bigEndian32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    // The bytes are in the file's (big-endian) order; bring them to ours.
    if constexpr (std::endian::native == std::endian::little) flipBytesInUInt32(&v);
    return v;
}

std::optional<std::uint32_t> syncSafe32(const std::uint8_t* p) {
    if ((p[0] | p[1] | p[2] | p[3]) & 0x80) return std::nullopt;
    return (std::uint32_t(p[0]) << 21) | (std::uint32_t(p[1]) << 14) | (std::uint32_t(p[2]) << 7) |
           std::uint32_t(p[3]);
}

// Position of the first "name\0" in tag[0, size - 4), or npos.
std::size_t findFrameId(const std::uint8_t* tag, std::size_t size, const char* name) {
    if (size <= 4) return std::string::npos;
    for (std::size_t i = 0; i < size - 4; ++i) {
        if (std::memcmp(tag + i, name, 4) == 0 && tag[i + 4] == 0) return i;
    }
    return std::string::npos;
}

// Length of the zero-terminated text at p within [p, end), or npos when it
// has no zero byte there.
std::size_t cStringLength(const std::uint8_t* p, const std::uint8_t* end) {
    const void* zero = std::memchr(p, 0, static_cast<std::size_t>(end - p));
    return zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - p)
                : std::string::npos;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A text frame's body: an encoding byte, then the text (cut at its first
// terminator). Returns UTF-8.
std::string decodeText(const std::uint8_t* p, std::size_t n) {
    std::string out;
    if (n == 0) return out;
    const std::uint8_t encoding = p[0];
    ++p;
    --n;
    if (encoding == 0) {  // ISO-8859-1
        for (std::size_t i = 0; i < n && p[i]; ++i) appendUtf8(out, p[i]);
    } else if (encoding == 3) {  // UTF-8
        std::size_t len = 0;
        while (len < n && p[len]) ++len;
        out.assign(reinterpret_cast<const char*>(p), len);
    } else if (encoding == 1 || encoding == 2) {  // UTF-16 with BOM, or big-endian
        bool big = encoding == 2;
        std::size_t i = 0;
        if (encoding == 1 && n >= 2) {
            if (p[0] == 0xFF && p[1] == 0xFE) {
                big = false;
                i = 2;
            } else if (p[0] == 0xFE && p[1] == 0xFF) {
                big = true;
                i = 2;
            }
        }
        for (; i + 1 < n; i += 2) {
            std::uint32_t u = big ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
            if (u == 0) break;
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {
                const std::uint32_t lo =
                    big ? (p[i + 2] << 8 | p[i + 3]) : (p[i + 3] << 8 | p[i + 2]);
                if (lo >= 0xDC00 && lo < 0xE000) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                    i += 2;
                } else {
                    u = 0xFFFD;
                }
            } else if (u >= 0xD800 && u < 0xE000) {
                u = 0xFFFD;
            }
            appendUtf8(out, u);
        }
    }
    return out;
}

void readPicture(const std::uint8_t* tag, std::size_t size, TagInfo& info) {
    const std::size_t i = findFrameId(tag, size, "APIC");
    if (i == std::string::npos || i + 11 > size) return;
    const std::uint64_t frameSize = bigEndian32(tag + i + 4);
    const std::uint8_t* end = tag + size;
    // The frame's own end, where its size says it is, must lie in the tag.
    if (i + 10 + frameSize > size) return;
    const std::uint8_t* mime = tag + i + 11;
    const std::size_t mimeLength = cStringLength(mime, end);
    if (mimeLength == std::string::npos) return;
    const std::uint8_t* description = mime + mimeLength + 2;  // zero byte, picture type
    if (description >= end) return;
    const std::size_t descriptionLength = cStringLength(description, end);
    if (descriptionLength == std::string::npos) return;
    const std::uint8_t* data = description + descriptionLength + 1;
    const std::uint64_t overhead = std::uint64_t(mimeLength) + descriptionLength + 4;
    if (frameSize < overhead) return;
    const std::uint64_t dataLength = frameSize - overhead;
    if (data > end || dataLength > static_cast<std::uint64_t>(end - data)) return;
    info.image.emplace(data, data + dataLength);
}

void readLength(const std::uint8_t* tag, std::size_t size, TagInfo& info) {
    const std::size_t j = findFrameId(tag, size, "TLEN");
    if (j == std::string::npos || j + 11 > size) return;
    const std::uint64_t frameSize = bigEndian32(tag + j + 4);
    if (frameSize < 1 || j + 10 + frameSize > size) return;
    const char* text = reinterpret_cast<const char*>(tag + j + 11);
    const std::size_t n = static_cast<std::size_t>(frameSize - 1);
    info.duration.emplace(text, strnlen(text, n));
}

// Walks the frames of a tag of version 2, 3 or 4 for the dictionary's texts.
void readDictionary(const std::uint8_t* tag, std::size_t size, TagInfo& info) {
    if (size < 10) return;
    const int version = tag[3];
    if (version < 2 || version > 4) return;
    const std::uint8_t flags = tag[5];
    if (flags & 0x80) return;  // unsynchronised tag bodies are not read
    std::size_t pos = 10;
    if ((flags & 0x40) && version >= 3) {  // extended header
        if (pos + 4 > size) return;
        std::uint64_t ext = version == 4 ? syncSafe32(tag + pos).value_or(0xFFFFFFFF)
                                         : std::uint64_t(bigEndian32(tag + pos)) + 4;
        if (ext > size - pos) return;
        pos += static_cast<std::size_t>(ext);
    }
    const std::size_t headerSize = version == 2 ? 6 : 10;
    const std::size_t idSize = version == 2 ? 3 : 4;
    while (pos + headerSize <= size && tag[pos] != 0) {
        const std::uint8_t* h = tag + pos;
        std::uint64_t frameSize;
        if (version == 2) {
            frameSize = (std::uint32_t(h[3]) << 16) | (std::uint32_t(h[4]) << 8) | h[5];
        } else if (version == 4) {
            const auto s = syncSafe32(h + 4);
            if (!s) return;
            frameSize = *s;
        } else {
            frameSize = bigEndian32(h + 4);
        }
        if (frameSize > size - pos - headerSize) return;
        const std::string id(reinterpret_cast<const char*>(h), idSize);
        const std::uint8_t* body = h + headerSize;
        const std::size_t bodySize = static_cast<std::size_t>(frameSize);
        if (id == "TALB" || id == "TAL") {
            info.album = decodeText(body, bodySize);
        } else if (id == "TIT2" || id == "TT2") {
            info.title = decodeText(body, bodySize);
        } else if (id == "TCON" || id == "TCO") {
            info.genre = decodeText(body, bodySize);
        } else if (id == "TYER" || id == "TDRC" || id == "TYE") {
            info.year = decodeText(body, bodySize);
        } else if (id == "TCOP" || id == "TCR") {
            info.copyright = decodeText(body, bodySize);
        }
        pos += headerSize + bodySize;
    }
}

}  // namespace

void flipBytesInUInt32(std::uint32_t* value) {
    auto* b = reinterpret_cast<std::uint8_t*>(value);
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
}

std::size_t tagSize(const std::uint8_t* data, std::size_t n) {
    if (n < 10 || std::memcmp(data, "ID3", 3) != 0 || data[3] == 0xFF || data[4] == 0xFF) return 0;
    const std::optional<std::uint32_t> body = syncSafe32(data + 6);
    if (!body) return 0;
    return 10 + std::size_t(*body) + ((data[5] & 0x10) ? 10 : 0);
}

TagInfo readTag(const std::uint8_t* tag, std::size_t size) {
    TagInfo info;
    if (!tag) return info;
    readPicture(tag, size, info);
    readLength(tag, size, info);
    readDictionary(tag, size, info);
    return info;
}

}  // namespace id3
