// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturedecoder.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <mutex>
#include <vector>

#include <sys/mman.h>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings (a picture cut short, a damaged stretch) are not errors: what
// came is shown, as Qt's own reader does.
void onMessage(j_common_ptr) {}

void onProgress(j_common_ptr info) {
    const auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > PictureDecoder::kMaxScans) onError(info);
}

// Qt's image allocation limit in bytes (0: none), so that one rule bounds
// every reader.
qint64 allocationLimitBytes() {
    return qint64(std::max(QImageReader::allocationLimit(), 0)) * 1024 * 1024;
}

// Picture memory of a megabyte or more, mapped on its own and kept for the
// next picture when an image lets it go. A camera wall holds one picture
// per cell, so the two buffers each decoding thread keeps are seldom free
// and nearly every picture needs new memory: taken from the allocator on
// a 2 MiB boundary, freed blocks were not reused (RSS passed 900 MB with
// 16 cells of 640x480), and each new block cost its page faults again.
// Blocks come back here from whichever thread drops the last image.
class HugeBlocks {
public:
    static constexpr size_t kHugePage = size_t(2) << 20;
    static constexpr size_t kMaxKeptBytes = size_t(32) << 20;

    struct Block {
        void* data;
        size_t size;  // a whole number of huge pages
    };

    // Never destroyed: an image may be let go during static destruction.
    static HugeBlocks& instance() {
        static auto* blocks = new HugeBlocks;
        return *blocks;
    }

    Block* take(size_t size) {
        {
            std::lock_guard l(lock_);
            for (auto it = kept_.begin(); it != kept_.end(); ++it) {
                if ((*it)->size != size) continue;
                Block* b = *it;
                kept_.erase(it);
                keptBytes_ -= size;
                return b;
            }
        }
        // Map a huge page more than needed and trim both ends, so the block
        // starts on a huge-page boundary.
        const size_t span = size + kHugePage;
        void* raw =
            ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) return nullptr;
        const auto start = reinterpret_cast<uintptr_t>(raw);
        const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
        if (aligned > start) ::munmap(raw, aligned - start);
        if (const uintptr_t end = start + span, used = aligned + size; end > used)
            ::munmap(reinterpret_cast<void*>(used), end - used);
        void* data = reinterpret_cast<void*>(aligned);
        ::madvise(data, size, MADV_HUGEPAGE);  // a hint: without it, ordinary pages
        return new Block{data, size};
    }

    static void give(void* info) {
        auto* block = static_cast<Block*>(info);
        HugeBlocks& self = instance();
        {
            std::lock_guard l(self.lock_);
            if (self.keptBytes_ + block->size <= kMaxKeptBytes) {
                self.kept_.push_back(block);
                self.keptBytes_ += block->size;
                return;
            }
        }
        ::munmap(block->data, block->size);
        delete block;
    }

private:
    std::mutex lock_;
    std::vector<Block*> kept_;
    size_t keptBytes_ = 0;
};

// A 32-bit image whose memory, for a picture of a megabyte or more, starts
// on a 2 MiB boundary and is offered to the kernel for huge pages: the
// decoder then writes the whole picture through a handful of TLB entries
// instead of one per 4 KiB page. On a virtual machine each TLB miss walks
// two sets of page tables, and a decode after a pause of 200 ms was seen
// to cost about 0.6 ms this way against 0.9 ms with ordinary pages.
QImage pictureBuffer(int width, int height) {
    const auto bytesPerLine = static_cast<size_t>(width) * 4;
    const size_t size = bytesPerLine * static_cast<size_t>(height);
    if (size < (size_t(1) << 20)) return QImage(width, height, QImage::Format_RGB32);
    constexpr size_t kHugePage = HugeBlocks::kHugePage;
    const size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    HugeBlocks::Block* block = HugeBlocks::instance().take(rounded);
    if (!block) return QImage();
    return QImage(static_cast<uchar*>(block->data), width, height,
                  static_cast<qsizetype>(bytesPerLine), QImage::Format_RGB32, HugeBlocks::give,
                  block);
}

// The denominator (8, 4, 2 or 1) of the smallest of libjpeg's scales at
// which a picture of size full, fitted into asked with its aspect ratio
// kept, is not enlarged. Sizes at a scale 1/d are rounded up, as libjpeg
// rounds them.
int scaleDenominator(QSize full, QSize asked) {
    if (asked.isEmpty()) return 1;
    const QSize fitted = full.scaled(asked, Qt::KeepAspectRatio);
    for (int d : {8, 4, 2}) {
        if ((full.width() + d - 1) / d >= fitted.width() &&
            (full.height() + d - 1) / d >= fitted.height())
            return d;
    }
    return 1;
}

