// SPDX-License-Identifier: GPL-3.0-or-later
#include "activitywatch.h"

#include "picturefreshness.h"
#include "touchimage.h"

#include <QCoreApplication>
#include <QDateTime>

namespace {

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

ActivityDetector::Sensitivity detectorSensitivity(CameraActivity::Sensitivity s) {
    switch (s) {
        case CameraActivity::Sensitivity::Off:
            return ActivityDetector::Sensitivity::Off;
        case CameraActivity::Sensitivity::Low:
            return ActivityDetector::Sensitivity::Low;
        case CameraActivity::Sensitivity::High:
            return ActivityDetector::Sensitivity::High;
        case CameraActivity::Sensitivity::Normal:
            break;
    }
    return ActivityDetector::Sensitivity::Normal;
}

}  // namespace

ActivityWatch::ActivityWatch(QObject* parent) : QObject(parent) {
    hold_.setInterval(500);
    connect(&hold_, &QTimer::timeout, this, &ActivityWatch::expire);
}

ActivityWatch::~ActivityWatch() {
    for (auto& [view, c] : connections_) disconnect(c);
}

QString ActivityWatch::keyOf(const QString& serverId, const QString& cameraUri,
                             const QString& cameraName) {
    if (serverId.isEmpty() || (cameraUri.isEmpty() && cameraName.isEmpty())) return QString();
    return serverId + QLatin1Char('\n') +
           (cameraUri.isEmpty() ? QLatin1Char('#') + cameraName : cameraUri);
}

ActivityWatch::Parts ActivityWatch::partsOf(const QString& key) {
    const qsizetype cut = key.indexOf(QLatin1Char('\n'));
    if (cut <= 0) return {};
    const QString rest = key.mid(cut + 1);
    if (rest.startsWith(QLatin1Char('#'))) return {key.left(cut), QString(), rest.mid(1)};
    return {key.left(cut), rest, QString()};
}

void ActivityWatch::watch(TouchImage* view, const Parts& shown) {
    if (!view) return;
    const QString key = keyOf(shown.serverId, shown.cameraUri, shown.cameraName);
    const auto it = views_.find(view);
    if (it != views_.end() && it->second == key) return;
    if (key.isEmpty()) {
        views_.erase(view);
        if (const auto c = connections_.find(view); c != connections_.end()) {
            disconnect(c->second);
            connections_.erase(c);
        }
        view->setActivityMark(false);
        view->freshness().setExtraFigures(QString());
        return;
    }
    views_[view] = key;
    if (!connections_.count(view)) {
        connections_[view] =
            connect(view, &TouchImage::pictureShown, this, [this, view] { pictureShown(view); });
        connect(view, &QObject::destroyed, this, [this, view] {
            views_.erase(view);
            connections_.erase(view);
        });
    }
    const auto [camera, added] = cameras_.try_emplace(key);
    if (added || camera->second.parts.cameraUri != shown.cameraUri ||
        camera->second.parts.cameraName != shown.cameraName) {
        camera->second.parts = shown;
        apply(key, camera->second);
    }
    mark(view);
}

std::optional<CameraRef> ActivityWatch::cameraOf(const TouchImage* view) const {
    const auto it = views_.find(view);
    if (it == views_.end()) return std::nullopt;
    const auto camera = cameras_.find(it->second);
    if (camera == cameras_.end()) return std::nullopt;
    const Parts& p = camera->second.parts;
    return CameraRef{p.serverId, p.cameraUri, p.cameraName, -1};
}

QString ActivityWatch::keyOfView(const TouchImage* view) const {
    const auto it = views_.find(view);
    return it == views_.end() ? QString() : it->second;
}

void ActivityWatch::setRoom(const ControlRoom& room) {
    if (room.activity == entries_) return;
    entries_ = room.activity;
    for (auto& [key, camera] : cameras_) apply(key, camera);
}

void ActivityWatch::apply(const QString& key, Camera& camera) {
    const Parts& p = camera.parts;
    const CameraActivity* entry = nullptr;
    for (const CameraActivity& a : entries_)
        if (a.names(p.serverId, p.cameraUri, p.cameraName)) {
            entry = &a;
            break;
        }
    const auto sensitivity =
        detectorSensitivity(entry ? entry->sensitivity : CameraActivity::Sensitivity::Normal);
    std::vector<QRectF> zones;
    if (entry) zones = entry->ignoreZones;
    if (zones != camera.zones) {
        camera.zones = zones;
        camera.detector.setIgnoreZones(std::move(zones));
    }
    if (sensitivity == camera.detector.sensitivity()) return;
    camera.detector.setSensitivity(sensitivity);
    if (sensitivity != ActivityDetector::Sensitivity::Off) return;
    // Off: whatever it showed goes at once, and so do its figures.
    camera.leader = nullptr;
    setActive(key, camera, false);
    for (const auto& [view, k] : views_)
        if (k == key) view->freshness().setExtraFigures(QString());
}

bool ActivityWatch::isActive(const QString& key) const {
    const auto it = cameras_.find(key);
    return it != cameras_.end() && it->second.active;
}

void ActivityWatch::setMarksShown(QWidget* window, bool on) {
    if (on)
        marksOff_.erase(window);
    else
        marksOff_.insert(window);
    for (const auto& [view, key] : views_)
        if (view->window() == window) mark(view);
}

bool ActivityWatch::marksShown(const QWidget* window) const {
    return !marksOff_.count(window);
}

void ActivityWatch::pictureShown(TouchImage* view) {
    const auto it = views_.find(view);
    if (it == views_.end()) return;
    const QString key = it->second;
    emit pictureSeen(key, view);
    Camera& camera = cameras_[key];
    if (camera.detector.sensitivity() == ActivityDetector::Sensitivity::Off) return;
    const qint64 now = nowMs();
    // One view judges a camera; another takes over once it falls silent.
    if (camera.leader && camera.leader != view && now - camera.leaderMs < kLeadMs) return;
    if (camera.leader != view) camera.detector.restart();
    camera.leader = view;
    camera.leaderMs = now;
    const ActivityDetector::Verdict verdict = camera.detector.feed(view->picture());
    if (view->freshness().showStats())
        view->freshness().setExtraFigures(
            verdict.judged ? QCoreApplication::translate("Zorvan", "activity %1 % of %2 %")
                                 .arg(100.0 * verdict.level, 0, 'f', 2)
                                 .arg(100.0 * verdict.threshold, 0, 'f', 2)
                           : QString());
    if (!verdict.active) return;
    camera.activeUntilMs = now + kHoldMs;
    setActive(key, camera, true);
}

void ActivityWatch::setActive(const QString& key, Camera& camera, bool active) {
    if (active == camera.active) return;
    camera.active = active;
    for (const auto& [view, k] : views_)
        if (k == key) mark(view);
    if (active && !hold_.isActive()) hold_.start();
    emit activityChanged(key, active);
}

void ActivityWatch::mark(TouchImage* view) {
    const auto it = views_.find(view);
    const bool active = it != views_.end() && isActive(it->second);
    view->setActivityMark(active && marksShown(view->window()));
}

void ActivityWatch::expire() {
    const qint64 now = nowMs();
    bool any = false;
    for (auto& [key, camera] : cameras_) {
        if (camera.active && now >= camera.activeUntilMs) setActive(key, camera, false);
        any = any || camera.active;
    }
    if (!any) hold_.stop();
}
