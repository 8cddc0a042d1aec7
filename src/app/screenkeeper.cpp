// SPDX-License-Identifier: GPL-3.0-or-later
#include "screenkeeper.h"

#include "layout.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>
#include <QWindow>

Q_LOGGING_CATEGORY(lcScreens, "zorvan.screens")

ScreenKeeper::ScreenKeeper(QObject* parent) : QObject(parent) {
    connect(qApp, &QGuiApplication::screenRemoved, this, &ScreenKeeper::screenRemoved);
    connect(qApp, &QGuiApplication::screenAdded, this, &ScreenKeeper::screenAdded);
}

int ScreenKeeper::pick(const QStringList& names, const QString& name, int index) {
    const bool counted = index >= 0 && index < names.size();
    if (!name.isEmpty() && names.contains(name))
        return counted && names[index] == name ? index : static_cast<int>(names.indexOf(name));
    return counted ? index : -1;
}

QScreen* ScreenKeeper::screenFor(const QString& name, int index) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    QStringList names;
    for (QScreen* screen : screens) names << screen->name();
    const int i = pick(names, name, index);
    return i >= 0 ? screens[i] : QGuiApplication::primaryScreen();
}

void ScreenKeeper::describe(const QWidget* window, WindowState& state) {
    QScreen* screen = window->screen();
    if (!screen) return;
    state.screenName = screen->name();
    state.screenIndex = static_cast<int>(QGuiApplication::screens().indexOf(screen));
    if (state.screenIndex < 0) state.screenIndex = 0;
}

void ScreenKeeper::place(QWidget* window, QScreen* screen, const QRect& geometry, bool fullScreen,
                         const std::function<void(bool)>& setFullScreen) {
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    if (fullScreen) setFullScreen(false);
    // A screen that is not a sibling of the window's (another X screen of
    // the display) makes the native window anew, hidden: a window shown is
    // shown again. A window not made yet is made there.
    const bool anew = window->isVisible() && window->screen() && window->screen() != screen &&
                      !window->screen()->virtualSiblings().contains(screen);
    if (anew) window->hide();
    window->setScreen(screen);
    if (geometry.isValid() && available.intersects(geometry)) {
        window->setGeometry(geometry);
    } else {
        QSize size = geometry.isValid() ? geometry.size() : QSize(800, 600);
        size = size.boundedTo(available.size());
        window->setGeometry(
            QRect(available.center() - QPoint(size.width() / 2, size.height() / 2), size));
    }
    if (QWindow* handle = window->windowHandle()) handle->setScreen(screen);
    if (anew) window->show();
    if (fullScreen) setFullScreen(true);
}

void ScreenKeeper::keep(QWidget* window, std::function<void(bool)> setFullScreen,
                        std::function<bool()> isFullScreen) {
    forget(window);
    kept_.push_back({window, std::move(setFullScreen), std::move(isFullScreen), {}, {}, false});
}

void ScreenKeeper::forget(QWidget* window) {
    std::erase_if(kept_, [&](const Kept& k) { return !k.window || k.window == window; });
}

void ScreenKeeper::screenRemoved(QScreen* screen) {
    QScreen* refuge = nullptr;
    for (QScreen* s : QGuiApplication::screens())
        if (s != screen) {
            refuge = s;
            break;
        }
    if (!refuge) return;
    for (Kept& k : kept_) {
        if (!k.window || k.window->screen() != screen) continue;
        qCInfo(lcScreens) << "Screen" << screen->name() << "went away; its window moves to"
                          << refuge->name();
        k.homeScreen = screen->name();
        k.homeFullScreen = k.isFullScreen();
        k.homeGeometry = k.homeFullScreen ? k.window->normalGeometry() : k.window->geometry();
        place(k.window, refuge, {}, k.homeFullScreen, k.setFullScreen);
    }
}

void ScreenKeeper::screenAdded(QScreen* screen) {
    for (Kept& k : kept_) {
        if (!k.window || k.homeScreen.isEmpty() || k.homeScreen != screen->name()) continue;
        qCInfo(lcScreens) << "Screen" << screen->name() << "is back; its window returns";
        k.homeScreen.clear();
        // The window system places the new screen first; the window follows.
        QTimer::singleShot(0, k.window, [w = k.window, s = QPointer<QScreen>(screen), k]() {
            if (w && s) place(w, s, k.homeGeometry, k.homeFullScreen, k.setFullScreen);
        });
    }
}
