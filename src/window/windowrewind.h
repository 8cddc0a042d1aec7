// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class ControlRoomHub;
class QAction;
class QMainWindow;
class QMenu;
class RewindBar;
class RewindPlayer;
class TouchImage;

// Going back in time in one window: the timeline under its picture, the
// Rewind menu and its keys, and every cell of the window at the same moment.
//
// The bar shows while the pointer is near the window's bottom edge, while
// Timeline (Ctrl+B) is on, and whenever the window is not live. Alt+Left and
// Alt+Right go back and forward 10 s (from live too); while not live Space
// plays and pauses, Left and Right step one picture, [ and ] change the
// speed, End returns to live. The cells are the window's views that show a
// camera and can be seen; they are followed while the window looks back (a
// tour's step, a cell filled). Export Clip (Ctrl+E) writes the selected
// cell's camera between the bar's clip marks, Export Clips of All Cells
// every cell's. Main thread only.
class WindowRewind : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kJumpMs = 10000;
    static constexpr qint64 kDefaultClipMs = 30000;

    // selected: the window's selected view (Save Picture's), or none.
    WindowRewind(QMainWindow* window, ControlRoomHub* hub, std::function<TouchImage*()> selected);
    ~WindowRewind() override;

    // Adds the Rewind menu to the window's menu bar before `before` (none:
    // at the end), and Export Clip… items to `fileMenu` after `after`.
    void addMenus(QMenu* fileMenu, QAction* after, QAction* before);

    bool isLive() const;
    RewindPlayer* player() const { return player_.get(); }
    RewindBar* bar() const { return bar_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followCells();
    std::vector<TouchImage*> cells() const;
    void showPicture(int cell, const QImage& image, const QByteArray& bytes, qint64 time,
                     std::function<QImage()> lossless);
    void refreshMarks();
    void refreshBar();
    void placeBar();
    void watchPointer();
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);
    void liveChanged(bool live);
    void exportClips(bool all);
    std::pair<qint64, qint64> clipMarks() const;
    void markClip(bool start);
    void stepPicture(bool forward);

    QMainWindow* window_;
    ControlRoomHub* hub_;
    std::function<TouchImage*()> selected_;
    std::unique_ptr<RewindPlayer> player_;
    QPointer<QWidget> central_;  // the window's central widget, the bar's parent
    RewindBar* bar_;             // child of the window's central widget
    std::vector<QPointer<TouchImage>> cells_;
    std::vector<qint64> shownTimes_;  // per cell, the part shown (0: nothing kept)
    QAction* timeline_ = nullptr;     // Ctrl+B, a check item
    QAction* back_ = nullptr;
    QAction* forward_ = nullptr;
    QAction* play_ = nullptr;
    QAction* live_ = nullptr;
    QAction* exportOne_ = nullptr;
    QAction* exportAll_ = nullptr;
    QTimer pointer_;  // where the pointer is, for the bar
    QTimer second_;   // the marks' "ago" and the bar's span
    qint64 pointerNearMs_ = 0;
    qint64 clipFrom_ = 0, clipTo_ = 0;  // 0: the default
};
