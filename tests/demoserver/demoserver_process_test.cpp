// The built zorvan-demo-server executable: announces its port, serves, logs
// and ends cleanly on SIGTERM.

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "httpclient.h"

namespace {

constexpr int kDeadlineMs = 60000;  // generous: the machine may be loaded

bool readLine(QProcess& process, QByteArray& line) {
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(kDeadlineMs)) return false;
    }
    line = process.readLine().trimmed();
    return true;
}

TEST(DemoServerProcess, AnnouncesServesAndStopsOnSigterm) {
    QProcess process;
    process.start(ZORVAN_DEMO_SERVER_BINARY, {"--port", "0", "--password", "pw"});
    ASSERT_TRUE(process.waitForStarted(kDeadlineMs));

    QByteArray line;
    ASSERT_TRUE(readLine(process, line)) << process.readAllStandardError().toStdString();
    const QRegularExpressionMatch match =
        QRegularExpression("^zorvan-demo-server listening on http://127\\.0\\.0\\.1:(\\d+)$")
            .match(QString::fromUtf8(line));
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();
    const int port = match.captured(1).toInt();
    ASSERT_GT(port, 0);

    const HttpAnswer a = httpGet(port, "/cameras", "admin:pw");
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.body.substr(0, 1), "[");

    process.terminate();  // SIGTERM
    ASSERT_TRUE(process.waitForFinished(kDeadlineMs));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QString log = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(log.contains(
        QRegularExpression("^GET /cameras 200 \\d+ bytes", QRegularExpression::MultilineOption)))
        << log.toStdString();
}

TEST(DemoServerProcess, RefusesBadArguments) {
    QProcess process;
    process.start(ZORVAN_DEMO_SERVER_BINARY, {"--port", "65536"});
    ASSERT_TRUE(process.waitForFinished(kDeadlineMs));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(process.readAllStandardError().contains("--port"));
}

}  // namespace
