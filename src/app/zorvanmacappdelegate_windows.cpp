// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's windows: the other windows, what every
// window showed and where (kept in the layouts file and restored at the
// next start), and the command line that names what to show.

#include "zorvanmacappdelegate.h"

#include "alertqueue.h"
#include "camerawall.h"
#include "camserver.h"
#include "commandline.h"
#include "controlroomhub.h"
#include "layoutsfile.h"
#include "previewtouchimage.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "screenkeeper.h"
#include "settings.h"
#include "touchimage.h"
#include "touchview.h"
#include "viewtitles.h"
#include "wallmode.h"
#include "zvmainwindow.h"
#include "zvtexts.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

#include <algorithm>
#include <climits>
#include <string_view>

namespace {

// The layouts file's alerts have their translations (a text that differs
// from the table's by a letter would show in English).
constexpr bool translated(const char* key) {
    for (const char* text : zvtexts::kAll)
        if (std::string_view(text) == key) return true;
    return false;
}
static_assert(translated(LayoutsFile::kUnreadableAlert) && translated(LayoutsFile::kSkippedAlert) &&
              translated(LayoutsFile::kSaveFailedAlert) &&
              translated(LayoutsFile::kWindowsHeldAlert));

}  // namespace

RoomWindow* ZorvanMacAppDelegate::newWindow(const WindowState* state) {
    auto window = std::make_unique<RoomWindow>(this);
    RoomWindow* w = window.get();
    connect(w, &RoomWindow::closed, this, &ZorvanMacAppDelegate::closeRoomWindow,
            Qt::QueuedConnection);
    connect(w, &ZVMainWindow::stateChanged, this, &ZorvanMacAppDelegate::storeWindows);
    connect(w->screenView(), &RoomScreen::shownDeleted, this,
            [this, w](const QString& note) { leaveDeleted(w, note); });
    roomWindows_.push_back(std::move(window));
    screens_->keep(
        w, [w](bool on) { w->setFullScreen(on); }, [w] { return w->isFullScreenOn(); });
    WindowState shown;
    if (state) {
        shown = *state;
    } else {
        // A new window starts on the first window's layout, or the first one.
        const WindowState main = window_->state();
        shown.shows = WindowState::Shows::Layout;
        shown.name = main.shows == WindowState::Shows::Layout ? main.name : QString();
        if (shown.name.isEmpty() && !hub_->room().layouts.empty())
            shown.name = hub_->room().layouts.front().name;
        if (shown.name.isEmpty()) {
            shown.shows = WindowState::Shows::ServerWall;
            if (const auto current = settings_.getCurrent()) shown.serverId = current->serverId();
        }
        shown.screenName = window_->screen() ? window_->screen()->name() : QString();
        // Offset from the first window's own frame, not from the screen it
        // fills in full screen.
        const QRect frame = window_->frameToKeep();
        shown.geometry = QRect(frame.topLeft() + QPoint(40, 40), frame.size());
    }
    QScreen* screen = ScreenKeeper::screenFor(shown.screenName, shown.screenIndex);
    // No larger than the desktop: a frame of a million points square (the
    // file allows it) would cost gigabytes of window memory.
    if (screen && shown.geometry.isValid())
        shown.geometry.setSize(shown.geometry.size().boundedTo(screen->virtualSize()));
    ScreenKeeper::place(w, screen, shown.geometry, false, [w](bool on) { w->setFullScreen(on); });
    w->show();
    // A window that showed nothing (written as a camera of no server) starts
    // the same.
    if (shown.shows != WindowState::Shows::Camera || !shown.serverId.isEmpty()) w->apply(shown);
    if (shown.fullScreen) w->setFullScreen(true);
    w->setLayoutsLocked(shown.locked);
    w->raise();
    w->activateWindow();
    storeWindows();
    return w;
}

void ZorvanMacAppDelegate::closeRoomWindow(RoomWindow* window) {
    // Closed by the quit (which closes the main window too): it comes back
    // at the next start.
    if (workEnded_ || !window_->isVisible()) return;
    stopListening(window);
    window->screenView()->clear();
    screens_->forget(window);
    std::erase_if(roomWindows_, [&](const auto& w) { return w.get() == window; });
    storeWindows();
}

