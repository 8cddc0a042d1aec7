// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSizeF>
#include <QThread>

#include "cameraimageview.h"
#include "pictureloader.h"

// Runs the main thread's event loop until pred holds; false at the deadline.
// The deadline is generous: it only bounds a failing test.
inline bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    return true;
}

// A picture of one colour, as a server's answer decodes to.
inline QImage solid(QColor colour, QSize size = {8, 6}) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// A server's JPEG answer: a picture of one colour at the given size.
inline std::string jpegOf(QSize size, QColor colour = Qt::darkCyan, int quality = 80) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    solid(colour, size).save(&buffer, "JPG", quality);
    return bytes.toStdString();
}

// A file's bytes, empty when it cannot be read.
inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes bytes to a file, making its folder first; false on failure.
inline bool writeAt(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly) &&
           f.write(bytes) == bytes.size();
}

// Keeps the event loop turning for a while, for checks that something does
// NOT happen (a bound, not a timing assertion).
inline void spinFor(int ms) {
    waitUntil([] { return false; }, ms);
}

// A view that records what the camera record gives it, and counts the
// pictures given to it off the main thread (it must be touched there only).
class FakeImageView : public CameraImageView {
public:
    explicit FakeImageView(QSizeF size = {640, 480}) : size(size) {}
    void setPicture(const QImage& image) override {
        offMainThread += QThread::currentThread() != QCoreApplication::instance()->thread();
        pictures.push_back(image);
        last = image;
    }
    QSizeF boundsSize() const override { return size; }
    qreal pixelRatio() const override { return ratio; }
    void setDelegate(CameraView*) override {}

    QSizeF size;
    qreal ratio = 1.0;
    std::vector<QImage> pictures;
    QImage last;
    int offMainThread = 0;
};

// A picture loader that records the requests of the refresh. Main thread.
class RecordingLoader : public PictureLoader {
public:
    // clang-format off
    struct Call { std::int64_t index; QString uri, resolution; };
    // clang-format on
    void loadCameraIndex(std::int64_t index, const QString& uri,
                         const QString& resolution) override {
        calls.push_back({index, uri, resolution});
    }
    std::vector<Call> calls;
};
