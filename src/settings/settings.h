// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "spacedwrites.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class CamServer;
class QTranslator;

// The process-wide settings store: the user's servers (which of them is
// current is the record whose isSelected is set), the last camera position,
// the image quality, the interface language name and the main window frame.
// It reads its file "settings.dat" once, when first used, and rewrites the
// whole file on each save(); a save replaces the file atomically, so a crash
// or a full disk never leaves a partial file behind.
//
// Threads: sharedSettings() may be called from any thread (the first call
// makes and loads the store under a lock); every other operation belongs to
// the main thread.
class Settings {
public:
    // The one store of the process, made and loaded on first use and never
    // destroyed.
    static Settings& sharedSettings();

    // An independent store over the given folder, already loaded. For tests
    // and tools, since the shared store loads once per process.
    // localeLanguage stands for the language code of the user's locale,
    // which chooses the language name of a first start.
    static std::unique_ptr<Settings> createInFolder(const QString& folder,
                                                    const QString& localeLanguage);

    // The folder of the settings file for the current user: on macOS
    // ~/Library/Application Support/Zorvan, elsewhere $XDG_DATA_HOME/Zorvan
    // (by default ~/.local/share/Zorvan).
    static QString defaultFolder();
    // The language code of the user's locale, such as "ru" or "en".
    static QString systemLanguageCode();

    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // The live list, in file order; callers must not keep iterators across
    // calls that change it.
    const std::vector<std::shared_ptr<CamServer>>& getServers() const { return servers_; }
    // The first flagged record, else the first record, else nullptr.
    std::shared_ptr<CamServer> getCurrent() const;
    // Flags exactly the given record (by identity); does not save.
    void setCurrent(const std::shared_ptr<CamServer>& server);
    // Appends a record that is not yet in the list and saves; a record
    // already there (same object) changes nothing.
    void updateServer(const std::shared_ptr<CamServer>& server);
    // Removes every occurrence of the record, then saves in any case.
    void deleteServer(const std::shared_ptr<CamServer>& server);

    // Writes the file. True when it was written; a failure changes nothing,
    // in memory or on disk, and callers may ignore it. Takes a pending
    // saveSoon() with it.
    bool save();
    // Writes the file soon rather than now, for changes that come in quick
    // succession (a held arrow key steps cameras some 30 times a second):
    // at once when the last write is kSaveSpacingMs old or more, otherwise
    // when that spacing has passed. Changes that keep coming are so written
    // at most twice a second, and the last one is in the file within half a
    // second. Main thread, with an event loop.
    void saveSoon();
    // A saveSoon() is waiting for its turn.
    bool savePending() const;
    static constexpr int kSaveSpacingMs = 500;
    // Reads the file, or sets up a first start without one. Runs once; later
    // calls do nothing.
    void load();

    QRectF getWinPosition() const { return winPosition_; }
    // False on a first start, and when the stored frame was out of any
    // screen's range: the window is then placed by the viewer itself.
    bool hasStoredFrame() const { return hasStoredFrame_; }
    void setWinPosition(const QRectF& frame) {
        winPosition_ = frame;
        hasStoredFrame_ = true;
    }
    QString lang() const { return lang_; }
    void setLang(const QString& name) { lang_ = name; }
    double quality() const { return quality_; }
    void setQuality(double quality) { quality_ = quality; }
    std::int64_t cameraIdx() const { return cameraIdx_; }
    void setCameraIdx(std::int64_t index) { cameraIdx_ = index; }

    // Keyring entries (by keyringId) of servers removed while the system
    // keyring could not delete them: kept in the file ("keyringRemovals") so
    // that a later run deletes them once the keyring can.
    QStringList keyringRemovals() const { return keyringRemovals_; }
    void setKeyringRemovals(const QStringList& ids) { keyringRemovals_ = ids; }

    // The file's full path; makes its folder (and missing parents) first.
    QString pathToDataFile() const;

    // The interface text for key in the language lang(): "Русский" and
    // "简体中文" use the application's ru and zh_CN translations; "English",
    // any other name, and a key missing from the table give the key itself.
    QString getStringForKey(const QString& key) const;

private:
    Settings(const QString& folder, const QString& localeLanguage);

    void loadDefaults();
    void loadFrom(const QVariantMap& root);
    QVariantMap toRoot() const;

    const QString folder_;
    const QString localeLanguage_;
    bool loaded_ = false;
    // The file was there at load but could not be read: it is moved aside
    // before the first save replaces it, so that one bad start does not
    // destroy a list the user might still recover.
    bool keepUnreadableFile_ = false;

    std::vector<std::shared_ptr<CamServer>> servers_;
    QString lang_;
    double quality_ = 0;
    QRectF winPosition_;
    bool hasStoredFrame_ = false;
    std::int64_t cameraIdx_ = 0;
    QStringList keyringRemovals_;

    // Quick changes written together (saveSoon()).
    SpacedWrites writes_{std::chrono::milliseconds(kSaveSpacingMs), [this] { save(); }};

    // Translation tables by resource path, loaded on first use (nullptr when
    // the resource is missing, so that it is not looked for again).
    mutable std::map<QString, std::unique_ptr<QTranslator>> translators_;
};
