// SPDX-License-Identifier: GPL-3.0-or-later
#include "layoutsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <optional>
#include <utility>

#include "TXJsonParser.h"
#include "TXJsonWriter.h"
#include "settingsfile.h"

namespace {

const QString kLayoutsFileName = QStringLiteral("layouts.json");

// Far above any real control room: a larger file is not ours.
constexpr qint64 kMaxLayoutsFileSize = 16 * 1024 * 1024;

// The file's bytes; none when it is no regular file or cannot be read.
std::optional<QByteArray> readBytes(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxLayoutsFileSize) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

}  // namespace

std::unique_ptr<LayoutsFile> LayoutsFile::openInFolder(const QString& folder) {
    std::unique_ptr<LayoutsFile> store(new LayoutsFile(folder));
    store->load();
    return store;
}

LayoutsFile::LayoutsFile(const QString& folder)
    : folder_(QDir::cleanPath(QDir(folder).absolutePath())) {}

LayoutsFile::~LayoutsFile() {
    if (savePending()) save();
}

QString LayoutsFile::path() const {
    SettingsFile::makeFolder(folder_);  // a failure shows at the save
    return folder_ + u'/' + kLayoutsFileName;
}

void LayoutsFile::load() {
    const QString file = path();
    SettingsFile::removeStaleTemporaries(file, 3600);  // left by a killed save
    const QFileInfo info(file);                        // through a link, its target
    // Nothing there (or a link that leads nowhere) is a first start; a link
    // to a device, a FIFO or a folder says "leave it alone".
    if (!info.exists() || !SettingsFile::mayReplace(file)) return;
    const std::optional<QByteArray> bytes = readBytes(file);
    if (bytes && bytes->isEmpty()) return;  // nothing to keep, nothing to say
    bool ok = false;
    if (bytes) {
        const std::optional<tx::JsonValue> json =
            tx::TXJsonParser().objectWithString(bytes->toStdString());
        if (json) room_ = ControlRoom::fromJson(*json, &ok);
    }
    if (!ok) {
        room_ = {};
        keepUnreadableFile_ = true;
        alertPending_ = true;
    }
}

bool LayoutsFile::save() {
    writes_.writing();
    tx::TXJsonWriter writer;
    writer.setHumanReadable(true);  // people may read and mend it
    const std::optional<std::string> text = writer.stringWithObject(room_.toJson());
    // Through a symbolic link the file at its end is replaced (and an
    // unreadable one kept aside beside it); the link stays.
    const std::optional<QString> file = SettingsFile::resolveLinks(path());
    if (!text || !file) return false;
    if (keepUnreadableFile_) {
        if (!SettingsFile::moveAside(*file)) return false;
        keepUnreadableFile_ = false;
    }
    return SettingsFile::writeAtomically(*file, QByteArray::fromStdString(*text + '\n'));
}

void LayoutsFile::saveSoon() {
    writes_.soon();
}

bool LayoutsFile::savePending() const {
    return writes_.pending();
}
