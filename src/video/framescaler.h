// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The decoder's last step: a decoded frame, cropped as the view asks, made
// an image of the view's size in reused buffers. Used by the decoder only.

#include <QImage>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include "avhandles.h"
#include "planescaler.h"
#include "videodecoder.h"

namespace video {

// The crop rectangle of `target` in pixels of a width x height picture,
// or the whole picture.
inline QRect cropPixels(const QRectF& crop, int width, int height) {
    const QRectF unit = crop.intersected(QRectF(0, 0, 1, 1));
    if (!crop.isValid() || unit.isEmpty()) return QRect(0, 0, width, height);
    const int left = std::clamp(int(std::floor(unit.left() * width)), 0, width - 1);
    const int top = std::clamp(int(std::floor(unit.top() * height)), 0, height - 1);
    const int right = std::clamp(int(std::ceil(unit.right() * width)), left + 1, width);
    const int bottom = std::clamp(int(std::ceil(unit.bottom() * height)), top + 1, height);
    return QRect(left, top, right - left, bottom - top);
}

// Where the images handed to the view live: a few buffers of one size, each
// taken back only once the last image that shows it is gone (the view may
// still be painting the frame before), so that a frame costs neither an
// allocation nor fresh pages. Rows are 64-byte aligned and padded, so that
// libswscale's vector code may write whole blocks past a row's last pixel.
// Images may be dropped on any thread.
class ImageBuffers {
public:
    static constexpr size_t kKept = 3;  // the view's, the mailbox's and the next one

    ~ImageBuffers() {
        for (void* data : free_) std::free(data);
    }

    static QImage take(const std::shared_ptr<ImageBuffers>& self, QSize size) {
        const qsizetype line = (qsizetype(size.width()) * 4 + 63) / 64 * 64;
        const size_t bytes = size_t(line) * size_t(size.height()) + 64;
        void* data = nullptr;
        {
            std::lock_guard lock(self->lock_);
            if (bytes != self->bytes_) {
                for (void* old : self->free_) std::free(old);
                self->free_.clear();
                self->bytes_ = bytes;
            }
            if (!self->free_.empty()) {
                data = self->free_.back();
                self->free_.pop_back();
            }
        }
        if (!data) data = std::aligned_alloc(64, bytes);
        if (!data) return {};
        auto* loan = new Loan{self, data, bytes};
        QImage image(static_cast<uchar*>(data), size.width(), size.height(), line,
                     QImage::Format_RGB32, &giveBack, loan);
        if (image.isNull()) giveBack(loan);  // not taken: Qt will not give it back
        return image;
    }

private:
    struct Loan {
        std::shared_ptr<ImageBuffers> owner;
        void* data;
        size_t bytes;
    };

    static void giveBack(void* info) {
        auto* loan = static_cast<Loan*>(info);
        // The last image may outlive the decoder: the pool goes with it,
        // after its lock is released.
        const std::shared_ptr<ImageBuffers> owner = std::move(loan->owner);
        {
            std::lock_guard lock(owner->lock_);
            if (loan->bytes == owner->bytes_ && owner->free_.size() < kKept) {
                owner->free_.push_back(loan->data);
                loan->data = nullptr;
            }
        }
        std::free(loan->data);
        delete loan;
    }

    std::mutex lock_;
    std::vector<void*> free_;
    size_t bytes_ = 0;
};

// Scales one decoded frame, cropped as the view asks, into an image of the
// view's size. A planar YUV picture is scaled in YUV first and converted to
// RGB only at the view's size: scaling YUV touches a byte per sample where
// scaling into RGB works through every source line for four, and the
// conversion at one size takes libswscale's own vector path.
class FrameScaler {
public:
    FrameScaler() : buffers_(std::make_shared<ImageBuffers>()) {}
    FrameScaler(const FrameScaler&) = delete;
    FrameScaler& operator=(const FrameScaler&) = delete;
    ~FrameScaler() { av_freep(&planes_[0]); }

