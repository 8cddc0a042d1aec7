#pragma once

#include "touchimage.h"

// A camera picture view for layouts that show a camera small (a preview):
// it behaves exactly as TouchImage.
class PreviewTouchImage : public TouchImage {
    Q_OBJECT

public:
    using TouchImage::TouchImage;
};
