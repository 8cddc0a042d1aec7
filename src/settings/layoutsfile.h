// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "layout.h"
#include "spacedwrites.h"

// The control room's file, "layouts.json" beside settings.dat: layouts,
// tours and windows, written as JSON by the same means as the settings
// (atomically, readable by the user alone, through a symbolic link) and
// never touching settings.dat itself.
//
// A file that cannot be read (no JSON, no object at its top, a folder in
// its place) gives an empty control room; it is moved aside to
// "layouts.json.corrupt" before the first save replaces it. A file read in
// part (ControlRoom::fromJson() left something out or read it otherwise)
// is copied to that name before the first save over it. A link to something
// other than a regular file (to /dev/null: "never save") is never read,
// moved or replaced, and saves fail without a word, as for settings.dat.
//
// A change is pending until a save writes it: a failed save (a full disk)
// is tried again after kFirstRetryMs, then at twice the wait each time up to
// kLastRetryMs, until one succeeds, and at the latest when the store ends.
//
// Windows beyond the first kMaxWindows are not brought back: room() holds
// the first ones, and the others are written back after them, unchanged.
//
// What the person is to be told (each of the alerts below at most once,
// the failed save once until a save succeeds again) waits in takeAlerts().
//
// Main thread; saveSoon() and the retries need an event loop.
class LayoutsFile {
public:
    static constexpr const char* kUnreadableAlert = QT_TRANSLATE_NOOP(
        "Zorvan",
        "The layouts file could not be read. It was kept as layouts.json.corrupt and the "
        "layouts start empty.");
    static constexpr const char* kSkippedAlert = QT_TRANSLATE_NOOP(
        "Zorvan",
        "Some entries of the layouts file could not be used and were left out or corrected. "
        "The file as it was is kept as layouts.json.corrupt.");
    static constexpr const char* kSaveFailedAlert = QT_TRANSLATE_NOOP(
        "Zorvan",
        "The layouts could not be saved. Zorvan keeps your changes and keeps trying until they "
        "are saved.");
    static constexpr const char* kWindowsHeldAlert = QT_TRANSLATE_NOOP(
        "Zorvan",
        "The layouts file holds more windows than Zorvan opens at a start: the first 16 were "
        "opened, and the others are kept in the file.");
    static constexpr int kSaveSpacingMs = 500;
    static constexpr int kFirstRetryMs = 2000;
    static constexpr int kLastRetryMs = 60000;
    // Each window costs its menus, walls and fetchers: a file of a thousand
    // took the viewer a minute to start. The count matches kWindowsHeldAlert.
    static constexpr std::size_t kMaxWindows = 16;

    // The store over the file in folder (made when missing), already loaded.
    static std::unique_ptr<LayoutsFile> openInFolder(const QString& folder);
    ~LayoutsFile();  // finish()
    LayoutsFile(const LayoutsFile&) = delete;
    LayoutsFile& operator=(const LayoutsFile&) = delete;

    // The file's full path.
    QString path() const;

    const ControlRoom& room() const { return room_; }
    // For changes; the caller then calls saveSoon() (or save()).
    ControlRoom& room() { return room_; }

    // Writes the file now, taking a pending saveSoon() with it. True when it
    // was written; a failure changes nothing on disk and is tried again.
    bool save();
    // Writes the file soon, the way Settings::saveSoon() does: changes that
    // keep coming are written at most twice a second, and the last one is
    // in the file within half a second. While saves fail, the next try
    // takes the change.
    void saveSoon();
    // A change is not in the file yet: its write waits for its turn, or a
    // save failed and is to be tried again.
    bool savePending() const { return dirty_; }
    // Writes a pending change once more, if any, and stops trying (quit):
    // nothing is said of a failure any more.
    void finish();

    // The texts (English keys) to tell the person, in the order they came
    // up; taking them empties the list.
    std::vector<const char*> takeAlerts() { return std::exchange(alerts_, {}); }
    // Called whenever an alert is added after the load.
    void setAlertListener(std::function<void()> listener) { alertListener_ = std::move(listener); }

private:
    enum class Outcome { Written, LeftAlone, Failed };

    explicit LayoutsFile(const QString& folder);
    void load();
    Outcome write();
    void alert(const char* text);

    const QString folder_;
    ControlRoom room_;
    std::vector<WindowState> heldWindows_;  // beyond kMaxWindows, written back as they were
    bool keepUnreadableFile_ = false;       // moved aside before the first save
    bool keepCopy_ = false;                 // copied aside before the first save
    bool dirty_ = false;
    bool failureTold_ = false;
    int retryMs_ = 0;  // the last wait before a retry, 0 after a success
    std::vector<const char*> alerts_;
    std::function<void()> alertListener_;
    QTimer retry_;
    // Quick changes written together (saveSoon()).
    SpacedWrites writes_{std::chrono::milliseconds(kSaveSpacingMs), [this] { save(); }};
};
