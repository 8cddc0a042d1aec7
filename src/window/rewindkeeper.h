// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>

#include "rewindstore.h"

class TouchImage;

// Puts what the viewer's windows show into its rewind store, by camera (the
// activity watch's keys): the still pictures' bytes as they came, from one
// view per camera (the largest that shows it; another once it falls silent),
// and the packets of a camera's live video from its decode thread. While a
// video of a camera is kept its still pictures are not, so that the two never
// interleave in the store; of two videos of one camera, one is kept. One per
// viewer; instance() finds it. Main thread only, but for what keepVideo()
// gives.
class RewindKeeper : public QObject {
    Q_OBJECT

public:
    static constexpr int kSilentMs = 2000;

    explicit RewindKeeper(std::shared_ptr<RewindStore> store, QObject* parent = nullptr);
    ~RewindKeeper() override;

    // The viewer's keeper, while there is one.
    static RewindKeeper* instance();
    const std::shared_ptr<RewindStore>& store() const { return store_; }

    // view showed a picture of camera key.
    void pictureShown(const QString& key, TouchImage* view);
    // What the decode thread of a video of camera key gives what arrives to;
    // safe on any thread, and after the keeper has gone. Nothing for no key.
    std::function<void(RewindStore::Part&&)> keepVideo(const QString& key);

private:
    struct Claims;
    struct Source {
        QPointer<TouchImage> view;
        qint64 lastMs = 0;
        qint64 area = 0;
    };
    std::shared_ptr<RewindStore> store_;
    std::shared_ptr<Claims> claims_;
    std::map<QString, Source> sources_;
};
