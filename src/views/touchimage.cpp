// SPDX-License-Identifier: GPL-3.0-or-later
#include "touchimage.h"

#include "cameraview.h"
#include "opaqueblit.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <QtMath>

#include <algorithm>

TouchImage::TouchImage(QWidget* parent)
    : QWidget(parent),
      note_([this] { update(); }),
      freshness_(new PictureFreshness([this] { update(); }, this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(64, 48);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Arrow keys and F reach the view; the right button opens the cameras
    // menu itself, so no context-menu event goes to the window as well.
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

TouchImage::~TouchImage() {
    if (watchedWindow_) watchedWindow_->removeEventFilter(this);
}

void TouchImage::setPicture(const QImage& image) {
    showPicture(CameraPicture(image));
}

void TouchImage::setCameraPicture(const CameraPicture& picture) {
    showPicture(picture);
}

void TouchImage::showPicture(const CameraPicture& picture) {
    const QImage& image = picture.image;
    freshness_->pictureArrived(!image.isNull());
    // A failed picture leaves the last good one, and its bytes: what is on
    // screen is what would be saved. Its age tells the rest.
    if (image.isNull()) return;
    const bool wasSavable = hasSavablePicture();
    picture_ = image;
    pictureBytes_ = picture.bytes;
    pictureHold_ = picture.hold;
    picturePart_ = picture.part.isValid() ? picture.part : QRectF(0, 0, 1, 1);
    pictureLossless_ = picture.lossless;
    pictureArrived_ = picture.arrived;
    fitted_ = QImage();
    update();
    if (hasSavablePicture() != wasSavable) emit savableChanged(!wasSavable);
    emit pictureShown();
}

void TouchImage::forgetPicture() {
    const bool wasSavable = hasSavablePicture();
    picture_ = QImage();
    fitted_ = QImage();
    pictureBytes_ = QByteArray();
    pictureHold_.reset();
    picturePart_ = QRectF(0, 0, 1, 1);
    pictureLossless_ = nullptr;
    pictureArrived_ = QDateTime();
    if (wasSavable) emit savableChanged(false);
}

void TouchImage::clearPicture() {
    forgetPicture();
    zoom_.reset();
    // No camera is shown any more: nothing to warn of until one is.
    shownServer_ = nullptr;
    shownImageUri_.clear();
    freshness_->stop();
    update();
}

void TouchImage::setDelegate(CameraView* record) {
    delegate_ = record ? record->weak_from_this() : std::weak_ptr<CameraView>();
    const void* server = record ? record->server : nullptr;
    const QString imageUri = record ? record->imageUri : QString();
    // The same camera again (its list reloaded, say) keeps its picture.
    if (record && server == shownServer_ && imageUri == shownImageUri_) return;
    shownServer_ = server;
    shownImageUri_ = imageUri;
    forgetPicture();
    // Another camera (or server) starts at the whole picture.
    zoom_.reset();
    if (record) {
        freshness_->restart();
    } else {
        freshness_->stop();
    }
    update();
}

QSizeF TouchImage::boundsSize() const {
    return QSizeF(width(), height());
}

void TouchImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (past_.on) {
        paintPast(p);
    } else if (picture_.isNull()) {
        p.fillRect(rect(), Qt::black);
    } else {
        drawPicture(p);
    }
    if (!past_.on) freshness_->paint(p, rect());
    // The live picture's activity is not the past picture's.
    const bool activityMark = activityMark_ && !past_.on;
    if (activityMark) {
        const int w = std::clamp(std::min(width(), height()) / 40, 4, 8);
        const QColor colour(230, 30, 200);
        const QRect r = rect();
        p.fillRect(QRect(r.left(), r.top(), r.width(), w), colour);
        p.fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), colour);
        p.fillRect(QRect(r.left(), r.top(), w, r.height()), colour);
        p.fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), colour);
    }
    const QString caption =
        activityMark ? (caption_.isEmpty() ? activityMarkText() : QStringLiteral("◉ ") + caption_)
                      : caption_;
    if (!caption.isEmpty()) {
        QFont font = p.font();
        font.setPixelSize(std::clamp(height() / 12, 10, 18));
        p.setFont(font);
        const QFontMetrics metrics(font);
        const int pad = 4;
        const QString text =
            metrics.elidedText(caption, Qt::ElideRight, std::max(0, width() - 4 * pad));
        QRect box(0, 0, metrics.horizontalAdvance(text) + 2 * pad, metrics.height() + pad);
        box.moveBottomLeft(rect().bottomLeft());
        p.fillRect(box, QColor(0, 0, 0, 160));
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, text);
    }
    note_.paint(p, rect());
}

