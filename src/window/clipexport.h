// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rewindstore.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QWidget;

// Writes clips of a few cameras' kept moments, one after the other, on a
// thread of its own, so that the window stays live meanwhile. Made, started
// and cancelled on the main thread; its signals come there too.
class ClipExport : public QObject {
    Q_OBJECT
public:
    struct Item {
        QString camera;                  // the rewind store's key
        QString serverName, cameraName;  // as the server calls them, for the file name
    };

    explicit ClipExport(QObject* parent = nullptr);
    ~ClipExport() override;  // cancels and waits for the clip being written

    // False (and nothing done) while an export runs.
    bool start(std::shared_ptr<RewindStore> store, std::vector<Item> items, qint64 from, qint64 to,
               QString folder);
    void cancel();
    bool isRunning() const { return running_; }

    // The user's Movies folder's "Zorvan", made when missing.
    static QString defaultFolder();

signals:
    void progress(int percent);
    // The files made; `error` says what went wrong or was left out (empty
    // when every clip was written whole).
    void finished(const QStringList& written, const QString& error, bool cancelled);

private:
    void run(std::shared_ptr<RewindStore> store, std::vector<Item> items, qint64 from, qint64 to,
             QString folder);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    bool running_ = false;
};

// Exports with a window-modal progress dialog over `window` and tells at the
// end where the files went (or what went wrong).
void exportClips(QWidget* window, std::shared_ptr<RewindStore> store,
                 std::vector<ClipExport::Item> items, qint64 from, qint64 to, QString folder);
