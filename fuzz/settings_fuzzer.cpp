// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store on an arbitrary settings.dat. The bytes are put in a
// fresh folder as the file, a store loads it (whatever it holds) and saves;
// a second store loads that saved file and saves, and a third does the same
// again. The first two stores must hold the same servers, language, frame,
// camera position and quality, and the last two saves must give the same
// bytes: nothing a file holds may make the store write something that it
// then reads back differently. (The one change a first round may make: a
// server entry read from a non-empty dictionary gets an empty camera names
// list, where a record made from an empty or missing entry has none.)

#include "camserver.h"
#include "settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool sameNumber(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool sameFrame(const QRectF& a, const QRectF& b) {
    return sameNumber(a.x(), b.x()) && sameNumber(a.y(), b.y()) &&
           sameNumber(a.width(), b.width()) && sameNumber(a.height(), b.height());
}

// A folder in memory when there is one: every save flushes the file to disk.
QString scratchBase() {
    return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                     : QDir::tempPath();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QTemporaryDir dir(scratchBase() + QStringLiteral("/zorvan-fuzz-XXXXXX"));
    check(dir.isValid(), "scratch folder");
    const QString file = dir.path() + QStringLiteral("/settings.dat");
    {
        QFile f(file);
        check(f.open(QIODevice::WriteOnly), "write the input");
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    const std::unique_ptr<Settings> first = Settings::createInFolder(dir.path(), "en");
    check(first->save(), "the first save succeeds");
    const std::unique_ptr<Settings> second = Settings::createInFolder(dir.path(), "en");
    check(second->save(), "the second save succeeds");
    const QByteArray saved = readAll(file);
    check(Settings::createInFolder(dir.path(), "en")->save(), "the third save succeeds");
    check(readAll(file) == saved, "saving what was read back writes the same file");

    check(first->getServers().size() == second->getServers().size(), "server count");
    const QString names = QStringLiteral("camerasNames");
    for (std::size_t i = 0; i < first->getServers().size(); ++i) {
        const QVariantMap a = first->getServers()[i]->toDictionary();
        QVariantMap b = second->getServers()[i]->toDictionary();
        if (!a.contains(names) && b.value(names).toList().isEmpty()) b.remove(names);
        check(a == b, "server record");
    }
    check(first->lang() == second->lang(), "language name");
    check(first->cameraIdx() == second->cameraIdx(), "camera position");
    check(sameNumber(static_cast<float>(first->quality()), second->quality()), "quality");
    check(sameFrame(first->getWinPosition(), second->getWinPosition()), "window frame");
    return 0;
}
