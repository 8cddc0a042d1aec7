// SPDX-License-Identifier: GPL-3.0-or-later
#include "cappedbody.h"

#include "picturebudget.h"

bool CappedBody::append(const char* data, std::size_t n) {
    if (static_cast<std::size_t>(bytes.size()) + n > maxBytes || (budget && !budget->take(n))) {
        overflow = true;
        return false;
    }
    taken += budget ? n : 0;
    bytes.append(data, static_cast<qsizetype>(n));
    return true;
}

void CappedBody::reset() {
    if (budget && taken > 0) budget->give(taken);
    taken = 0;
    bytes = QByteArray();
    overflow = false;
}

std::shared_ptr<const void> CappedBody::keep() {
    auto held = budget ? budget->holder(taken) : nullptr;
    taken = 0;
    return held;
}

bool CappedBody::header(const char* line, std::size_t n) {
    constexpr char kName[] = "content-length:";
    constexpr std::size_t kNameLength = sizeof kName - 1;
    if (n <= kNameLength || qstrnicmp(line, kName, kNameLength) != 0) return true;
    std::size_t i = kNameLength;
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    unsigned long long length = 0;
    bool digits = false;
    for (; i < n && line[i] >= '0' && line[i] <= '9'; ++i) {
        digits = true;
        length = length * 10 + static_cast<unsigned>(line[i] - '0');
        if (length > maxBytes) {
            overflow = true;
            return false;
        }
    }
    if (digits && bytes.isEmpty()) bytes.reserve(static_cast<qsizetype>(length));
    return true;
}
