// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "picturefile.h"

// Writes saved pictures on a thread of its own, so that a slow or stalled
// disk never holds up the window, one after another in the order asked.
// Made, used and destroyed on the main thread; each save's done runs there
// with the outcome. Destruction finishes the saves already asked for (a
// picture asked to be kept is not lost at quit), then joins; no done runs
// after it.
class PictureSaver : public QObject {
public:
    using Done = std::function<void(const PictureFile::Saved&)>;

    PictureSaver() = default;
    ~PictureSaver() override;
    PictureSaver(const PictureSaver&) = delete;
    PictureSaver& operator=(const PictureSaver&) = delete;

    // PictureFile::save(folder, cameraName, arrived, bytes, serverName), then done.
    // Without bytes, what lossless gives is written as a lossless PNG (made
    // and encoded here, off the main thread).
    void save(const QString& folder, const QString& cameraName, const QDateTime& arrived,
              const QByteArray& bytes, Done done, std::function<QImage()> lossless = nullptr,
              const QString& serverName = QString());

private:
    struct Job {
        QString folder, cameraName, serverName;
        QDateTime arrived;
        QByteArray bytes;
        Done done;
        std::function<QImage()> lossless;  // made and encoded as PNG when bytes is empty
    };
    void run(const std::weak_ptr<const bool>& alive);

    std::mutex lock_;  // guards the two fields below
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::condition_variable wake_;
    // Expires when destruction starts; outcomes still on their way are dropped.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
    std::thread thread_;  // started by the first save
};
