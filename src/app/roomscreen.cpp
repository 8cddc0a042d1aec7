// SPDX-License-Identifier: GPL-3.0-or-later
#include "roomscreen.h"

#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "pointerhider.h"
#include "previewtouchimage.h"
#include "roomedits.h"
#include "screensaverinhibitor.h"
#include "serverfeeds.h"
#include "settings.h"
#include "touchview.h"
#include "tourschedule.h"
#include "viewtitles.h"
#include "zvtexts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
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

}  // namespace

// The tour's step, its place and its time, drawn as the pictures' notes are:
// white on a dark box, at the top of the screen. Clicks go through it.
class TourNote : public QWidget {
public:
    explicit TourNote(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

    void set(const QString& text, double opacity) {
        raise();  // over the wall in front, which a step's switch may change
        if (text == text_ && opacity == opacity_ && isVisible()) return;
        text_ = text;
        opacity_ = opacity;
        place();
        show();
        update();
    }

    // Top centre of the screen, as large as its lines.
    void place() {
        const QWidget* screen = parentWidget();
        QFont f = font();
        f.setPixelSize(std::clamp(screen->height() / 30, 11, 18));
        setFont(f);
        const QFontMetrics metrics(f);
        const int pad = 8;
        const QRect text =
            metrics.boundingRect(QRect(0, 0, std::max(0, screen->width() - 6 * pad), 1000),
                                 Qt::AlignCenter | Qt::TextWordWrap, text_);
        const QSize size(std::min(screen->width(), text.width() + 2 * pad),
                         std::min(screen->height(), text.height() + pad));
        setGeometry(QRect(QPoint((screen->width() - size.width()) / 2, pad), size));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setOpacity(opacity_);
        p.fillRect(rect(), QColor(0, 0, 0, 190));
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, text_);
    }

private:
    QString text_;
    double opacity_ = 1.0;
};

RoomScreen::RoomScreen(ControlRoomHub* hub, QWidget* parent)
    : QWidget(parent),
      hub_(hub),
      stack_(new QStackedLayout(this)),
      pointer_(new PointerHider(this, this)),
      screenSaver_(new ScreenSaverInhibitor(this)),
      tourNote_(new TourNote(this)) {
    stack_->setContentsMargins(0, 0, 0, 0);
    // Both walls keep the size of the screen, so the one behind asks for
    // its pictures at the size they will be shown at.
    stack_->setStackingMode(QStackedLayout::StackOne);
    for (Side& side : sides_) {
        side.wall = new CameraWall(this);
        stack_->addWidget(side.wall);
        side.mode = std::make_unique<LayoutMode>(
            side.wall, hub_->feeds(), [hub]() -> const std::vector<std::shared_ptr<CamServer>>& {
                return hub->settings().getServers();
            });
        connectWall(side);
    }
    stack_->setCurrentWidget(front().wall);
    tourTimer_.setSingleShot(true);
    tourTimer_.setTimerType(Qt::PreciseTimer);
    connect(&tourTimer_, &QTimer::timeout, this, &RoomScreen::runTour);
    connect(hub_, &ControlRoomHub::renamed, this, &RoomScreen::followRenames);
    connect(hub_, &ControlRoomHub::roomChanged, this, &RoomScreen::roomChanged);
    connect(this, &RoomScreen::changed, this, &RoomScreen::updateKiosk);
    // Each step, pause and resume shows the note in full again.
    tourNoteTimer_.setSingleShot(true);
    connect(&tourNoteTimer_, &QTimer::timeout, this, &RoomScreen::updateTourNote);
    connect(this, &RoomScreen::changed, this, [this] {
        tourNoteClock_.start();
        updateTourNote();
    });
    connect(hub_, &ControlRoomHub::serversChanged, this, [this] {
        for (Side& side : sides_) side.mode->refresh();
    });
}

RoomScreen::~RoomScreen() {
    setTourInputWatch(false);
    for (Side& side : sides_) side.mode.reset();
}

