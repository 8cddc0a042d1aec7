// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a camera's picture as it came: names, bytes, and never outside the
// folder or over another file.

#include "picturefile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "testutil.h"

namespace {

const QDateTime kArrived(QDate(2026, 12, 7), QTime(3, 40, 5));
const QByteArray kJpeg("\xff\xd8\xff\xe0 jpeg bytes \x00\x01 as sent", 27);
const QByteArray kPng("\x89PNG\r\n\x1a\n png bytes");

}  // namespace

// One folder, one arrival time: each save's name is a clean file name of the
// camera and the time, and a name taken gets the next number.
TEST(PictureFile, SavesTheBytesAsSentUnderACleanNameInsideItsFolderNeverOverAFile) {
    QTemporaryDir tmp;
    const QString folder = tmp.path() + "/Pictures/Zorvan";  // made on first use
    // clang-format off
    const struct { QString camera; QByteArray bytes; QString name; } saves[] = {
        {"Front door", kJpeg, "Front door 2026-12-07 03-40-05.jpg"},
        {"Front door", kPng, "Front door 2026-12-07 03-40-05.png"},
        {"Front door", kJpeg, "Front door 2026-12-07 03-40-05 (2).jpg"},  // the same second
        {"Front door", kJpeg, "Front door 2026-12-07 03-40-05 (3).jpg"},
        {"../../.bashrc", kJpeg, "-..-.bashrc 2026-12-07 03-40-05.jpg"},
        {"..", kJpeg, "Camera 2026-12-07 03-40-05.jpg"},
        {"Gate/Yard\\Back", kJpeg, "Gate-Yard-Back 2026-12-07 03-40-05.jpg"},
        {"Line\nbreak\ttab\x01\x7f", kJpeg, "Linebreaktab 2026-12-07 03-40-05.jpg"},
        {"", kJpeg, "Camera 2026-12-07 03-40-05 (2).jpg"},
        {" \u200b ", kJpeg, "Camera 2026-12-07 03-40-05 (3).jpg"},
        {"Кухня 北门", kJpeg, "Кухня 北门 2026-12-07 03-40-05.jpg"},
        {QString(300, u'x'), kJpeg, QString(180, u'x') + " 2026-12-07 03-40-05.jpg"},
        {"Odd", "not a picture", "Odd 2026-12-07 03-40-05.dat"},
    };
    // clang-format on
    for (const auto& s : saves) {
        const PictureFile::Saved saved = PictureFile::save(folder, s.camera, kArrived, s.bytes);
        EXPECT_EQ(saved.error, "") << s.camera.toStdString();
        EXPECT_EQ(saved.path, folder + "/" + s.name);
        EXPECT_EQ(readAll(saved.path), s.bytes) << "the bytes as the server sent them";
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), std::size(saves))
        << "no temporary file left";
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    EXPECT_EQ(QDir(tmp.path() + "/Pictures").entryList(QDir::Files | QDir::Hidden).size(), 0);

    const PictureFile::Saved blocked =
        PictureFile::save(folder + "/Odd 2026-12-07 03-40-05.dat/x", "Gate", kArrived, kJpeg);
    EXPECT_EQ(blocked.path, "");
    EXPECT_NE(blocked.error, "") << "a folder that cannot be made says why";
}

// The server's name leads, cleaned as the camera's is; one that cleans to
// nothing is left out, and the two together fit a file system's names.
TEST(PictureFile, NameStartsWithTheServersCleanName) {
    const QDateTime arrived(QDate(2026, 12, 7), QTime(23, 29, 59));
    // clang-format off
    const struct { QString server, camera, name; } cases[] = {
        {"Shop", "Front door", "Shop - Front door 2026-12-07 23-29-59.jpg"},
        {"Depot", "Front door", "Depot - Front door 2026-12-07 23-29-59.jpg"},  // another of three
        {"../Yard\\West", "Gate", "-Yard-West - Gate 2026-12-07 23-29-59.jpg"},
        {"..", "Gate", "Gate 2026-12-07 23-29-59.jpg"},
        {" \u200b\n", "Gate", "Gate 2026-12-07 23-29-59.jpg"},
        {"", "", "Camera 2026-12-07 23-29-59.jpg"},
        {"Shop", "..", "Shop - Camera 2026-12-07 23-29-59.jpg"},
        {QString(150, u's'), QString(100, u'c'),
         QString(150, u's') + " - " + QString(27, u'c') + " 2026-12-07 23-29-59.jpg"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(PictureFile::fileName(c.camera, arrived, kJpeg, c.server).toStdString(),
                  c.name.toStdString())
            << c.server.toStdString();
}
