// SPDX-License-Identifier: GPL-3.0-or-later
// The clip export job on its own thread: what it reports on the main thread,
// and that a cancelled export leaves no half-written file.

#include "clipexport.h"
#include "testutil.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr qint64 kExportT0 = 1765000000000;

std::shared_ptr<RewindStore> twoStillCameras() {
    const QByteArray jpeg = QByteArray::fromStdString(jpegOf({64, 48}, Qt::darkCyan));
    auto store = std::make_shared<RewindStore>(QString());
    for (const char* camera : {"a", "b"})
        for (int i = 0; i < 80; ++i)
            store->append(camera,
                          {RewindStore::Part::Kind::Still, kExportT0 + 125 * i, jpeg, true});
    return store;
}

struct Finished {
    QStringList written;
    QString error;
    bool cancelled = false;
    bool done = false;  // on the main thread
    void connect(ClipExport& job) {
        QObject::connect(&job, &ClipExport::finished, [this](QStringList w, QString e, bool c) {
            *this = {w, e, c, QThread::currentThread() == qApp->thread()};
        });
    }
};

TEST(ClipExport, WritesEachCameraAndSaysWhatWasLeftOut) {
    QTemporaryDir dir;
    ClipExport job;
    Finished f;
    f.connect(job);
    const std::vector<ClipExport::Item> items = {
        {"a", "Srv", "Door"}, {"gone", "Srv", "Yard"}, {"b", "Srv", "Gate"}};
    ASSERT_TRUE(
        job.start(twoStillCameras(), items, kExportT0 + 1000, kExportT0 + 5000, dir.path()));
    EXPECT_FALSE(job.start(twoStillCameras(), items, kExportT0, kExportT0 + 1, dir.path()));
    ASSERT_TRUE(waitUntil([&] { return f.done; }));
    EXPECT_FALSE(f.cancelled);
    ASSERT_EQ(f.written.size(), 2);
    EXPECT_TRUE(f.written[0].endsWith(
        "Srv - Door " +
        QDateTime::fromMSecsSinceEpoch(kExportT0 + 1000).toString("yyyy-MM-dd HH-mm-ss") + ".mkv"));
    EXPECT_TRUE(f.written[1].contains("Srv - Gate "));
    EXPECT_TRUE(f.error.contains("Yard")) << f.error.toStdString();
    EXPECT_FALSE(job.isRunning());
}

TEST(ClipExport, CancelledOrDestroyedLeavesNoPartFile) {
    QTemporaryDir dir;
    Finished f;
    {
        ClipExport job;
        f.connect(job);
        ASSERT_TRUE(job.start(twoStillCameras(), {{"a", "S", "A"}, {"b", "S", "B"}}, kExportT0,
                              kExportT0 + 10000, dir.path()));
        job.cancel();
        ASSERT_TRUE(waitUntil([&] { return f.done; }));
        EXPECT_TRUE(f.cancelled);
        ASSERT_TRUE(job.start(twoStillCameras(), {{"a", "S", "A"}}, kExportT0, kExportT0 + 10000,
                              dir.path()));
    }  // destroyed while it may still run: waits for it, reports nothing
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.filter(".part").size(), 0) << left.join(' ').toStdString();
}

}  // namespace