void ZorvanMacAppDelegate::quit() {
    // Closing the first window quits the viewer, other windows and all.
    window_->close();
}

void ZorvanMacAppDelegate::leaveDeleted(RoomWindow* window, const QString& note) {
    const WindowState view = window_->currentServerView();
    if (!view.serverId.isEmpty()) window->apply(view);
    window->screenView()->showNote(note);
}

void ZorvanMacAppDelegate::storeWindows() {
    if (!hub_ || workEnded_ || restoring_) return;
    // A window that shows nothing (its layout gone, say) is kept as the
    // current server's view: a camera of no server would come back as
    // nothing at all.
    const auto kept = [this](WindowState state) {
        if (state.shows == WindowState::Shows::Camera && state.serverId.isEmpty()) {
            const WindowState view = window_->currentServerView();
            state.shows = view.shows;
            state.serverId = view.serverId;
            state.camera = view.camera;
        }
        return state;
    };
    std::vector<WindowState> windows{kept(window_->state())};
    for (const auto& w : roomWindows_) windows.push_back(kept(w->state()));
    if (windows == hub_->room().windows) return;
    hub_->file()->room().windows = std::move(windows);
    hub_->file()->saveSoon();
}

void ZorvanMacAppDelegate::restoreWindows() {
    restoring_ = true;
    const std::vector<WindowState> windows = hub_->room().windows;
    if (!windows.empty()) {
        const WindowState& main = windows.front();
        // The main window's camera or wall is the settings file's; a layout
        // or a tour is the layouts file's.
        if (main.shows == WindowState::Shows::Layout) window_->showLayout(main.name);
        if (main.shows == WindowState::Shows::Tour) window_->startTour(main.name);
        if (main.fullScreen) window_->setFullScreen(true);
        window_->setLayoutsLocked(main.locked);
    }
    for (std::size_t i = 1; i < windows.size(); ++i) newWindow(&windows[i]);
    restoring_ = false;
    // What the layouts file has to say, from its load and from now on (a
    // save that fails); queued, since a save may run inside an edit.
    const auto tell = [this] {
        for (const char* text : hub_->file()->takeAlerts())
            if (!workEnded_)
                alerts_->add(
                    zvText(text), [] {}, nullptr);
    };
    connect(hub_.get(), &ControlRoomHub::alertsPending, this, tell, Qt::QueuedConnection);
    tell();
}

// --- the command line ---

