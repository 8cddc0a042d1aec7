// SPDX-License-Identifier: GPL-3.0-or-later
// The rewind choices read back from the settings file: clamped into range,
// the default for anything that is not a value of its kind.

#include "rewindsettings.h"

#include <gtest/gtest.h>
#include <QSettings>
#include <QTemporaryDir>
#include <tuple>

namespace {
auto fields(const RewindSettings& s) {
    return std::tuple(s.enabled, s.minutes, s.memoryMiB, s.diskGiB, s.keepAtQuit);
}
}  // namespace

TEST(RewindSettings, ReadsBackClampedOrDefault) {
    struct Row {
        const char* name;
        QVariantMap stored;
        RewindSettings expect;
    };
    // clang-format off
    const Row rows[] = {
        {"nothing stored", {}, {true, 5, 512, 4, false}},
        {"as saved", {{"enabled", false}, {"minutes", 30}, {"memoryMiB", 2048}, {"diskGiB", 0},
                      {"keepAtQuit", true}}, {false, 30, 2048, 0, true}},
        {"below", {{"minutes", 0}, {"memoryMiB", 1}, {"diskGiB", -3}}, {true, 1, 64, 0, false}},
        {"above", {{"minutes", 61}, {"memoryMiB", "99999999999"}, {"diskGiB", 5000}},
                  {true, 60, 16384, 1024, false}},
        {"garbage", {{"enabled", "perhaps"}, {"minutes", "ten"}, {"memoryMiB", ""},
                     {"diskGiB", "4GiB"}, {"keepAtQuit", "yes please"}}, {true, 5, 512, 4, false}},
        {"text forms", {{"enabled", "0"}, {"minutes", " 7 "}, {"keepAtQuit", "TRUE"}},
                       {false, 7, 512, 4, true}},
    };
    // clang-format on
    for (const Row& r : rows) {
        QTemporaryDir tmp;
        const QString file = tmp.path() + "/zorvan.ini";
        {
            QSettings s(file, QSettings::IniFormat);
            for (auto it = r.stored.begin(); it != r.stored.end(); ++it)
                s.setValue("rewind/" + it.key(), it.value());
        }
        const RewindSettings got = RewindSettings::load(QSettings(file, QSettings::IniFormat));
        EXPECT_EQ(fields(got), fields(r.expect)) << r.name;
        QSettings again(tmp.path() + "/again.ini", QSettings::IniFormat);
        got.save(again);
        EXPECT_EQ(fields(RewindSettings::load(again)), fields(got)) << r.name;
    }
}
