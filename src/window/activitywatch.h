// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>
#include <set>

#include "activitydetector.h"

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
// the level and the threshold. One per viewer. Main thread only.
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
    // What keyOf() was made of: the server's identity, and the camera's uri
    // or, when it had none, its name (the other one empty).
    struct Parts {
        QString serverId;
        QString cameraUri;
        QString cameraName;
    };
    static Parts partsOf(const QString& key);
    // view shows the camera of key from now on (empty: none).
    void watch(TouchImage* view, const QString& key);
    bool isActive(const QString& key) const;
    // View > Activity for window: its views' marks on or off.
    void setMarksShown(QWidget* window, bool on);
    bool marksShown(const QWidget* window) const;

signals:
    // key became active, or its hold ran out.
    void activityChanged(const QString& key, bool active);

private:
    struct Camera {
        ActivityDetector detector;
        QPointer<TouchImage> leader;  // the view whose pictures are judged
        qint64 leaderMs = 0;          // its last picture
        qint64 activeUntilMs = 0;
        bool active = false;
    };
    void pictureShown(TouchImage* view);
    void setActive(const QString& key, Camera& camera, bool active);
    void mark(TouchImage* view);
    void expire();

    std::map<QString, Camera> cameras_;
    std::map<TouchImage*, QString> views_;
    std::map<TouchImage*, QMetaObject::Connection> connections_;
    std::set<const QWidget*> marksOff_;  // windows
    QTimer hold_;
};
