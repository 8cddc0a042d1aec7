// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class CameraView;
class PreviewTouchImage;

// A frame around one camera picture view: the picture sits 5 points inside
// each edge, and follows the frame's size. The frame is drawn in the
// highlight colour while the cell is selected. The picture view is owned by
// this view; the camera record is only referred to.
class TouchView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kInset = 5;

    explicit TouchView(QWidget* parent = nullptr);

    PreviewTouchImage* imageView() const { return imageView_; }
    CameraView* delegate() const { return delegate_; }
    void setDelegate(CameraView* record) { delegate_ = record; }

    bool isSelected() const { return selected_; }
    // Repaints the frame only, never the picture inside it.
    void setSelected(bool selected);
    // Framed as where a dragged camera or cell would land, over the
    // selection's frame while it lasts.
    bool isDropTarget() const { return dropTarget_; }
    void setDropTarget(bool on);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect inner() const;

    PreviewTouchImage* imageView_;    // a child widget, deleted with this view
    CameraView* delegate_ = nullptr;  // not owned, never called
    bool selected_ = false;
    bool dropTarget_ = false;
};