// Whether a picture of size full is refused for an asked size: even at
// libjpeg's smallest scale it would have more than 64 times the asked
// pixels, and more than a real camera's picture has at that scale. The
// second bound keeps a small cell showing a camera of 8K or 24 MP that
// ignores the asked size (1/8 of 7680x4320 is 960x540), while a few bytes
// claiming 65500x65500 are still refused. Nothing is refused for an empty
// asked size.
bool beyondBackstop(QSize full, QSize asked) {
    if (asked.isEmpty()) return false;
    const qint64 smallest = ((qint64(full.width()) + 7) / 8) * ((qint64(full.height()) + 7) / 8);
    // smallest stays below 2^56, so no product here overflows.
    const qint64 askedPixels = std::min(qint64(asked.width()) * asked.height(), qint64(1) << 50);
    return smallest > PictureDecoder::kMaxPixelsPerAskedPixel * askedPixels &&
           smallest > PictureDecoder::kMaxPixelsAtSmallestScale;
}

enum class Outcome { Decoded, Failed, NotForUs };

// Decodes a JPEG for the asked size into *target, reusing its memory when
// the size matches. Only trivially destructible locals live here: an error
// jumps out of libjpeg's calls straight back to the setjmp below.
Outcome decodeJpeg(const QByteArray& bytes, QSize asked, QImage* target) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    jpeg_progress_mgr progress;
    info.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = onError;
    errors.mgr.output_message = onMessage;
    progress.progress_monitor = onProgress;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return Outcome::Failed;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    info.mem->max_memory_to_use = static_cast<long>(allocationLimitBytes());
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&info);
        return Outcome::NotForUs;  // Qt's reader converts these
    }
    // Both are at most 65500 (JPEG_MAX_DIMENSION): an int holds them.
    const QSize full(static_cast<int>(info.image_width), static_cast<int>(info.image_height));
    if (beyondBackstop(full, asked)) {
        jpeg_destroy_decompress(&info);
        return Outcome::Failed;
    }
    // libjpeg-turbo writes blue, green, red and 0xff: the byte order of
    // Format_RGB32 on a little-endian machine.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "BGRX is RGB32 only on little-endian machines");
    info.out_color_space = JCS_EXT_BGRX;
    // Scaled inside the inverse DCT: at 1/4 the entropy decoding stays, but
    // the transform, upsampling and colour conversion make a sixteenth of
    // the pixels.
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned int>(scaleDenominator(full, asked));
    jpeg_calc_output_dimensions(&info);
    const qint64 width = info.output_width, height = info.output_height;
    if (const qint64 limit = allocationLimitBytes(); limit > 0 && width * height * 4 > limit) {
        jpeg_destroy_decompress(&info);
        return Outcome::Failed;
    }
    jpeg_start_decompress(&info);
    if (target->width() != static_cast<int>(info.output_width) ||
        target->height() != static_cast<int>(info.output_height) ||
        target->format() != QImage::Format_RGB32) {
        *target = pictureBuffer(static_cast<int>(info.output_width),
                                static_cast<int>(info.output_height));
        if (target->isNull()) {
            jpeg_destroy_decompress(&info);
            return Outcome::Failed;
        }
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = target->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return Outcome::Decoded;
}

bool isJpeg(const QByteArray& bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xff &&
           static_cast<unsigned char>(bytes[1]) == 0xd8;
}

}  // namespace

namespace PictureDecoder {

QImage decode(const QByteArray& bytes, QSize asked) {
    // Of the two buffers, the one the view does not hold (the view keeps one
    // picture at a time). Should both be held elsewhere, the second is let
    // go to its holder and a new one made in its place.
    thread_local QImage buffers[2];
    QImage* target = &buffers[1];
    for (QImage& buffer : buffers) {
        if (buffer.isNull() || buffer.isDetached()) {
            target = &buffer;
            break;
        }
    }
    if (!target->isNull() && !target->isDetached()) *target = QImage();

    if (isJpeg(bytes)) {
        switch (decodeJpeg(bytes, asked, target)) {
            case Outcome::Decoded:
                return *target;
            case Outcome::Failed:
                return QImage();
            case Outcome::NotForUs:
                break;
        }
    }
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device);
    // Judged by the header's size, before any pixel is decoded; then read at
    // the size a JPEG of that size would decode to, so that the view gets
    // the same from every format (Qt's JPEG reader scales inside the
    // decode as well, the others after it).
    if (const QSize full = reader.size(); full.isValid()) {
        if (beyondBackstop(full, asked)) return QImage();
        if (const int d = scaleDenominator(full, asked); d > 1)
            reader.setScaledSize(QSize((full.width() + d - 1) / d, (full.height() + d - 1) / d));
    }
    if (!reader.read(target)) return QImage();
    return *target;
}

}  // namespace PictureDecoder
