// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturesaver.h"

#include <QBuffer>

#include "mainthreadcall.h"

PictureSaver::~PictureSaver() {
    alive_.reset();  // outcomes already on their way to the main thread are dropped
    {
        std::lock_guard l(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PictureSaver::save(const QString& folder, const QString& cameraName, const QDateTime& arrived,
                        const QByteArray& bytes, Done done, std::function<QImage()> lossless,
                        const QString& serverName) {
    {
        std::lock_guard l(lock_);
        jobs_.push_back(
            {folder, cameraName, serverName, arrived, bytes, std::move(done), std::move(lossless)});
    }
    wake_.notify_one();
    if (!thread_.joinable())
        thread_ = std::thread([this, alive = std::weak_ptr<const bool>(alive_)] { run(alive); });
}

void PictureSaver::run(const std::weak_ptr<const bool>& alive) {
    for (;;) {
        Job job;
        {
            std::unique_lock l(lock_);
            wake_.wait(l, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;  // stopping, and every save done
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        if (job.bytes.isEmpty() && job.lossless) {
            QBuffer buffer(&job.bytes);
            buffer.open(QIODevice::WriteOnly);
            job.lossless().save(&buffer, "PNG");
            job.lossless = nullptr;
        }
        const PictureFile::Saved saved =
            PictureFile::save(job.folder, job.cameraName, job.arrived, job.bytes, job.serverName);
        // Handed over through a queue whose lock orders this thread's writes
        // before the main thread's reads. Once this object is gone (or the
        // application is closing) the outcome is dropped: no done runs after
        // destruction. done is let go on the main thread, where it was made.
        MainThreadCall::post([alive, done = std::move(job.done), saved]() mutable {
            if (!alive.expired()) done(saved);
            done = nullptr;
        });
    }
}
