// SPDX-License-Identifier: GPL-3.0-or-later
// Another window is a whole viewer: every command of its menu bar does its
// work there, on what that window shows, and the sound moves between
// windows.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QInputDialog>
#include <QSettings>
#include <QSpinBox>

#include "camerawall.h"
#include "controlroomhub.h"
#include "livevideo.h"
#include "previewtouchimage.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "videobudget.h"
#include "viewerkit.h"
#include "windowpanel.h"
#include "zvserversettings.h"

namespace {

// Chooses an item found without opening the menu: a cell's context menu
// takes the cameras menu's items as they are.
void choose(QMenu* menu, const QString& title) {
    for (QAction* a : menu->actions())
        if (a->text() == title) return a->trigger();
    ADD_FAILURE() << "no item " << title.toStdString();
}

// Answers the next modal dialog that opens, once it is up: check gets it.
void onNextDialog(const std::function<void(QDialog*)>& check) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, check] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            check(dialog);
        }
    });
    poll->start(20);
}

}  // namespace

TEST_F(ViewerFixture, EveryCommandDoesItsWorkInAnotherWindow) {
    OwnPicturesFolder pictures;
    ScriptedServer a(camerasServer()), b(camerasServer());
    // The main window shows Shop's Yard, which has a microphone.
    writeServers(dir.path(), {{"Shop", a.port(), true}, {"Depot", b.port()}}, 1);
    start();
    const QString shop = settings->getServers().front()->serverId();
    const auto depot = settings->getServers().back();
    Layout lobby = lobbyLayout(shop, 2);
    lobby.setCell(0, 0, CameraRef{shop, "/c/0", "Gate", 0});
    app->hub()->edit([&](ControlRoom& room) {
        room.layouts = {lobby};
        room.tours = {{"Night", {{TourStep::Kind::Layout, "Lobby", {}, 0, 3600}}, 30}};
    });
    ASSERT_TRUE(waitForPictureOf(1));
    RoomWindow* other = app->newWindow();
    Ui::ZVMainWindow& ui = other->ui();
    RoomScreen* room = other->screenView();
    const auto cell = [&](int i) { return room->wall()->cell(i)->imageView(); };
    const auto shown = [&] { return cameraOfPicture(cell(0)->picture()); };
    QWidget* dialogParent = nullptr;
    std::size_t listsAsked = 0;
    // clang-format off
    const struct { const char* command; std::function<void()> act; std::function<bool()> done; } rows[] = {
        {"Servers: Depot", [&] { choose(ui.serversMenu, "Depot"); },
         [&] { return room->shows() == RoomScreen::Shows::Camera && room->selectedCamera().server == depot && shown() == 0; }},
        {"Cameras: Yard", [&] { choose(ui.camerasMenu, "Yard"); },
         [&] { return room->selectedCamera().server == depot && room->selectedCamera().index == 1 && shown() == 1; }},
        {"Save Picture", [&] { ui.actionSavePicture->trigger(); },
         [&] { return QDir(pictures.path() + "/Zorvan").entryList(QDir::Files).size() == 1; }},
        {"Listen", [&] { ui.actionSound->trigger(); },
         [&] { return app->listeningWindow() == other && countOf(b, "/m/0.mp3") > 0; }},
        {"Listen in the main window takes it back",
         [&] { app->window()->ui().actionSound->trigger(); },
         [&] { return app->listeningWindow() == app->window() && !ui.actionSound->isChecked(); }},
        {"Right: the next camera", [&] { QTest::keyClick(room->wall(), Qt::Key_Right); },
         [&] { return room->selectedCamera().index == 2 && shown() == 2; }},
        {"Live Video off", [&] { ui.actionLiveVideo->trigger(); }, [&] { return !LiveVideo::isOn(*depot); }},
        {"Camera Wall", [&] { ui.actionCameraWall->trigger(); },
         [&] { return room->shows() == RoomScreen::Shows::WallPage && room->source().serverId == depot->serverId(); }},
        {"Cameras on Page: 1", [&] { choose(ui.camerasOnPageMenu, "1"); },
         [&] { return depot->camOnPage == 1 && room->wall()->cellCount() == 1; }},
        {"Next Page", [&] { ui.actionNextPage->trigger(); },
         [&] { return room->source().page == 1 && shown() == 1; }},
        {"Cameras Panel", [&] { other->panel()->action()->trigger(); }, [&] { return other->panel()->isShown(); }},
        {"Layouts: Lobby", [&] { choose(other->menus().layouts, "Lobby"); },
         [&] { return room->shows() == RoomScreen::Shows::Layout && room->name() == "Lobby"; }},
        {"Clear Cell", [&] { room->mode()->setSelected(0); other->menus().clearCell->trigger(); },
         [&] { return !app->hub()->room().layouts.front().cells[0]; }},
        {"Undo", [&] { other->menus().undo->trigger(); },
         [&] { return app->hub()->room().layouts.front().cells[0].has_value(); }},
        {"Save Wall as Layout",
         [&] { onNextDialog([](QDialog* d) { static_cast<QInputDialog*>(d)->setTextValue("Hall"); d->accept(); });
               other->menus().saveLayout->trigger(); },
         [&] { return app->hub()->room().layout("Hall") && room->name() == "Hall"; }},
        {"Edit Layouts",
         [&] { onNextDialog([&](QDialog* d) { dialogParent = d->parentWidget(); d->reject(); });
               other->menus().editLayouts->trigger(); },
         [&] { return dialogParent == other; }},
        {"Preferences: 2 videos",
         [&] { onNextDialog([](QDialog* d) { d->findChild<QSpinBox*>("videoDecodes")->setValue(2); d->accept(); });
               other->preferencesAction()->trigger(); },
         [&] { return app->hub()->videoBudget()->limit() == 2; }},
        {"Start Tour", [&] { other->menus().tour.toggle->trigger(); }, [&] { return room->isTouring(); }},
        {"Full Screen", [&] { ui.actionFullScreen->trigger(); }, [&] { return other->isFullScreenOn(); }},
        {"Reload Server", [&] { listsAsked = countOf(a, "/cameras"); ui.actionReload->trigger(); },
         [&] { return countOf(a, "/cameras") > listsAsked; }},
        {"Edit Server List", [&] { ui.actionPreferences->trigger(); },
         [&] { return AppAccess::settingsWindow(*app) && AppAccess::settingsWindow(*app)->isVisible(); }},
        {"New Window", [&] { AppAccess::settingsWindow(*app)->close(); other->menus().newWindow->trigger(); },
         [&] { return app->roomWindows().size() == 2; }},
        {"Close Window", [&] { other->menus().closeWindow->trigger(); },
         [&] { return app->roomWindows().size() == 1 && app->roomWindows().front().get() != other; }},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        row.act();
        EXPECT_TRUE(waitUntil(row.done));
    }
    LiveVideo::setOn(*depot, true);
    QSettings().remove("video/decodesAtOnce");
    RoomWindow* last = app->roomWindows().front().get();
    last->ui().actionQuit->trigger();
    EXPECT_TRUE(waitUntil([&] { return !app->window()->isVisible(); }));
}

// Without a window manager nobody gives the keyboard back when a window of
// the viewer that had it closes: it goes back to the window it was opened
// over, or to the viewer window that had it before.
TEST_F(ViewerFixture, TheKeyboardComesBackWhenADialogOrWindowCloses) {
    ScriptedServer a(camerasServer());
    writeServers(dir.path(), {{"Shop", a.port(), true}});
    start();
    RoomWindow* other = app->newWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == other; }));
    const struct {
        const char* closes;
        std::function<QWidget*()> open;
        QWidget* back;
    } rows[] = {
        {"the server list",
         [&] {
             app->preference();
             return AppAccess::settingsWindow(*app);
         },
         other},
        {"a dialog over the first window",
         [&] {
             auto* d = new QDialog(app->window());
             d->setAttribute(Qt::WA_DeleteOnClose);
             d->show();
             return d;
         },
         app->window()},
        {"the other window", [&] { return other; }, app->window()},
    };
    for (const auto& r : rows) {
        QWidget* w = r.open();
        w->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == w; })) << r.closes;
        w->close();
        EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == r.back; })) << r.closes;
    }
}
