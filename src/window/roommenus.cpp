// SPDX-License-Identifier: GPL-3.0-or-later
#include "roommenus.h"

#include "layout.h"
#include "roomscreen.h"
#include "zvtexts.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {

constexpr const char* kItemKind = "roomItem";

template <typename Entries>
void fill(QMenu* menu, const Entries& entries, const QString& checked, bool shortcuts,
          const std::function<void(const QString&)>& choose) {
    for (QAction* item : menu->actions())
        if (item->property(kItemKind).toBool()) {
            menu->removeAction(item);
            item->deleteLater();
        }
    QAction* before = menu->actions().isEmpty() ? nullptr : menu->actions().first();
    int n = 0;
    for (const auto& entry : entries) {
        // Names are shown as they are: '&' is not a mnemonic here.
        auto* item = new QAction(QString(entry.name).replace('&', "&&"), menu);
        item->setProperty(kItemKind, true);
        item->setCheckable(true);
        item->setChecked(entry.name == checked);
        if (shortcuts && n < 9) item->setShortcut(QKeySequence(Qt::ALT | (Qt::Key_1 + n)));
        ++n;
        QObject::connect(item, &QAction::triggered, menu,
                         [choose, name = entry.name] { choose(name); });
        menu->insertAction(before, item);
    }
    if (n > 0 && before && !before->isSeparator()) {
        QAction* separator = menu->insertSeparator(before);
        separator->setProperty(kItemKind, true);
    }
}

}  // namespace

namespace RoomMenus {

void fillLayouts(QMenu* menu, const ControlRoom& room, const QString& checked,
                 const std::function<void(const QString&)>& choose) {
    fill(menu, room.layouts, checked, true, choose);
}

void fillTours(QMenu* menu, const ControlRoom& room, const QString& checked,
               const std::function<void(const QString&)>& choose) {
    fill(menu, room.tours, checked, false, choose);
}

TourActions addTourActions(QMenu* menu, RoomScreen* room) {
    TourActions a;
    a.toggle = menu->addAction(zvText("Start Tour"));
    a.toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    a.pause = menu->addAction(zvText("Pause Tour"));
    a.pause->setShortcut(QKeySequence(Qt::Key_Space));
    QObject::connect(a.pause, &QAction::triggered, room, &RoomScreen::pauseOrResumeTour);
    a.next = menu->addAction(zvText("Next Step"));
    a.next->setShortcut(QKeySequence(Qt::Key_PageDown));
    QObject::connect(a.next, &QAction::triggered, room, &RoomScreen::nextStep);
    a.previous = menu->addAction(zvText("Previous Step"));
    a.previous->setShortcut(QKeySequence(Qt::Key_PageUp));
    QObject::connect(a.previous, &QAction::triggered, room, &RoomScreen::previousStep);
    return a;
}

WindowMenus addWindowMenus(QMainWindow* window, QMenu* view, QAction* panel, RoomScreen* room,
                           bool closable) {
    WindowMenus m;
    // Edit goes right after the first menu of the bar (Zorvan).
    m.edit = new QMenu(zvText("&Edit"), window);
    const QList<QAction*> bar = window->menuBar()->actions();
    window->menuBar()->insertMenu(bar.size() > 1 ? bar[1] : nullptr, m.edit);
    m.undo = m.edit->addAction(zvText("Undo"));
    m.undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m.redo = m.edit->addAction(zvText("Redo"));
    m.redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QObject::connect(m.undo, &QAction::triggered, room, &RoomScreen::undo);
    QObject::connect(m.redo, &QAction::triggered, room, &RoomScreen::redo);
    QObject::connect(room, &RoomScreen::changed, m.edit, [m, room] { updateEdits(m, room); });
    updateEdits(m, room);

    view->addSeparator();
    view->addAction(panel);
    m.activity = view->addAction(zvText("Activity"));
    m.activity->setCheckable(true);
    m.activity->setChecked(true);
    m.activitySettings = view->addAction(zvText("Activity Settings…"));
    m.tours = view->addMenu(zvText("Tours"));
    m.tour = addTourActions(m.tours, room);

    m.layouts = new QMenu(zvText("&Layouts"), window);
    window->menuBar()->addMenu(m.layouts);
    m.saveLayout = m.layouts->addAction(zvText("Save Wall as Layout…"));
    m.editLayouts = m.layouts->addAction(zvText("Edit Layouts…"));
    m.layouts->addSeparator();
    m.clearCell = m.layouts->addAction(zvText("Clear Cell"));
    m.clearCell->setShortcut(QKeySequence(Qt::Key_Delete));
    m.lock = m.layouts->addAction(zvText("Lock Layouts"));
    m.lock->setCheckable(true);
    QObject::connect(m.lock, &QAction::toggled, room, &RoomScreen::setLocked);

    m.window = new QMenu(zvText("&Window"), window);
    window->menuBar()->addMenu(m.window);
    m.newWindow = m.window->addAction(zvText("New Window"));
    m.newWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m.activityList = m.window->addAction(zvText("Activity List"));
    if (closable) {
        m.closeWindow = m.window->addAction(zvText("Close Window"));
        m.closeWindow->setShortcut(QKeySequence::Close);
        QObject::connect(m.closeWindow, &QAction::triggered, window, &QWidget::close);
        window->addAction(m.closeWindow);
    }
    window->addActions({m.undo, m.redo, m.clearCell, m.tour.toggle, m.tour.pause, m.tour.next,
                        m.tour.previous, m.newWindow});
    return m;
}

void updateEdits(const WindowMenus& menus, const RoomScreen* room) {
    menus.undo->setEnabled(room->canUndo());
    menus.redo->setEnabled(room->canRedo());
}

QActionGroup* addCamerasOnPage(QMenu* menu, QObject* owner,
                               const std::function<void(int)>& choose) {
    auto* group = new QActionGroup(owner);
    for (int n : {1, 4, 9, 16, 25}) {
        QAction* item = menu->addAction(QString::number(n));
        item->setCheckable(true);
        group->addAction(item);
        QObject::connect(item, &QAction::triggered, owner, [choose, n] { choose(n); });
    }
    return group;
}

void TourActions::update(bool touring, bool paused, bool anyTour) const {
    toggle->setText(touring ? zvText("Stop Tour") : zvText("Start Tour"));
    toggle->setEnabled(touring || anyTour);
    // Space, Page Down and Page Up are the tour's only while it runs.
    pause->setEnabled(touring);
    pause->setText(paused ? zvText("Resume Tour") : zvText("Pause Tour"));
    next->setEnabled(touring);
    previous->setEnabled(touring);
}

void addShortcutsTo(QWidget* window, QMenu* menu) {
    for (QAction* item : menu->actions())
        if (!item->shortcut().isEmpty() && !window->actions().contains(item))
            window->addAction(item);
}

}  // namespace RoomMenus
