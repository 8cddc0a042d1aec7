// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewtitles.h"

#include <algorithm>

#include "tourschedule.h"
#include "zvtexts.h"

namespace ViewTitles {

namespace {

// Whole seconds from now to atNs, rounded up, never below zero.
qint64 secondsUntil(std::int64_t atNs, std::int64_t nowNs) {
    if (atNs == TourSchedule::kNever) return 0;
    const std::int64_t left = std::max<std::int64_t>(0, atNs - nowNs);
    return (left + TourSchedule::kSecondNs - 1) / TourSchedule::kSecondNs;
}

}  // namespace

QString camera(const QString& cameraName, const QString& serverName) {
    return zvText("%1 — %2").arg(cameraName, serverName);
}

QString wall(const QString& serverName) {
    return zvText("%1 — Camera Wall").arg(serverName);
}

QString tour(const QString& tourName, const QString& stepName, std::size_t step,
             std::size_t steps) {
    return zvText("%1 — %2 (%3/%4)")
        .arg(tourName, stepName, QString::number(step + 1), QString::number(steps));
}

QString window(const QString& what) {
    return what.isEmpty() ? QStringLiteral("Zorvan") : zvText("%1 — Zorvan").arg(what);
}

QString wallCaption(const QString& cameraName, const QString& serverName, std::size_t servers) {
    return servers > 1 ? camera(cameraName, serverName) : cameraName;
}

QString tourNote(const QString& stepName, const TourSchedule& schedule, std::int64_t nowNs) {
    QString when;
    if (schedule.isPausedByPerson()) {
        when = zvText("Paused");
    } else if (schedule.isPausedByInput()) {
        when = zvText("Paused — resumes in %1 s").arg(secondsUntil(schedule.resumeAtNs(), nowNs));
    } else if (schedule.stepCount() >= 2) {
        when = zvText("%1 s left").arg(secondsUntil(schedule.deadlineNs(), nowNs));
    }
    QStringList lines;
    if (!stepName.isEmpty()) lines << stepName;
    lines << zvText("Step %1 of %2")
                 .arg(QString::number(schedule.current() + 1),
                      QString::number(schedule.stepCount()));
    if (!when.isEmpty()) lines << when;
    return lines.join(u'\n');
}

}  // namespace ViewTitles
