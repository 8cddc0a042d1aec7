// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "activitydetector.h"
#include "layout.h"
#include "touchimage.h"  // a signal carries a pointer to one

class TouchImage;
class QWidget;

// Notices what moves on every camera the viewer's windows show: one
// detector per camera (by its server's identity and its reference), fed with
// the pictures of the views that show it. A camera shown in several views is
// judged on one of them (the first to show a picture; another takes over when
// that one has given none for 2 s), so that a picture is never counted twice.
// A camera stays active for a hold time after its last activity; every view
// showing it is marked then (TouchImage::setActivityMark), in the windows
// whose marks are on (View > Activity). With Show Picture Rate the views add
// the level and the threshold. Each camera is judged as the room's activity
// entry for it says (setRoom): its sensitivity and ignore zones, Normal and
// none without one; an Off camera is never judged nor marked. One per
// viewer. Main thread only.
class ActivityWatch : public QObject {
    Q_OBJECT

public:
    static constexpr int kHoldMs = 10000;
    static constexpr int kLeadMs = 2000;

    explicit ActivityWatch(QObject* parent = nullptr);
    ~ActivityWatch() override;

    // A camera's key; empty for none.
    static QString keyOf(const QString& serverId, const QString& cameraUri,
                         const QString& cameraName);
    // A camera: its server's identity, its uri and its name (either may be
    // empty). From partsOf(): what keyOf() was made of, the uri or, when it
    // had none, the name (the other one empty).
    struct Parts {
        QString serverId;
        QString cameraUri;
        QString cameraName;
    };
    static Parts partsOf(const QString& key);
    // view shows camera from now on (none: no server identity, or neither a
    // uri nor a name).
    void watch(TouchImage* view, const Parts& camera);
    bool isActive(const QString& key) const;
    // The camera view shows, as a room's entries name it; none when it
    // shows none.
    std::optional<CameraRef> cameraOf(const TouchImage* view) const;
    // The activity entries of room from now on, applied to every camera
    // at once.
    void setRoom(const ControlRoom& room);
    // View > Activity for window: its views' marks on or off.
    void setMarksShown(QWidget* window, bool on);
    bool marksShown(const QWidget* window) const;

    // The key of the camera view shows; empty when it shows none.
    QString keyOfView(const TouchImage* view) const;

signals:
    // key became active, or its hold ran out.
    void activityChanged(const QString& key, bool active);
    // view showed a picture of camera key (every picture of every view,
    // Off cameras too).
    void pictureSeen(const QString& key, TouchImage* view);

private:
    struct Camera {
        Parts parts;  // as the latest view to show it named it
        ActivityDetector detector;
        std::vector<QRectF> zones;    // the detector's, as given
        QPointer<TouchImage> leader;  // the view whose pictures are judged
        qint64 leaderMs = 0;          // its last picture
        qint64 activeUntilMs = 0;
        bool active = false;
    };
    void pictureShown(TouchImage* view);
    void setActive(const QString& key, Camera& camera, bool active);
    void mark(TouchImage* view);
    void expire();
    // Gives camera's detector its entry's settings.
    void apply(const QString& key, Camera& camera);

    std::vector<CameraActivity> entries_;
    std::map<QString, Camera> cameras_;
    std::map<TouchImage*, QString, std::less<>> views_;
    std::map<TouchImage*, QMetaObject::Connection> connections_;
    std::set<const QWidget*> marksOff_;  // windows
    QTimer hold_;
};
