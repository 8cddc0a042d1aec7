// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the benchmarks of the viewer's own path share: the demo server's
// camera names and paths, the clocks they read, and a wait that lets the
// event loop run.

#include <QDateTime>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <ctime>

// Camera i of the demo server, as its list names it and where it lives.
inline QString demoCameraName(int i) {
    static const char* first[] = {"Front door", "Parking lot", "Warehouse", "Garden café"};
    return i < 4 ? QString::fromUtf8(first[i]) : QString("Camera %1").arg(i + 1);
}
inline QString demoCameraUri(int i) {
    return QString("/cameras/%1").arg(i);
}

inline qint64 wallMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// CPU seconds of the calling thread so far.
inline double threadCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Runs the event loop for ms.
inline void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