void RoomScreen::connectWall(Side& side) {
    CameraWall* wall = side.wall;
    LayoutMode* mode = side.mode.get();
    connect(wall, &CameraWall::cellPressed, this, [this, mode](int cell) {
        if (mode->selected() == cell) return;
        mode->setSelected(cell);
        emit changed();
    });
    connect(wall, &CameraWall::cellActivated, this, [this, mode](int cell) {
        const LayoutMode::Camera camera = mode->cameraAt(cell);
        if (camera.server) emit cameraActivated(camera.server, camera.index);
    });
    connect(wall, &CameraWall::arrowKey, this, [this, mode](int key) {
        if (mode->moveSelection(key)) emit changed();
    });
    connect(wall, &CameraWall::escapePressed, this, &RoomScreen::escapePressed);
    connect(wall, &CameraWall::fullScreenKey, this, &RoomScreen::fullScreenKey);
}

CameraWall* RoomScreen::wall() const {
    return front().wall;
}

LayoutMode* RoomScreen::mode() const {
    return front().mode.get();
}

const LayoutMode::Source& RoomScreen::source() const {
    return front().mode->source();
}

LayoutMode::Camera RoomScreen::selectedCamera() const {
    return front().mode->cameraAt(front().mode->selected());
}

void RoomScreen::showSource(const LayoutMode::Source& source) {
    front().mode->show(source);
    back().mode->stop();
    prefetched_.reset();
    emit changed();
}

bool RoomScreen::showLayout(const QString& name) {
    const Layout* layout = hub_->room().layout(name);
    if (!layout) return false;
    stopTour();
    shows_ = Shows::Layout;
    name_ = name;
    showSource({LayoutMode::Source::Kind::Layout, *layout, {}, 0});
    return true;
}

void RoomScreen::showWallPage(const QString& serverId, int page) {
    stopTour();
    shows_ = Shows::WallPage;
    name_.clear();
    showSource({LayoutMode::Source::Kind::WallPage, {}, serverId, page});
}

void RoomScreen::showCamera(const CameraRef& camera) {
    stopTour();
    shows_ = Shows::Camera;
    name_.clear();
    Layout one;
    one.resize(1, 1);
    one.setCell(0, 0, camera);
    showSource({LayoutMode::Source::Kind::Layout, one, {}, 0});
    front().mode->setSelected(0);
}

void RoomScreen::clear() {
    stopTour();
    shows_ = Shows::Nothing;
    name_.clear();
    for (Side& side : sides_) side.mode->stop();
    emit changed();
    updateKiosk();
}

void RoomScreen::describe(WindowState& state) const {
    state.serverId.clear();
    state.camera = {};
    state.name.clear();
    const LayoutMode::Source& shown = source();
    switch (shows_) {
        case Shows::Layout:
            state.shows = WindowState::Shows::Layout;
            state.name = name_;
            break;
        case Shows::Tour:
            state.shows = WindowState::Shows::Tour;
            state.name = name_;
            break;
        case Shows::WallPage:
            state.shows = WindowState::Shows::ServerWall;
            state.serverId = shown.serverId;
            break;
        case Shows::Camera:
        case Shows::Nothing:
            state.shows = WindowState::Shows::Camera;
            if (shown.layout.cells.size() == 1 && shown.layout.cells.front()) {
                state.camera = *shown.layout.cells.front();
                state.serverId = state.camera.serverId;
            }
            break;
    }
}

QString RoomScreen::title() const {
    const LayoutMode::Source& shown = source();
    switch (shows_) {
        case Shows::Layout:
            return name_;
        case Shows::Tour:
            if (!schedule_) return name_;
            return ViewTitles::tour(name_, stepName(schedule_->current()), schedule_->current(),
                                    tour_.steps.size());
        case Shows::WallPage: {
            const auto server = hub_->server(shown.serverId);
            return server ? ViewTitles::wall(server->name()) : QString();
        }
        case Shows::Camera:
        case Shows::Nothing:
            break;
    }
    // The camera as its server's list names it now; the reference's name
    // until the list has come.
    const LayoutMode::Camera camera = front().mode->cameraAt(0);
    if (camera.server) {
        const auto cameras = camera.server->getCameras();
        if (cameras && camera.index >= 0 && camera.index < std::ssize(*cameras))
            return ViewTitles::camera(cameras->at(static_cast<size_t>(camera.index))->cameraName,
                                      camera.server->name());
    }
    if (shown.layout.cells.size() == 1 && shown.layout.cells.front()) {
        const CameraRef& ref = *shown.layout.cells.front();
        if (const auto server = hub_->server(ref.serverId))
            return ViewTitles::camera(ref.cameraName, server->name());
    }
    return QString();
}

void RoomScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (tourNote_->isVisible()) tourNote_->place();
}

void RoomScreen::setResting(bool resting) {
    resting_ = resting;
    for (Side& side : sides_) side.mode->setResting(resting);
    updateKiosk();
}

void RoomScreen::setWindowFullScreen(bool on) {
    windowFullScreen_ = on;
    updateKiosk();
}

bool RoomScreen::holdsScreenSaver() const {
    return screenSaver_->isWanted();
}

void RoomScreen::updateKiosk() {
    const bool full = isVisible() && windowFullScreen_;
    pointer_->setEnabled(full && (shows_ == Shows::Layout || shows_ == Shows::Tour));
    screenSaver_->setInhibited(full && shows_ != Shows::Nothing && !resting_);
}

void RoomScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateKiosk();
}

void RoomScreen::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updateKiosk();
}

void RoomScreen::setCell(int cell, std::optional<CameraRef> camera) {
    if (shows_ != Shows::Layout) return;
    const QString name = name_;
    hub_->edit([&](ControlRoom& room) {
        for (Layout& layout : room.layouts) {
            if (layout.name != name) continue;
            if (cell >= 0 && cell < static_cast<int>(layout.cells.size()))
                layout.cells[static_cast<size_t>(cell)] = std::move(camera);
        }
    });
}

void RoomScreen::swapCells(int from, int to) {
    if (shows_ != Shows::Layout || from == to) return;
    const QString name = name_;
    hub_->edit([&](ControlRoom& room) {
        for (Layout& layout : room.layouts) {
            const auto n = static_cast<int>(layout.cells.size());
            if (layout.name != name || from < 0 || to < 0 || from >= n || to >= n) continue;
            std::swap(layout.cells[static_cast<size_t>(from)],
                      layout.cells[static_cast<size_t>(to)]);
        }
    });
    front().mode->setSelected(to);
}

void RoomScreen::showNote(const QString& text) {
    if (front().wall->cellCount() > 0) front().wall->cell(0)->imageView()->showNote(text);
}

void RoomScreen::followRenames(const roomedits::Renames& renames) {
    const auto renamed = [](const std::map<QString, QString>& names, QString& name) {
        if (const auto it = names.find(name); it != names.end()) name = it->second;
    };
    if (shows_ == Shows::Layout) renamed(renames.layouts, name_);
    if (shows_ != Shows::Tour) return;
    renamed(renames.tours, name_);
    // The tour running takes the new names too, so that a rename alone
    // does not start it again from its first step.
    tour_.name = name_;
    for (TourStep& step : tour_.steps)
        if (step.kind == TourStep::Kind::Layout) renamed(renames.layouts, step.layoutName);
}

void RoomScreen::roomChanged() {
    if (shows_ == Shows::Layout) {
        const Layout* layout = hub_->room().layout(name_);
        if (!layout) {
            const QString note = zvText("Layout “%1” was deleted").arg(name_);
            clear();
            emit shownDeleted(note);
            return;
        }
        LayoutMode::Source source{LayoutMode::Source::Kind::Layout, *layout, {}, 0};
        if (!(source == front().mode->source())) {
            front().mode->show(source);
            emit changed();
        }
    } else if (shows_ == Shows::Tour) {
        const Tour* tour = hub_->room().tour(name_);
        if (!tour) {
            const QString note = zvText("Tour “%1” was deleted").arg(name_);
            stopTour();
            clear();
            emit shownDeleted(note);
        } else if (!(*tour == tour_)) {
            startTour(name_);
        } else if (schedule_) {
            // The same steps, but a step's layout may have been edited: the
            // step on screen shows it as it is now, and the one fetched
            // ahead is fetched anew.
            const LayoutMode::Source shown = sourceOfStep(schedule_->current());
            if (!(shown == front().mode->source())) {
                front().mode->show(shown);
                emit changed();
            }
            if (prefetched_ && !(sourceOfStep(*prefetched_) == back().mode->source()))
                prefetch(*prefetched_);
        }
    }
}

// --- the tour ---

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
