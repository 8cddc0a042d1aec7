// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QScreen;
struct WindowState;

// Keeps the viewer's windows on the screens they belong to: places a window
// on its screen (by name, else by position among screens, else the primary
// one), takes the windows of a screen that goes away to a remaining one,
// and puts them back, in full screen if they were, when it returns.
// Main thread only.
class ScreenKeeper : public QObject {
    Q_OBJECT

public:
    explicit ScreenKeeper(QObject* parent = nullptr);

    // The screen a window state names, or the primary one.
    static QScreen* screenFor(const QString& name, int index);
    // Which of the screens named names a window state means: the one of
    // that name (of several of that name, the one counted index, as two X
    // screens of one display are both called after their output), else
    // the one counted index; -1 for neither.
    static int pick(const QStringList& names, const QString& name, int index);
    // The name and position of the screen a window is on.
    static void describe(const QWidget* window, WindowState& state);
    // Puts window on screen at geometry (when it lies on that screen; else
    // centred there) and in full screen if asked. setFullScreen does it the
    // window's own way.
    static void place(QWidget* window, QScreen* screen, const QRect& geometry, bool fullScreen,
                      const std::function<void(bool)>& setFullScreen);

    // Watches window; setFullScreen: the window's own way to go in and out.
    void keep(QWidget* window, std::function<void(bool)> setFullScreen,
              std::function<bool()> isFullScreen);
    void forget(QWidget* window);

private:
    friend struct ScreenKeeperTestAccess;
    void screenRemoved(QScreen* screen);
    void screenAdded(QScreen* screen);

    struct Kept {
        QPointer<QWidget> window;
        std::function<void(bool)> setFullScreen;
        std::function<bool()> isFullScreen;
        QString homeScreen;  // set while away from it
        QRect homeGeometry;
        bool homeFullScreen = false;
    };
    std::vector<Kept> kept_;
};