QString TouchImage::activityMarkText() {
    return QStringLiteral("◉ ") + QCoreApplication::translate("Zorvan", "Activity");
}

void TouchImage::setActivityMark(bool on) {
    if (on == activityMark_) return;
    activityMark_ = on;
    update();
}

void TouchImage::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

TouchImage::Placement TouchImage::placement() const {
    // Fit inside the view, aspect kept, centred, in device pixels so that
    // a high-density screen gets every pixel of the picture. Zoomed, the
    // part zoomed to is what fits.
    Placement out;
    out.ratio = devicePixelRatioF();
    out.device = QSize(qRound(width() * out.ratio), qRound(height() * out.ratio));
    // The part zoomed to, in fractions of what the picture holds (a video
    // frame may hold only the part zoomed to when it was made).
    const QRectF zoomed = zoom_.visible(), held = picturePart_;
    const QRectF part((zoomed.x() - held.x()) / held.width(),
                      (zoomed.y() - held.y()) / held.height(), zoomed.width() / held.width(),
                      zoomed.height() / held.height());
    const QSizeF whole(picture_.size());
    out.source = QRect(qRound(part.x() * whole.width()), qRound(part.y() * whole.height()),
                       std::max(1, qRound(part.width() * whole.width())),
                       std::max(1, qRound(part.height() * whole.height())))
                     .intersected(picture_.rect());
    out.target = out.source.size().scaled(out.device, Qt::KeepAspectRatio);
    out.topLeft = QPoint((out.device.width() - out.target.width()) / 2,
                         (out.device.height() - out.target.height()) / 2);
    return out;
}

QRectF TouchImage::pictureArea() const {
    if (picture_.isNull()) return QRectF(rect());
    const Placement at = placement();
    return QRectF(QPointF(at.topLeft) / at.ratio, QSizeF(at.target) / at.ratio);
}

