// SPDX-License-Identifier: GPL-3.0-or-later
// The room screen's tour: its steps, the dead ones, the prefetch, its note
// and the person's input that pauses it.
#include "roomscreen.h"

#include "activitywatch.h"
#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "serverfeeds.h"
#include "tournote.h"
#include "tourschedule.h"
#include "viewtitles.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStackedLayout>

#include <algorithm>
#include <chrono>

namespace {

// A step none of whose cells showed a picture for this long is dead.
constexpr qint64 kDeadAfterMs = 60'000;
// A dead step is tried again after this long, in case its cameras are back.
constexpr std::int64_t kDeadForNs = 5 * 60 * TourSchedule::kSecondNs;

// The tour's note stands this long after a step starts, then fades.
constexpr qint64 kTourNoteShownMs = 3000;
constexpr qint64 kTourNoteFadeMs = 800;

bool isTourKey(const QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Space:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            return key->modifiers() == Qt::NoModifier;
        case Qt::Key_T:
            return key->modifiers() == Qt::ControlModifier;
        default:
            return false;
    }
}

// Whether the camera of one of layout's cells is active now.
bool anyCellActive(const ControlRoomHub& hub, const Layout& layout) {
    for (const auto& ref : layout.cells) {
        const auto server = ref ? hub.server(ref->serverId) : nullptr;
        const auto cameras = server ? server->getCameras() : nullptr;
        const int k = cameras ? findCamera(*cameras, *ref) : -1;
        if (k < 0) continue;
        const CameraView& c = *cameras->at(static_cast<std::size_t>(k));
        if (hub.activity()->isActive(ActivityWatch::keyOf(ref->serverId, c.uri, c.cameraName)))
            return true;
    }
    return false;
}

}  // namespace

std::int64_t RoomScreen::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LayoutMode::Source RoomScreen::sourceOfStep(std::size_t step) const {
    if (step >= tour_.steps.size()) return {};
    const TourStep& s = tour_.steps[step];
    if (s.kind == TourStep::Kind::ServerWall)
        return {LayoutMode::Source::Kind::WallPage, {}, s.serverId, s.page};
    const Layout* layout = hub_->room().layout(s.layoutName);
    if (!layout) return {};
    return {LayoutMode::Source::Kind::Layout, *layout, {}, 0};
}

std::vector<QString> RoomScreen::serversOfStep(std::size_t step) const {
    const LayoutMode::Source source = sourceOfStep(step);
    if (source.kind == LayoutMode::Source::Kind::WallPage) return {source.serverId};
    std::vector<QString> ids;
    for (const auto& ref : source.layout.cells)
        if (ref) ids.push_back(ref->serverId);
    return ids;
}

bool RoomScreen::isStepDead(std::size_t step) const {
    const LayoutMode::Source source = sourceOfStep(step);
    if (source.kind == LayoutMode::Source::Kind::None) return true;  // its layout is gone
    if (const auto it = deadUntilNs_.find(step); it != deadUntilNs_.end() && it->second > nowNs())
        return true;
    // Every server it draws from does not answer.
    const std::vector<QString> ids = serversOfStep(step);
    if (ids.empty()) return false;
    for (const QString& id : ids) {
        const auto server = hub_->server(id);
        if (server && hub_->feeds()->state(server.get()) != ServerFeeds::State::Unavailable)
            return false;
    }
    return true;
}

QString RoomScreen::stepName(std::size_t step) const {
    if (step >= tour_.steps.size()) return QString();
    const TourStep& s = tour_.steps[step];
    if (s.kind == TourStep::Kind::Layout) return s.layoutName;
    const auto server = hub_->server(s.serverId);
    return server ? ViewTitles::wall(server->name()) : QString();
}

void RoomScreen::updateTourNote() {
    if (!schedule_ || shows_ != Shows::Tour) {
        tourNote_->hide();
        tourNoteTimer_.stop();
        return;
    }
    const qint64 fading =
        tourNoteClock_.isValid() ? tourNoteClock_.elapsed() - kTourNoteShownMs : 0;
    const double opacity =
        isTourPaused() || fading <= 0 ? 1.0 : 1.0 - double(fading) / kTourNoteFadeMs;
    if (opacity <= 0) {
        tourNote_->hide();
        tourNoteTimer_.stop();
        return;
    }
    tourNote_->set(ViewTitles::tourNote(stepName(schedule_->current()), *schedule_, nowNs()),
                   opacity);
    // Its seconds count down; its fade is smooth enough in steps of 50 ms.
    tourNoteTimer_.start(opacity < 1.0 || fading > -250 ? 50 : 250);
}

