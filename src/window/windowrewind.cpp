// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowrewind.h"

#include "activitylog.h"
#include "activitywatch.h"
#include "cameraview.h"
#include "camserver.h"
#include "clipexport.h"
#include "controlroomhub.h"
#include "pastframe.h"
#include "rewindbar.h"
#include "rewindplayer.h"
#include "rewindstore.h"
#include "touchimage.h"
#include "zvtexts.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

namespace {
constexpr int kBarHeight = 44;
constexpr int kNearEdge = 56;    // points from the bottom edge that show the bar
constexpr int kLingerMs = 2500;  // it stays this long after the pointer left

qint64 rewindNowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// Plain keys are a text field's own.
bool typesText(QWidget* w) {
    return qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w);
}
}  // namespace

WindowRewind::WindowRewind(QMainWindow* window, ControlRoomHub* hub,
                           std::function<TouchImage*()> selected)
    : QObject(window),
      window_(window),
      hub_(hub),
      selected_(std::move(selected)),
      player_(std::make_unique<RewindPlayer>(hub->rewindStore(), &rewindNowMs)),
      central_(window->centralWidget()),
      bar_(new RewindBar(window->centralWidget())) {
    bar_->hide();
    window->centralWidget()->installEventFilter(this);
    qApp->installEventFilter(this);
    connect(bar_, &RewindBar::momentChosen, this, [this](qint64 t) {
        followCells();
        player_->show(t);
    });
    connect(bar_, &RewindBar::liveChosen, player_.get(), &RewindPlayer::goLive);
    connect(bar_, &RewindBar::clipChanged, this, [this](qint64 from, qint64 to) {
        clipFrom_ = from;
        clipTo_ = to;
    });
    connect(player_.get(), &RewindPlayer::picture, this, [this](int cell, const video::Past& past) {
        showPicture(cell, past.image, past.jpeg, past.time, past.full);
    });
    connect(player_.get(), &RewindPlayer::nothingKept, this,
            [this](int cell) { showPicture(cell, QImage(), {}, 0, nullptr); });
    connect(player_.get(), &RewindPlayer::momentChanged, this, [this] {
        refreshMarks();
        refreshBar();
    });
    connect(player_.get(), &RewindPlayer::liveChanged, this, &WindowRewind::liveChanged);
    connect(player_.get(), &RewindPlayer::playingChanged, this, [this](bool playing) {
        bar_->setPlaying(playing);
        if (play_)
            play_->setText(playing ? zvText("Pause") + "\tSpace" : zvText("Play") + "\tSpace");
    });
    pointer_.setInterval(150);
    connect(&pointer_, &QTimer::timeout, this, &WindowRewind::watchPointer);
    pointer_.start();
    second_.setInterval(1000);
    connect(&second_, &QTimer::timeout, this, [this] {
        if (!isLive()) {
            followCells();
            refreshMarks();
        }
        refreshBar();
    });
    second_.start();
}

WindowRewind::~WindowRewind() {
    qApp->removeEventFilter(this);
    for (const auto& view : cells_)
        if (view) view->endPast();
}

bool WindowRewind::isLive() const {
    return player_->isLive();
}

void WindowRewind::addMenus(QMenu* fileMenu, QAction* after, QAction* before) {
    auto* menu = new QMenu(zvText("Rewind"), window_);
    if (before)
        window_->menuBar()->insertMenu(before, menu);
    else
        window_->menuBar()->addMenu(menu);
    timeline_ = menu->addAction(zvText("Timeline"));
    timeline_->setCheckable(true);
    timeline_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    connect(timeline_, &QAction::toggled, this, [this] { refreshBar(); });
    menu->addSeparator();
    back_ = menu->addAction(zvText("Back 10 Seconds"));
    back_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    connect(back_, &QAction::triggered, this, [this] {
        followCells();
        player_->back(kJumpMs);
    });
    forward_ = menu->addAction(zvText("Forward 10 Seconds"));
    forward_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    connect(forward_, &QAction::triggered, this, [this] { player_->forward(kJumpMs); });
    // Keys that are the cells' own while live are caught by the event filter
    // only while the window looks back: the menu only names them.
    play_ = menu->addAction(zvText("Play") + "\tSpace");
    connect(play_, &QAction::triggered, player_.get(), &RewindPlayer::togglePlay);
    QAction* previous = menu->addAction(zvText("Previous Picture") + "\tLeft");
    connect(previous, &QAction::triggered, this, [this] { stepPicture(false); });
    QAction* next = menu->addAction(zvText("Next Picture") + "\tRight");
    connect(next, &QAction::triggered, this, [this] { stepPicture(true); });
    QAction* slower = menu->addAction(zvText("Slower") + "\t[");
    connect(slower, &QAction::triggered, player_.get(), &RewindPlayer::slower);
    QAction* faster = menu->addAction(zvText("Faster") + "\t]");
    connect(faster, &QAction::triggered, player_.get(), &RewindPlayer::faster);
    live_ = menu->addAction(zvText("Live") + "\tEnd");
    connect(live_, &QAction::triggered, player_.get(), &RewindPlayer::goLive);
    menu->addSeparator();
    QAction* start = menu->addAction(zvText("Mark Clip Start") + "\tI");
    connect(start, &QAction::triggered, this, [this] { markClip(true); });
    QAction* end = menu->addAction(zvText("Mark Clip End") + "\tO");
    connect(end, &QAction::triggered, this, [this] { markClip(false); });
    for (QAction* a : {play_, previous, next, slower, faster, live_}) a->setEnabled(false);
    connect(menu, &QMenu::aboutToShow, this, [this, previous, next, slower, faster] {
        const bool past = !isLive();
        for (QAction* a : {play_, slower, faster, live_}) a->setEnabled(past);
        for (QAction* a : {previous, next}) a->setEnabled(past && !player_->isPlaying());
    });

    exportOne_ = new QAction(zvText("Export Clip…"), window_);
    exportOne_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(exportOne_, &QAction::triggered, this, [this] { exportClips(false); });
    exportAll_ = new QAction(zvText("Export Clips of All Cells…"), window_);
    exportAll_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(exportAll_, &QAction::triggered, this, [this] { exportClips(true); });
    const QList<QAction*> items = fileMenu->actions();
    const qsizetype at = items.indexOf(after);
    QAction* following = at >= 0 && at + 1 < items.size() ? items.at(at + 1) : nullptr;
    fileMenu->insertActions(following, {exportOne_, exportAll_});
    // The keys work in full screen too, with the menu bar hidden.
    window_->addActions({timeline_, back_, forward_, exportOne_, exportAll_});
}

