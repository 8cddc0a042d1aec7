// SPDX-License-Identifier: GPL-3.0-or-later
#include "layoutsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
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

// Whether anything at all stands at path, a link that leads nowhere too.
bool standsAt(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Copies the file at path, as it is, to the first free name of
// path + ".corrupt", path + ".corrupt.1", ... (the names SettingsFile::moveAside
// gives), written as atomically as the file itself. True also when there is
// no file to keep.
bool copyAside(const QString& path) {
    if (!standsAt(path)) return true;
    const std::optional<QByteArray> bytes = readBytes(path);
    if (!bytes) return false;
    for (int i = 0; i < 1000; ++i) {
        QString to = path + QStringLiteral(".corrupt");
        if (i > 0) to += u'.' + QString::number(i);
        if (!standsAt(to)) return SettingsFile::writeAtomically(to, *bytes);
    }
    return false;
}

}  // namespace

std::unique_ptr<LayoutsFile> LayoutsFile::openInFolder(const QString& folder) {
    std::unique_ptr<LayoutsFile> store(new LayoutsFile(folder));
    store->load();
    return store;
}

LayoutsFile::LayoutsFile(const QString& folder)
    : folder_(QDir::cleanPath(QDir(folder).absolutePath())) {
    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, [this] { save(); });
}

LayoutsFile::~LayoutsFile() {
    finish();
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
    bool skipped = false;
    if (bytes) {
        const std::optional<tx::JsonValue> json =
            tx::TXJsonParser().objectWithString(bytes->toStdString());
        if (json) room_ = ControlRoom::fromJson(*json, &ok, &skipped);
    }
    if (!ok) {
        room_ = {};
        keepUnreadableFile_ = true;
        alert(kUnreadableAlert);
        return;
    }
    if (skipped) {
        keepCopy_ = true;
        alert(kSkippedAlert);
    }
    if (room_.windows.size() > kMaxWindows) {
        heldWindows_.assign(room_.windows.begin() + kMaxWindows, room_.windows.end());
        room_.windows.resize(kMaxWindows);
        alert(kWindowsHeldAlert);
    }
}

LayoutsFile::Outcome LayoutsFile::write() {
    // Through a symbolic link the file at its end is replaced (and an
    // unreadable one kept aside beside it); the link stays.
    const std::optional<QString> file = SettingsFile::resolveLinks(path());
    if (file && QFileInfo::exists(*file) && !SettingsFile::mayReplace(*file))
        return Outcome::LeftAlone;
    tx::TXJsonWriter writer;
    writer.setHumanReadable(true);  // people may read and mend it
    std::optional<std::string> text;
    if (heldWindows_.empty()) {
        text = writer.stringWithObject(room_.toJson());
    } else {
        ControlRoom all = room_;
        const std::size_t room =
            ControlRoom::kMaxEntries - std::min(all.windows.size(), ControlRoom::kMaxEntries);
        all.windows.insert(all.windows.end(), heldWindows_.begin(),
                           heldWindows_.begin() + std::min(room, heldWindows_.size()));
        text = writer.stringWithObject(all.toJson());
    }
    if (!text || !file) return Outcome::Failed;
    if (keepUnreadableFile_) {
        if (!SettingsFile::moveAside(*file)) return Outcome::Failed;
        keepUnreadableFile_ = false;
    }
    if (keepCopy_) {
        if (!copyAside(*file)) return Outcome::Failed;
        keepCopy_ = false;
    }
    if (!SettingsFile::writeAtomically(*file, QByteArray::fromStdString(*text + '\n')))
        return Outcome::Failed;
    return Outcome::Written;
}

bool LayoutsFile::save() {
    writes_.writing();
    retry_.stop();
    switch (write()) {
        case Outcome::Written:
            dirty_ = false;
            failureTold_ = false;
            retryMs_ = 0;
            return true;
        case Outcome::LeftAlone:  // the person's "never save": nothing to try again
            dirty_ = false;
            return false;
        case Outcome::Failed:
            break;
    }
    dirty_ = true;
    retryMs_ = retryMs_ == 0 ? kFirstRetryMs : std::min(2 * retryMs_, kLastRetryMs);
    retry_.start(retryMs_);
    if (!std::exchange(failureTold_, true)) alert(kSaveFailedAlert);
    return false;
}

void LayoutsFile::saveSoon() {
    dirty_ = true;
    if (retry_.isActive()) return;  // saves fail: the next try takes this change too
    writes_.soon();
}

void LayoutsFile::finish() {
    writes_.writing();
    retry_.stop();
    if (dirty_) dirty_ = write() == Outcome::Failed;
}

void LayoutsFile::alert(const char* text) {
    alerts_.push_back(text);
    if (alertListener_) alertListener_();
}