bool RoomScreen::startTour(const QString& name) {
    const Tour* tour = hub_->room().tour(name);
    if (!tour || tour->steps.empty()) return false;
    stopTour();
    tour_ = *tour;
    shows_ = Shows::Tour;
    name_ = name;
    deadUntilNs_.clear();
    // Every server of every step is asked for its lists now, so that the
    // dead steps are known before their turn.
    for (std::size_t i = 0; i < tour_.steps.size(); ++i)
        for (const QString& id : serversOfStep(i))
            if (const auto server = hub_->server(id)) hub_->feeds()->need(server);
    schedule_ = std::make_unique<TourSchedule>(TourSchedule::forTour(tour_));
    schedule_->setDeadStep([this](std::size_t step) { return isStepDead(step); });
    if (tour_.waitForActivity)
        schedule_->setActiveStep([this](std::size_t step) {
            const LayoutMode::Source source = sourceOfStep(step);
            return source.kind == LayoutMode::Source::Kind::Layout &&
                   anyCellActive(*hub_, source.layout);
        });
    schedule_->start(nowNs(), 0);
    front().mode->show(sourceOfStep(0));
    back().mode->stop();
    prefetched_.reset();
    setTourInputWatch(true);
    runTour();
    emit changed();
    return true;
}

void RoomScreen::stopTour() {
    tourTimer_.stop();
    tourNoteTimer_.stop();
    tourNote_->hide();
    setTourInputWatch(false);
    schedule_.reset();
    prefetched_.reset();
    if (shows_ == Shows::Tour) {
        shows_ = Shows::Nothing;
        back().mode->stop();
    }
}

void RoomScreen::stopTourOnStep() {
    if (!isTouring() || !schedule_) return;
    const std::size_t step = schedule_->current();
    const std::optional<TourStep> shown =
        step < tour_.steps.size() ? std::optional(tour_.steps[step]) : std::nullopt;
    stopTour();
    if (shown && shown->kind == TourStep::Kind::Layout && showLayout(shown->layoutName)) return;
    if (shown && shown->kind == TourStep::Kind::ServerWall) {
        showWallPage(shown->serverId, shown->page);
        return;
    }
    clear();
}

bool RoomScreen::isTourPaused() const {
    return schedule_ && (schedule_->isPausedByPerson() || schedule_->isPausedByInput());
}

void RoomScreen::pauseOrResumeTour() {
    if (!schedule_) return;
    if (isTourPaused()) {
        schedule_->resume(nowNs());
    } else {
        schedule_->pause(nowNs());
    }
    runTour();
    emit changed();
}

void RoomScreen::nextStep() {
    if (!schedule_) return;
    switchTo(schedule_->next(nowNs()));
    runTour();
}

void RoomScreen::previousStep() {
    if (!schedule_) return;
    switchTo(schedule_->previous(nowNs()));
    runTour();
}

void RoomScreen::prefetch(std::size_t step) {
    back().mode->setResting(resting_);
    back().mode->show(sourceOfStep(step));
    prefetched_ = step;
}

void RoomScreen::switchTo(std::size_t step) {
    // The step left is judged by what its cells showed.
    if (schedule_ && front().mode->isShowing() && !front().mode->serverIds().empty() &&
        !front().mode->hasPictureWithin(kDeadAfterMs)) {
        for (std::size_t i = 0; i < tour_.steps.size(); ++i)
            if (sourceOfStep(i) == front().mode->source()) deadUntilNs_[i] = nowNs() + kDeadForNs;
    }
    if (prefetched_ == step) {
        front_ = 1 - front_;
        stack_->setCurrentWidget(front().wall);
        back().mode->stop();
    } else {
        front().mode->show(sourceOfStep(step));
        back().mode->stop();
    }
    prefetched_.reset();
    emit changed();
}

void RoomScreen::runTour() {
    if (!schedule_) return;
    const std::int64_t now = nowNs();
    while (const auto event = schedule_->poll(now)) {
        switch (event->kind) {
            case TourSchedule::Event::Kind::Prefetch:
                prefetch(event->step);
                break;
            case TourSchedule::Event::Kind::Switch:
                switchTo(event->step);
                break;
            case TourSchedule::Event::Kind::Resumed:
                emit changed();
                break;
        }
    }
    const std::int64_t wake = schedule_->wakeNs();
    if (wake == TourSchedule::kNever) {
        tourTimer_.stop();
        return;
    }
    const std::int64_t ms = std::max<std::int64_t>(0, (wake - now + 999'999) / 1'000'000);
    tourTimer_.start(static_cast<int>(std::min<std::int64_t>(ms, 24 * 3600 * 1000)));
}

void RoomScreen::setTourInputWatch(bool on) {
    if (on) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
}

bool RoomScreen::eventFilter(QObject* watched, QEvent* event) {
    // The person's own input in this window pauses the tour until the tour's
    // pause time has passed without any.
    if (!schedule_ || !watched->isWidgetType()) return QWidget::eventFilter(watched, event);
    const auto type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress && type != QEvent::Wheel)
        return QWidget::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != window()) return QWidget::eventFilter(watched, event);
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isTourKey(key) || key->isAutoRepeat() || key->key() == Qt::Key_Control ||
            key->key() == Qt::Key_Shift || key->key() == Qt::Key_Alt || key->key() == Qt::Key_Meta)
            return QWidget::eventFilter(watched, event);
    }
    const bool wasPaused = isTourPaused();
    schedule_->input(nowNs());
    runTour();
    if (!wasPaused) emit changed();
    return QWidget::eventFilter(watched, event);
}