std::vector<TouchImage*> WindowRewind::cells() const {
    std::vector<TouchImage*> out;
    ActivityWatch* watch = hub_->activity();
    for (TouchImage* view : window_->findChildren<TouchImage*>())
        if (view->isVisible() && !watch->keyOfView(view).isEmpty()) out.push_back(view);
    return out;
}

void WindowRewind::followCells() {
    const std::vector<TouchImage*> now = cells();
    std::vector<RewindPlayer::Cell> cells;
    bool same = now.size() == cells_.size();
    for (std::size_t i = 0; i < now.size(); ++i) {
        TouchImage* view = now[i];
        same = same && cells_[i] == view;
        const QSize pixels = (QSizeF(view->size()) * view->devicePixelRatioF()).toSize();
        cells.push_back({int(i), hub_->activity()->keyOfView(view), pixels});
    }
    if (!same) {
        // Views that left the window's cells are live again.
        for (const auto& view : cells_)
            if (view && std::find(now.begin(), now.end(), view.data()) == now.end())
                view->endPast();
        cells_.assign(now.begin(), now.end());
        shownTimes_.assign(cells_.size(), -1);
    }
    player_->setCells(std::move(cells));
}

void WindowRewind::showPicture(int cell, const QImage& image, const QByteArray& bytes, qint64 time,
                               std::function<QImage()> lossless) {
    if (cell < 0 || cell >= int(cells_.size()) || !cells_[cell] || isLive()) return;
    shownTimes_[cell] = image.isNull() ? 0 : time;
    const QString mark = rewindMomentText(player_->moment(), rewindNowMs());
    cells_[cell]->showPast(image, mark, bytes,
                           time > 0 ? QDateTime::fromMSecsSinceEpoch(time, Qt::UTC) : QDateTime(),
                           std::move(lossless));
}

void WindowRewind::refreshMarks() {
    if (isLive()) return;
    const QString mark = rewindMomentText(player_->moment(), rewindNowMs());
    for (const auto& view : cells_)
        if (view) view->setPastMark(mark);
}

void WindowRewind::refreshBar() {
    const qint64 now = rewindNowMs();
    const bool wanted = (timeline_ && timeline_->isChecked()) || !isLive() ||
                        (pointerNearMs_ > 0 && now - pointerNearMs_ < kLingerMs);
    if (wanted != bar_->isVisible()) {
        bar_->setVisible(wanted);
        if (wanted) {
            placeBar();
            bar_->raise();
        }
    }
    if (!wanted) return;
    const std::shared_ptr<RewindStore>& store = hub_->rewindStore();
    qint64 first = 0;
    std::vector<std::pair<qint64, qint64>> marks;
    std::vector<QString> keys;
    for (TouchImage* view : cells()) keys.push_back(hub_->activity()->keyOfView(view));
    for (const QString& key : keys)
        if (const auto span = store->span(key); span && (first == 0 || span->first < first))
            first = span->first;
    for (const ActivityLog::Event& e : hub_->activityLog()->events()) {
        if (std::find(keys.begin(), keys.end(), e.key) == keys.end()) continue;
        const qint64 start = e.start.toMSecsSinceEpoch();
        marks.emplace_back(start, e.ongoing() ? now : start + e.durationMs);
    }
    if (first > 0)
        bar_->setSpan(first, now);
    else
        bar_->clearSpan();
    bar_->setMarks(std::move(marks));
    bar_->setMoment(isLive() ? std::nullopt : std::optional<qint64>(player_->moment()));
    bar_->setSpeed(player_->speed());
    const auto [from, to] = clipMarks();
    bar_->setClip(from, to);
}

