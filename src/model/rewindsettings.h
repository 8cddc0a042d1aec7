// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rewindstore.h"

class QSettings;

// The person's rewind choices as the viewer keeps them between runs, under
// "rewind/…" of the application's settings. A value out of its range reads
// back as the nearest allowed one; one that is not a number (or a yes/no)
// at all reads back as the default.
struct RewindSettings {
    static constexpr int kMinMinutes = 1, kMaxMinutes = 60;
    static constexpr int kMinMemoryMiB = 64, kMaxMemoryMiB = 16384;
    static constexpr int kMinDiskGiB = 0, kMaxDiskGiB = 1024;

    bool enabled = true;
    int minutes = 5;
    int memoryMiB = 512;
    int diskGiB = 4;  // 0: memory only
    bool keepAtQuit = false;

    static RewindSettings load();
    static RewindSettings load(const QSettings& settings);
    void save() const;
    void save(QSettings& settings) const;

    // The store's minutes and caps (the segment size stays the store's own).
    RewindStore::Options options() const;
};