    QImage scale(AVFrame* frame, const Target& target) {
        const QRect crop = cropPixels(target.crop, frame->width, frame->height);
        frame->crop_left = static_cast<size_t>(crop.left());
        frame->crop_top = static_cast<size_t>(crop.top());
        frame->crop_right = static_cast<size_t>(frame->width - crop.right() - 1);
        frame->crop_bottom = static_cast<size_t>(frame->height - crop.bottom() - 1);
        if (av_frame_apply_cropping(frame, AV_FRAME_CROP_UNALIGNED) < 0) return {};
        const QSize out = fittedSize(QSize(frame->width, frame->height), target.size);
        // JPEG's own full-range formats are deprecated in libswscale: the
        // same planes as limited-range YUV, with the range said apart.
        auto format = static_cast<AVPixelFormat>(frame->format);
        bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
        for (const auto& [jpeg, plain] : {std::pair{AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P},
                                         {AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUV422P},
                                         {AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUV444P},
                                         {AV_PIX_FMT_YUVJ440P, AV_PIX_FMT_YUV440P},
                                         {AV_PIX_FMT_YUVJ411P, AV_PIX_FMT_YUV411P}}) {
            if (format == jpeg) {
                format = plain;
                fullRange = true;
            }
        }
        // Set up once for a stream's size, format and the view's size, not
        // for every frame: setting a scaler up costs more than a scale.
        const Key key{frame->width, frame->height, format, out, fullRange};
        if (!convert_ || key != key_) {
            key_ = {};
            if (!setUp(key)) return {};
            key_ = key;
        }
        QImage image = ImageBuffers::take(buffers_, out);
        if (image.isNull()) return {};
        std::uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
        int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
        if (planeScalers_) {
            for (int i = 0; i < 3; ++i)
                planeScalers_[i].scale(frame->data[i], frame->linesize[i], planes_[i], strides_[i]);
            if (sws_scale(convert_.get(), planes_, strides_, 0, out.height(), planes, strides) !=
                out.height())
                return {};
        } else if (resize_) {
            if (sws_scale(resize_.get(), frame->data, frame->linesize, 0, frame->height, planes_,
                          strides_) != out.height() ||
                sws_scale(convert_.get(), planes_, strides_, 0, out.height(), planes, strides) !=
                    out.height())
                return {};
        } else if (sws_scale(convert_.get(), frame->data, frame->linesize, 0, frame->height, planes,
                             strides) != out.height()) {
            return {};
        }
        return image;
    }

private:
    struct Key {
        int width, height;
        AVPixelFormat format;
        QSize out;
        bool fullRange;
        bool operator==(const Key&) const = default;
    };

    static bool planarYuv(AVPixelFormat format) {
        return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUV422P ||
               format == AV_PIX_FMT_YUV444P || format == AV_PIX_FMT_YUV440P ||
               format == AV_PIX_FMT_YUV411P;
    }

    bool setUp(const Key& key) {
        resize_.reset();
        convert_.reset();
        planeScalers_.reset();
        av_freep(&planes_[0]);
        const int w = key.out.width(), h = key.out.height();
        // The scaled planes keep the source's layout and range: the range
        // is only read when they are converted. Each plane is scaled by our
        // own scaler where it takes the sizes (several times faster than
        // libswscale's filter, whose horizontal pass is most of a frame's
        // cost beyond its decode), else by libswscale.
        const bool scaled = key.out != QSize(key.width, key.height) && planarYuv(key.format);
        if (scaled) {
            if (av_image_alloc(planes_, strides_, w, h, key.format, 64) < 0) return false;
            if (PlaneScaler::vectorPath()) planeScalers_ = std::make_unique<PlaneScaler[]>(3);
            const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(key.format);
            for (int i = 0; i < 3 && planeScalers_; ++i) {
                const int cw = i ? d->log2_chroma_w : 0, ch = i ? d->log2_chroma_h : 0;
                const QSize from(AV_CEIL_RSHIFT(key.width, cw), AV_CEIL_RSHIFT(key.height, ch));
                const QSize to(AV_CEIL_RSHIFT(w, cw), AV_CEIL_RSHIFT(h, ch));
                if (!planeScalers_[i].setUp(from, to)) planeScalers_.reset();
            }
            if (!planeScalers_) {
                resize_.reset(sws_getContext(key.width, key.height, key.format, w, h, key.format,
                                             SWS_BILINEAR, nullptr, nullptr, nullptr));
                if (!resize_) return false;
            }
        }
        convert_.reset(sws_getContext(scaled ? w : key.width, scaled ? h : key.height, key.format,
                                      w, h, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr,
                                      nullptr));
        if (!convert_) return false;
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(convert_.get(), coefficients, key.fullRange ? 1 : 0, coefficients,
                                 1, 0, 1 << 16, 1 << 16);
        return true;
    }

    std::shared_ptr<ImageBuffers> buffers_;
    av::Scaler resize_;   // to the view's size, in YUV; none when no scale is needed
    av::Scaler convert_;  // to RGB32 at the view's size
    std::unique_ptr<PlaneScaler[]>
        planeScalers_;  // Y, U, V to the view's size, in place of resize_
    std::uint8_t* planes_[4] = {};
    int strides_[4] = {};
    Key key_{};
};

}  // namespace video
