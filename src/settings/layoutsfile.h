// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <memory>

#include "layout.h"
#include "spacedwrites.h"

// The control room's file, "layouts.json" beside settings.dat: layouts,
// tours and windows, written as JSON by the same means as the settings
// (atomically, readable by the user alone, through a symbolic link) and
// never touching settings.dat itself.
//
// A file that cannot be read (no JSON, no object at its top, a folder in
// its place) gives an empty control room; it is moved aside to
// "layouts.json.corrupt" before the first save replaces it, and the
// application is asked to say so once (unreadableAlertPending()). A link
// to something other than a regular file (to /dev/null: "never save") is
// never read, moved or replaced, and saves fail, as for settings.dat.
//
// Main thread; saveSoon() needs an event loop.
class LayoutsFile {
public:
    static constexpr const char* kUnreadableAlert = QT_TRANSLATE_NOOP(
        "Zorvan",
        "The layouts file could not be read. It was kept as layouts.json.corrupt and the "
        "layouts start empty.");
    static constexpr int kSaveSpacingMs = 500;

    // The store over the file in folder (made when missing), already loaded.
    static std::unique_ptr<LayoutsFile> openInFolder(const QString& folder);
    ~LayoutsFile();  // writes a change still waiting for saveSoon()
    LayoutsFile(const LayoutsFile&) = delete;
    LayoutsFile& operator=(const LayoutsFile&) = delete;

    // The file's full path.
    QString path() const;

    const ControlRoom& room() const { return room_; }
    // For changes; the caller then calls saveSoon() (or save()).
    ControlRoom& room() { return room_; }

    // Writes the file now, taking a pending saveSoon() with it. True when it
    // was written; a failure changes nothing on disk.
    bool save();
    // Writes the file soon, the way Settings::saveSoon() does: changes that
    // keep coming are written at most twice a second, and the last one is
    // in the file within half a second.
    void saveSoon();
    bool savePending() const;

    // The file was there but could not be read, and the alert that says so
    // (kUnreadableAlert) has not been taken yet.
    bool unreadableAlertPending() const { return alertPending_; }
    // Takes the alert: true once after an unreadable file, then false.
    bool takeUnreadableAlert() { return std::exchange(alertPending_, false); }

private:
    explicit LayoutsFile(const QString& folder);
    void load();

    const QString folder_;
    ControlRoom room_;
    bool keepUnreadableFile_ = false;
    bool alertPending_ = false;
    // Quick changes written together (saveSoon()).
    SpacedWrites writes_{std::chrono::milliseconds(kSaveSpacingMs), [this] { save(); }};
};
