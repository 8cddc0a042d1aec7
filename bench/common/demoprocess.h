// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The demo server run as its own process for a benchmark, so that its
// drawing does not count as the viewer's CPU time. Listens on a free port.
class DemoProcess {
public:
    // extraArgs: further options of the demo server, such as --fixed-size.
    // logFile: where its log (one line per request) goes, for a benchmark
    // that counts the requests served; by default nowhere.
    explicit DemoProcess(int delayMs = 0, const QStringList& extraArgs = {},
                         const QString& logFile = {}) {
        // One log line per request would otherwise pile up in our buffer, and
        // reading it would count as our CPU time.
        process_.setStandardErrorFile(logFile.isEmpty() ? QProcess::nullDevice() : logFile);
        process_.start(
            ZORVAN_DEMO_SERVER,
            QStringList{"--port", "0", "--delay-ms", QString::number(delayMs)} + extraArgs);
        process_.waitForStarted();
        while (port_ == 0 && process_.waitForReadyRead(10000)) {
            const QString line = QString::fromUtf8(process_.readLine());
            if (line.contains("listening"))
                port_ = line.mid(line.lastIndexOf(':') + 1).trimmed().toInt();
        }
    }
    ~DemoProcess() {
        process_.terminate();
        process_.waitForFinished(10000);
    }
    int port() const { return port_; }
    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
    int port_ = 0;
};
