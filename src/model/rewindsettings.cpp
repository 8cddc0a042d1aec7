// SPDX-License-Identifier: GPL-3.0-or-later
#include "rewindsettings.h"

#include <QSettings>

#include <algorithm>

namespace {

bool readFlag(const QSettings& s, const char* key, bool fallback) {
    const QVariant v = s.value(QLatin1String(key));
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return fallback;
}

int readNumber(const QSettings& s, const char* key, int fallback, int low, int high) {
    const QVariant v = s.value(QLatin1String(key));
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    return ok ? int(std::clamp<qlonglong>(n, low, high)) : fallback;
}

}  // namespace

RewindSettings RewindSettings::load() {
    return load(QSettings());
}

RewindSettings RewindSettings::load(const QSettings& s) {
    const RewindSettings d;
    RewindSettings r;
    r.enabled = readFlag(s, "rewind/enabled", d.enabled);
    r.minutes = readNumber(s, "rewind/minutes", d.minutes, kMinMinutes, kMaxMinutes);
    r.memoryMiB = readNumber(s, "rewind/memoryMiB", d.memoryMiB, kMinMemoryMiB, kMaxMemoryMiB);
    r.diskGiB = readNumber(s, "rewind/diskGiB", d.diskGiB, kMinDiskGiB, kMaxDiskGiB);
    r.keepAtQuit = readFlag(s, "rewind/keepAtQuit", d.keepAtQuit);
    return r;
}

void RewindSettings::save() const {
    QSettings s;
    save(s);
}

void RewindSettings::save(QSettings& s) const {
    s.setValue(QStringLiteral("rewind/enabled"), enabled);
    s.setValue(QStringLiteral("rewind/minutes"), std::clamp(minutes, kMinMinutes, kMaxMinutes));
    s.setValue(QStringLiteral("rewind/memoryMiB"),
               std::clamp(memoryMiB, kMinMemoryMiB, kMaxMemoryMiB));
    s.setValue(QStringLiteral("rewind/diskGiB"), std::clamp(diskGiB, kMinDiskGiB, kMaxDiskGiB));
    s.setValue(QStringLiteral("rewind/keepAtQuit"), keepAtQuit);
}

RewindStore::Options RewindSettings::options() const {
    RewindStore::Options o;
    o.minutes = std::clamp(minutes, kMinMinutes, kMaxMinutes);
    o.memoryCap = qint64(std::clamp(memoryMiB, kMinMemoryMiB, kMaxMemoryMiB)) << 20;
    o.diskCap = qint64(std::clamp(diskGiB, kMinDiskGiB, kMaxDiskGiB)) << 30;
    return o;
}
