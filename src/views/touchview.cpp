#include "touchview.h"

#include "touchimage.h"

TouchView::TouchView(QWidget* parent) : QWidget(parent), imageView_(new TouchImage(this)) {
    imageView_->setMinimumSize(0, 0);
    imageView_->setGeometry(rect().adjusted(kInset, kInset, -kInset, -kInset));
}

void TouchView::resizeEvent(QResizeEvent*) {
    const QRect inner = rect().adjusted(kInset, kInset, -kInset, -kInset);
    imageView_->setGeometry(inner.isValid() ? inner : QRect(kInset, kInset, 0, 0));
}