int ZorvanMacAppDelegate::applyCommandLine(const QStringList& arguments, QString* message,
                                           bool apply) {
    const CommandLine line = CommandLine::parse(arguments);
    if (!line.error.isEmpty()) {
        if (message) *message = line.error;
        return CommandLine::kUsageError;
    }
    auto fail = [&](const QString& text) {
        if (message) *message = text;
        return CommandLine::kUsageError;
    };
    // Names are checked before anything changes, and found as people type
    // them (any case, where that finds one).
    const auto namesOf = [](const auto& entries) {
        QStringList names;
        for (const auto& e : entries) names << e.name;
        return names;
    };
    const ControlRoom& room = hub_->room();
    QString name = line.name;
    std::shared_ptr<CamServer> server;
    std::optional<CameraRef> camera;
    switch (line.shows) {
        case CommandLine::Shows::Layout: {
            const QStringList names = namesOf(room.layouts);
            const qsizetype k = CommandLine::findName(names, line.name);
            if (k < 0)
                return fail(CommandLine::unknownName(
                    zvText("No layout named \"%1\".").arg(line.name), "Layouts: %1.", names));
            name = names[k];
            break;
        }
        case CommandLine::Shows::Tour: {
            const QStringList names = namesOf(room.tours);
            const qsizetype k = CommandLine::findName(names, line.name);
            if (k < 0)
                return fail(CommandLine::unknownName(zvText("No tour named \"%1\".").arg(line.name),
                                                     "Tours: %1.", names));
            name = names[k];
            break;
        }
        case CommandLine::Shows::Server: {
            QStringList names;
            for (const auto& s : settings_.getServers()) names << s->name();
            const qsizetype k = CommandLine::findName(names, line.name);
            if (k < 0)
                return fail(CommandLine::unknownName(
                    zvText("No server named \"%1\".").arg(line.name), "Servers: %1.", names));
            server = settings_.getServers().at(static_cast<size_t>(k));
            name = server->name();
            if (!line.camera.isNull()) {
                CameraRef ref;
                ref.serverId = server->serverId();
                ref.cameraName = line.camera;
                // A list not here yet is looked into when it comes.
                if (const auto cameras = server->getCameras()) {
                    QStringList cameraNames;
                    for (const auto& c : *cameras) cameraNames << c->cameraName;
                    const qsizetype found = CommandLine::findName(cameraNames, line.camera);
                    if (found < 0)
                        return fail(CommandLine::unknownName(
                            zvText("No camera named \"%1\" on %2.").arg(line.camera, name),
                            "Cameras: %1.", cameraNames));
                    ref = *CameraRef::to(server->serverId(), *cameras, found);
                }
                camera = ref;
            }
            break;
        }
        case CommandLine::Shows::Nothing:
            break;
    }
    QScreen* screen = nullptr;
    if (!line.screen.isNull()) {
        bool isIndex = false;
        const int index = line.screen.toInt(&isIndex);
        const QList<QScreen*> screens = QGuiApplication::screens();
        for (QScreen* s : screens)
            if (s->name() == line.screen) screen = s;
        if (!screen && isIndex && index >= 0 && index < screens.size()) screen = screens[index];
        if (!screen) return fail(zvText("No screen \"%1\".").arg(line.screen));
    }

    if (!apply) return 0;
    WindowState state;
    switch (line.shows) {
        case CommandLine::Shows::Layout:
            state.shows = WindowState::Shows::Layout;
            break;
        case CommandLine::Shows::Tour:
            state.shows = WindowState::Shows::Tour;
            break;
        case CommandLine::Shows::Server:
            state.shows = camera ? WindowState::Shows::Camera : WindowState::Shows::ServerWall;
            break;
        case CommandLine::Shows::Nothing:
            break;
    }
    state.name = name;
    if (server) state.serverId = server->serverId();
    if (camera) state.camera = *camera;
    state.fullScreen = line.fullScreen;

    // A kiosk's full-screen window is never covered by the viewer's other
    // windows, also when it was full screen already and other windows came
    // back over it: it goes in front of them and takes the keyboard. Its
    // layouts are locked against a stray drag on a wall display.
    const auto inFront = [&line](ZVMainWindow* window) {
        if (!line.fullScreen || !window) return;
        window->setLayoutsLocked(true);
        window->raise();
        window->activateWindow();
    };
    if (line.newWindow) {
        if (line.shows == CommandLine::Shows::Nothing) {
            newWindow();
            return 0;
        }
        if (screen) {
            state.screenName = screen->name();
            state.screenIndex = static_cast<int>(QGuiApplication::screens().indexOf(screen));
        }
        inFront(newWindow(&state));
        return 0;
    }
    // The first window takes it.
    FirstWindow* w = window_.get();
    if (screen && w->screen() != screen)
        ScreenKeeper::place(w, screen, {}, w->isFullScreenOn(),
                            [w](bool on) { w->setFullScreen(on); });
    switch (line.shows) {
        case CommandLine::Shows::Layout:
            w->showLayout(name);
            break;
        case CommandLine::Shows::Tour:
            w->startTour(name);
            break;
        case CommandLine::Shows::Server:
            if (camera && server->getCameras()) {
                const int k = findCamera(*server->getCameras(), *camera);
                if (k >= 0) w->showCameraOf(server, k, false);
            } else {
                if (camera) pendingCamera_ = line.camera;
                w->leaveRoom();
                for (QAction* item : w->serversMenu()->actions())
                    if (item->property("title").toString() == name) {
                        w->changeServer(item);
                        break;
                    }
            }
            break;
        case CommandLine::Shows::Nothing:
            break;
    }
    if (line.fullScreen) w->setFullScreen(true);
    inFront(window_.get());
    return 0;
}
