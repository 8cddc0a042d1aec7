#include "picturesaver.h"

PictureSaver::~PictureSaver() {
    {
        std::lock_guard l(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PictureSaver::save(const QString& folder, const QString& cameraName, const QDateTime& arrived,
                        const QByteArray& bytes, Done done) {
    {
        std::lock_guard l(lock_);
        jobs_.push_back({folder, cameraName, arrived, bytes, std::move(done)});
    }
    wake_.notify_one();
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void PictureSaver::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock l(lock_);
            wake_.wait(l, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;  // stopping, and every save done
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        const PictureFile::Saved saved =
            PictureFile::save(job.folder, job.cameraName, job.arrived, job.bytes);
        // Dropped by Qt if this object is gone by the time it would run;
        // it cannot be, as destruction joins this thread first.
        QMetaObject::invokeMethod(
            this, [done = std::move(job.done), saved] { done(saved); }, Qt::QueuedConnection);
    }
}
