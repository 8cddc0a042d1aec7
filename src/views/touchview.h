#pragma once

#include <QWidget>

class CameraView;
class TouchImage;

// A frame around one camera picture view: the picture sits 5 points inside
// each edge, and follows the frame's size. The picture view is owned by this
// view; the camera record is only referred to.
class TouchView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kInset = 5;

    explicit TouchView(QWidget* parent = nullptr);

    TouchImage* imageView() const { return imageView_; }
    CameraView* delegate() const { return delegate_; }
    void setDelegate(CameraView* record) { delegate_ = record; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TouchImage* imageView_;           // a child widget, deleted with this view
    CameraView* delegate_ = nullptr;  // not owned, never called
};