void WindowRewind::placeBar() {
    QWidget* screen = central_;
    if (!screen) return;
    bar_->setGeometry(0, screen->height() - kBarHeight, screen->width(), kBarHeight);
}

void WindowRewind::watchPointer() {
    QWidget* screen = central_;
    if (!window_->isVisible() || !screen) return;
    const QPoint at = screen->mapFromGlobal(QCursor::pos());
    const bool inside = screen->rect().contains(at);
    if (inside && at.y() >= screen->height() - kNearEdge) {
        const bool wasShown = bar_->isVisible();
        pointerNearMs_ = rewindNowMs();
        if (!wasShown) refreshBar();
    } else if (bar_->isVisible() && pointerNearMs_ > 0 &&
               rewindNowMs() - pointerNearMs_ >= kLingerMs) {
        pointerNearMs_ = 0;
        refreshBar();
    }
}

void WindowRewind::liveChanged(bool live) {
    if (live) {
        for (const auto& view : cells_)
            if (view) view->endPast();
        cells_.clear();
        shownTimes_.clear();
    }
    refreshBar();
}

bool WindowRewind::eventFilter(QObject* watched, QEvent* event) {
    // Only the event's type and plain pointers first: this sees every event
    // of the application, the window's own while it is being destroyed too.
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize && central_ && watched == central_.data()) {
        placeBar();
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window_ || typesText(widget) || isLive()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier) return false;
    switch (key->key()) {
        case Qt::Key_Space:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_End:
        case Qt::Key_BracketLeft:
        case Qt::Key_BracketRight:
        case Qt::Key_I:
        case Qt::Key_O:
            break;
        default:
            return false;
    }
    // Taken from the shortcuts (a tour's Space) and from the cells (their
    // camera steps) while the window looks back.
    event->accept();
    if (type == QEvent::ShortcutOverride) return true;
    return handleKey(key->key(), mods);
}

bool WindowRewind::handleKey(int key, Qt::KeyboardModifiers) {
    switch (key) {
        case Qt::Key_Space:
            player_->togglePlay();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (!player_->isPlaying()) stepPicture(key == Qt::Key_Right);
            return true;
        case Qt::Key_End:
            player_->goLive();
            return true;
        case Qt::Key_BracketLeft:
            player_->slower();
            refreshBar();
            return true;
        case Qt::Key_BracketRight:
            player_->faster();
            refreshBar();
            return true;
        case Qt::Key_I:
        case Qt::Key_O:
            markClip(key == Qt::Key_I);
            return true;
    }
    return false;
}

void WindowRewind::stepPicture(bool forward) {
    // One picture of the selected cell's camera; with none selected, of
    // whichever cell changes first.
    TouchImage* view = selected_ ? selected_() : nullptr;
    const bool inCells = view && std::find(cells_.begin(), cells_.end(), view) != cells_.end();
    player_->step(forward, inCells ? hub_->activity()->keyOfView(view) : QString());
}

std::pair<qint64, qint64> WindowRewind::clipMarks() const {
    if (clipFrom_ > 0 && clipTo_ > clipFrom_) return {clipFrom_, clipTo_};
    const qint64 end = isLive() ? rewindNowMs() : player_->moment();
    return {end - kDefaultClipMs, end};
}

void WindowRewind::markClip(bool start) {
    const qint64 at = isLive() ? rewindNowMs() : player_->moment();
    auto [from, to] = clipMarks();
    if (start) {
        from = at;
        if (to <= from) to = std::min(from + kDefaultClipMs, rewindNowMs());
    } else {
        to = at;
        if (from >= to) from = to - kDefaultClipMs;
    }
    clipFrom_ = from;
    clipTo_ = to;
    refreshBar();
}

void WindowRewind::exportClips(bool all) {
    std::vector<TouchImage*> views;
    if (all) {
        views = cells();
    } else if (TouchImage* view = selected_ ? selected_() : nullptr) {
        views.push_back(view);
    } else if (const std::vector<TouchImage*> shown = cells(); shown.size() == 1) {
        views = shown;
    }
    std::vector<ClipExport::Item> items;
    for (TouchImage* view : views) {
        const QString key = hub_->activity()->keyOfView(view);
        if (key.isEmpty()) continue;
        const auto record = view->delegate();
        const ActivityWatch::Parts parts = ActivityWatch::partsOf(key);
        const auto server = hub_->server(parts.serverId);
        items.push_back({key, server ? server->name() : QString(),
                         record ? record->cameraName : parts.cameraName});
    }
    if (items.empty()) return;
    const auto [from, to] = clipMarks();
    ::exportClips(window_, hub_->rewindStore(), std::move(items), from, to,
                  ClipExport::defaultFolder());
}