void TouchImage::drawPicture(QPainter& p) {
    const Placement at = placement();
    const QSize target = at.target;
    if (target.isEmpty()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // The picture is scaled once, when it arrives, the view's size or the
    // zoom changes, and each repaint (the warning's clock, an expose) copies
    // the result: an area-averaging scale of 1920x1080 to 480x270 takes
    // longer than decoding the picture at 1/4, too long for every repaint.
    // A whole picture at the target size, as the decoder or a server that
    // honours the asked size makes it, is drawn as it is.
    const QImage* shown = &picture_;
    if (at.source != picture_.rect() || target != picture_.size()) {
        if (fitted_.size() != target || fittedPart_ != zoom_.visible()) {
            const QImage part = at.source == picture_.rect() ? picture_ : picture_.copy(at.source);
            // An area-averaging scale: a picture decoded at up to twice the
            // view's size (the decoder's nearest scale) keeps its fine
            // detail instead of sampling every other pixel.
            fitted_ = part.size() == target
                          ? part
                          : part.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            fittedPart_ = zoom_.visible();
        }
        shown = &fitted_;
    }
    const qreal ratio = at.ratio;
    const QPoint topLeft = at.topLeft;
    // Black only around the picture (the pixels it covers whole): filling
    // the whole view under it cost more than drawing the picture, in every
    // cell of a camera wall at every picture.
    const QRectF place(QPointF(topLeft) / ratio, QSizeF(target) / ratio);
    const QRect covered(QPoint(qCeil(place.left()), qCeil(place.top())),
                        QPoint(qFloor(place.right()) - 1, qFloor(place.bottom()) - 1));
    for (const QRect& r : QRegion(rect()).subtracted(covered)) p.fillRect(r, Qt::black);
    if (ratio == 1.0) {
        if (!OpaqueBlit::draw(p, topLeft, *shown)) p.drawImage(topLeft, *shown);
    } else {
        p.drawImage(place, *shown);
    }
}

// --- camera step ---

void TouchImage::cameraStep(bool forward) {
    if (!camerasMenu_) return;
    const QList<QAction*> items = camerasMenu_->actions();
    const qsizetype count = items.size();
    if (count == 0) return;
    qsizetype k = 0;
    for (qsizetype i = 0; i < count; ++i)
        if (items[i]->isChecked()) k = i;
    k += forward ? 1 : -1;
    if (k < 0) k = count - 1;
    if (k >= count) k = 0;
    emit cameraChosen(items[k]);
}

void TouchImage::apply(GestureTracker::Step step) {
    if (step != GestureTracker::Step::None) cameraStep(step == GestureTracker::Step::Forward);
}

// --- full screen ---

void TouchImage::setFullScreen(bool on) {
    if (on == inFullScreen_) return;
    inFullScreen_ = on;
    watchWindow();
    QWidget* top = window();
    showMenuBar(!on);
    // Only the full-screen bit changes, so a maximised window is maximised
    // again when it leaves full screen.
    const Qt::WindowStates state = top->windowState();
    if (on) {
        frameBeforeFullScreen_ = top->geometry();
        QTimer::singleShot(kFullScreenFallbackMs, this, &TouchImage::fillScreenIfIgnored);
    }
    top->setWindowState(on ? state | Qt::WindowFullScreen : state & ~Qt::WindowFullScreen);
    if (!on && filledScreenItself_) {
        filledScreenItself_ = false;
        top->setGeometry(frameBeforeFullScreen_);
    }
    emit fullScreenChanged(on);
    if (!top->isVisible()) return;
    top->show();
    top->raise();
    top->activateWindow();
}

void TouchImage::fillScreenIfIgnored() {
    // Without a window manager (a bare X server, a kiosk) nobody acts on the
    // full-screen request: the window then covers its screen by itself, and
    // gets its frame back when it leaves full screen.
    QWidget* top = window();
    const QScreen* screen = top->screen();
    if (!inFullScreen_ || !screen || !top->isVisible() || top->geometry() == screen->geometry())
        return;
    filledScreenItself_ = true;
    top->setGeometry(screen->geometry());
}

void TouchImage::showMenuBar(bool show) {
    auto* main = qobject_cast<QMainWindow*>(window());
    QWidget* bar = main ? main->menuWidget() : nullptr;
    if (!bar || bar->isHidden() == !show) return;
    bar->setVisible(show);
    // The window's layout does not notice a hidden menu bar by itself when
    // the window's size stays the same (an already maximised window).
    if (QLayout* layout = main->layout()) {
        layout->invalidate();
        layout->activate();
    }
}

void TouchImage::watchWindow() {
    QWidget* top = window();
    if (top == this || watchedWindow_ == top) return;
    if (watchedWindow_) watchedWindow_->removeEventFilter(this);
    watchedWindow_ = top;
    top->installEventFilter(this);
}

bool TouchImage::eventFilter(QObject* watched, QEvent* event) {
    // The window's state is the truth: the window manager may end full
    // screen on its own (a key of its own, a screen unplugged), and reports
    // of earlier state changes may arrive after a toggle. Following every
    // report keeps the flag, the menu bar and the window in step, and the
    // last report wins.
    if (watched == watchedWindow_ && event->type() == QEvent::WindowStateChange) {
        const bool fullScreen = watchedWindow_->windowState() & Qt::WindowFullScreen;
        if (fullScreen != inFullScreen_) {
            inFullScreen_ = fullScreen;
            showMenuBar(!fullScreen);
            emit fullScreenChanged(fullScreen);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- pointer ---

QMenu* TouchImage::menuForEvent(const QMouseEvent& event) {
    if (event.type() != QEvent::MouseButtonPress || event.button() != Qt::RightButton)
        return nullptr;
    if (saveAction_) return contextMenu();
    if (!camerasMenu_ || camerasMenu_->isEmpty()) return nullptr;
    return camerasMenu_;
}

QMenu* TouchImage::contextMenu() {
    // The cameras menu's own items: a menu reports its items' triggers
    // wherever they were chosen, so a camera chosen here reaches the same
    // command as from the menu bar.
    if (!contextMenu_) contextMenu_ = new QMenu(this);
    contextMenu_->clear();
    if (camerasMenu_ && !camerasMenu_->isEmpty()) {
        contextMenu_->addActions(camerasMenu_->actions());
        contextMenu_->addSeparator();
    }
    // An item of its own rather than the window's: it saves this view's
    // picture (a wall cell's may not be the selected one), and is enabled
    // by this view's picture alone.
    const QString shortcut = saveAction_->shortcut().toString(QKeySequence::NativeText);
    QAction* save = contextMenu_->addAction(saveAction_->text() +
                                            (shortcut.isEmpty() ? QString() : u'\t' + shortcut));
    save->setEnabled(hasSavablePicture());
    connect(save, &QAction::triggered, this, &TouchImage::saveRequested);
    return contextMenu_;
}

void TouchImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (QMenu* menu = menuForEvent(*event)) menu->popup(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        leftPress(*event);
        event->accept();
        return;
    }
    event->ignore();
}

void TouchImage::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt delivers the second press of a double click as this event; it is
    // counted like any other press.
    if (event->button() == Qt::LeftButton) {
        leftPress(*event);
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    event->ignore();
}

void TouchImage::leftPress(const QMouseEvent& event) {
    const QStyleHints* hints = QGuiApplication::styleHints();
    const std::uint64_t now = event.timestamp();
    const QPointF pos = event.globalPosition();
    const bool near = (pos - lastClickPos_).manhattanLength() <= hints->mouseDoubleClickDistance();
    const bool soon = clickCount_ > 0 && now >= lastClickMs_ &&
                      now - lastClickMs_ <= std::uint64_t(hints->mouseDoubleClickInterval());
    clickCount_ = (near && soon) ? clickCount_ + 1 : 1;
    lastClickMs_ = now;
    lastClickPos_ = pos;
    lastDragPos_ = pos;
    mayMoveWindow_ = clickCount_ == 1;
    if (clickCount_ > 1) toggleFullScreen();
}

void TouchImage::mouseMoveEvent(QMouseEvent* event) {
    // Zoomed in, a drag moves the picture under the view instead.
    if (mayMoveWindow_ && (event->buttons() & Qt::LeftButton) && zoom_.zoomed()) {
        panBy(event->globalPosition() - lastDragPos_);
        lastDragPos_ = event->globalPosition();
        event->accept();
        return;
    }
    // A press in the picture may move the window, as a title bar would.
    if (mayMoveWindow_ && (event->buttons() & Qt::LeftButton) && !inFullScreen_ &&
        (event->globalPosition() - lastClickPos_).manhattanLength() >=
            QGuiApplication::styleHints()->startDragDistance()) {
        mayMoveWindow_ = false;
        if (QWindow* handle = window()->windowHandle()) handle->startSystemMove();
    }
    event->accept();
}

void TouchImage::mouseReleaseEvent(QMouseEvent* event) {
    mayMoveWindow_ = false;
    event->accept();  // a right-button release is consumed as well
}

// --- touch-pad and keys ---

void TouchImage::wheelEvent(QWheelEvent* event) {
    if (!zoomEvent(*event)) apply(gestures_.wheel(*event));
    event->accept();
}

bool TouchImage::event(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        // A pinch zooms; the tracker, which sees it too, then steps no camera.
        const auto& gesture = *static_cast<QNativeGestureEvent*>(event);
        zoomGesture(gesture);
        apply(gestures_.nativeGesture(gesture));
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void TouchImage::keyPressEvent(QKeyEvent* event) {
    if (zoomKey(*event)) return;
    const Qt::KeyboardModifiers mods =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    if (mods == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Left:
                cameraStep(false);
                return;
            case Qt::Key_Right:
                cameraStep(true);
                return;
            case Qt::Key_F:
            case Qt::Key_F11:
                toggleFullScreen();
                return;
            case Qt::Key_Escape:
                if (inFullScreen_) {
                    setFullScreen(false);
                    return;
                }
                break;
            default:
                break;
        }
    }
    QWidget::keyPressEvent(event);
}
