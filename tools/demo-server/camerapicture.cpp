// SPDX-License-Identifier: GPL-3.0-or-later
#include "camerapicture.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "timestamp.h"

namespace demo {

namespace {

// A decimal integer, optionally negative, at the start of `text`, saturated
// to floor..ceiling; nothing when `text` does not start with one. Moves
// `text` past it.
std::optional<int> takeNumber(std::string_view& text, int floor, int ceiling) {
    const bool negative = !text.empty() && text.front() == '-';
    size_t digits = negative ? 1 : 0;
    const size_t first = digits;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == first) return std::nullopt;
    long long value = 0;
    const auto result = std::from_chars(text.data(), text.data() + digits, value);
    text.remove_prefix(digits);
    if (result.ec == std::errc::result_out_of_range) return negative ? floor : ceiling;
    return static_cast<int>(std::clamp<long long>(value, floor, ceiling));
}

constexpr int kSlots = 32;  // positions of the moving marker

void drawColourBars(QPainter& p, int w, int h) {
    static const QColor bars[] = {Qt::white,         QColor(255, 255, 0), QColor(0, 255, 255),
                                  QColor(0, 255, 0), QColor(255, 0, 255), QColor(255, 0, 0),
                                  QColor(0, 0, 255)};
    constexpr int kBars = 7;
    const int top = h * 2 / 3;
    for (int i = 0; i < kBars; ++i) {
        const int x0 = w * i / kBars;
        const int x1 = w * (i + 1) / kBars;
        p.fillRect(x0, 0, x1 - x0, top, bars[i]);
    }
    constexpr int kSteps = 8;
    for (int i = 0; i < kSteps; ++i) {
        const int x0 = w * i / kSteps;
        const int x1 = w * (i + 1) / kSteps;
        const int grey = 255 * i / (kSteps - 1);
        p.fillRect(x0, top, x1 - x0, h - top, QColor(grey, grey, grey));
    }
}

void drawRadar(QPainter& p, int w, int h, std::uint64_t frame) {
    p.fillRect(0, 0, w, h, QColor(8, 24, 64));
    const QPointF centre(w / 2.0, h / 2.0);
    const double radius = std::min(w, h) / 2.0;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(80, 200, 255), std::max(1.0, radius / 120)));
    for (int ring = 1; ring <= 4; ++ring) {
        p.drawEllipse(centre, radius * ring / 4.5, radius * ring / 4.5);
    }
    p.drawLine(QPointF(0, centre.y()), QPointF(w, centre.y()));
    p.drawLine(QPointF(centre.x(), 0), QPointF(centre.x(), h));
    // The sweep turns by one slot a frame.
    const double angle = 2 * std::numbers::pi * static_cast<double>(frame % kSlots) / kSlots;
    p.setPen(QPen(QColor(255, 220, 0), std::max(2.0, radius / 40)));
    p.drawLine(centre, centre + QPointF(std::cos(angle), -std::sin(angle)) * radius);
    p.setRenderHint(QPainter::Antialiasing, false);
}

void drawGrid(QPainter& p, int w, int h) {
    QLinearGradient gradient(0, 0, w, h);
    gradient.setColorAt(0, QColor(0, 90, 40));
    gradient.setColorAt(1, QColor(150, 230, 120));
    p.fillRect(0, 0, w, h, gradient);
    p.setPen(QPen(QColor(255, 255, 255, 160), 1));
    const int step = std::max(8, std::min(w, h) / 8);
    for (int x = step; x < w; x += step) p.drawLine(x, 0, x, h);
    for (int y = step; y < h; y += step) p.drawLine(0, y, w, y);
}

void drawStripes(QPainter& p, int w, int h, std::uint64_t frame) {
    // Hard-edged stripes from a repeating gradient; they move along their
    // diagonal by one slot a frame.
    const double period = std::max(16, std::min(w, h) / 6);
    const double shift = period * static_cast<double>(frame % kSlots) / kSlots;
    QLinearGradient gradient(shift, 0, shift + period, period);
    gradient.setSpread(QGradient::RepeatSpread);
    gradient.setColorAt(0.0, QColor(230, 120, 20));
    gradient.setColorAt(0.4999, QColor(230, 120, 20));
    gradient.setColorAt(0.5, QColor(90, 40, 10));
    gradient.setColorAt(1.0, QColor(90, 40, 10));
    p.fillRect(0, 0, w, h, gradient);
}

// A bright square that steps along the bottom edge with the frame counter,
// so that consecutive frames differ even where text cannot be drawn.
void drawMarker(QPainter& p, int w, int h, std::uint64_t frame) {
    const int side = std::max(2, std::min(w / kSlots, h / 12));
    const int slot = static_cast<int>(frame % kSlots);
    const int x = (w - side) * slot / (kSlots - 1);
    p.fillRect(x, h - side, side, side, QColor(255, 0, 80));
}

// A square in a colour of the camera's own in the middle of the picture:
// cameras that share a pattern still differ at a glance, even in a cell too
// small for the captions.
void drawBadge(QPainter& p, int w, int h, int variant) {
    const int side = std::max(2, std::min(w, h) / 3);
    const QColor colour = QColor::fromHsv((variant * 67) % 360, 220, 235);
    p.fillRect((w - side) / 2, (h - side) / 2, side, side, colour);
}

void drawCaptions(QPainter& p, int w, int h, const DemoCamera& camera, const FrameStamp& stamp) {
    const int pixelSize = std::clamp(h / 16, 8, 96);
    if (h < pixelSize * 3 || w < pixelSize * 4) return;  // too small to read anyway
    QFont font;
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    const int band = pixelSize * 3 / 2;
    const int margin = pixelSize / 2;
    p.fillRect(0, 0, w, band, QColor(0, 0, 0, 150));
    p.fillRect(0, h - band * 2, w / 2, band, QColor(0, 0, 0, 150));
    p.setPen(Qt::white);
    const QRect top(margin, 0, w - 2 * margin, band);
    p.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(camera.name));
    p.drawText(top, Qt::AlignRight | Qt::AlignVCenter, stamp.time.toString("HH:mm:ss.zzz"));
    p.drawText(QRect(margin, h - band * 2, w / 2 - margin, band), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("frame %1").arg(stamp.frame));
}

// The scripted object: solid, with a coarse checker that travels with it so
// that compression keeps its edges and a detector sees texture move. Bright
// on the dark radar, dark on the other patterns.
void drawSceneObject(QPainter& p, QSize size, double crossing, bool bright) {
    const QRect box = sceneObjectRect(size, crossing);
    const QColor base = bright ? QColor(240, 240, 240) : QColor(16, 16, 16);
    const QColor check = bright ? QColor(176, 176, 176) : QColor(80, 80, 80);
    p.fillRect(box, base);
    const int cell = std::max(1, std::min(box.width(), box.height()) / 6);
    for (int y = 0; y * cell < box.height(); ++y) {
        for (int x = y % 2; x * cell < box.width(); x += 2) {
            p.fillRect(QRect(box.x() + x * cell, box.y() + y * cell, cell, cell) & box, check);
        }
    }
}

// A light switched on: every channel kLightGain brighter, clipped.
void brighten(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            line[x] =
                qRgb(std::min(255, qRed(c) + kLightGain), std::min(255, qGreen(c) + kLightGain),
                     std::min(255, qBlue(c) + kLightGain));
        }
    }
}

}  // namespace

QRect sceneObjectRect(QSize size, double crossing) {
    const int w = std::max(1, static_cast<int>(std::lround(size.width() * 0.12)));
    const int h = std::max(1, static_cast<int>(std::lround(size.height() * 0.25)));
    const double along = std::clamp(crossing, 0.0, 1.0) * (size.width() - w);
    return {static_cast<int>(std::lround(along)), (size.height() - h) / 2, w, h};
}

QSize parseResolution(std::optional<std::string_view> text) {
    if (!text) return kDefaultPictureSize;
    std::string_view rest = *text;
    const std::optional<int> width = takeNumber(rest, 1, kMaxPictureSide);
    if (!width || rest.empty() || (rest.front() != 'x' && rest.front() != 'X')) {
        return kDefaultPictureSize;
    }
    rest.remove_prefix(1);
    const std::optional<int> height = takeNumber(rest, 1, kMaxPictureSide);
    if (!height || !rest.empty()) return kDefaultPictureSize;
    return {*width, *height};
}

int parseQuality(std::optional<std::string_view> text) {
    if (!text) return kDefaultQuality;
    std::string_view rest = *text;
    const std::optional<int> quality = takeNumber(rest, 0, 100);
    if (!quality || !rest.empty()) return kDefaultQuality;
    return *quality;
}

QImage drawCameraImage(const DemoCamera& camera, QSize size, const FrameStamp& stamp,
                       const SceneState& scene) {
    const int w = size.width();
    const int h = size.height();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return {};  // out of memory
    {
        QPainter p(&image);
        switch (camera.pattern) {
            case Pattern::ColourBars:
                drawColourBars(p, w, h);
                break;
            case Pattern::Radar:
                drawRadar(p, w, h, stamp.frame);
                break;
            case Pattern::Grid:
                drawGrid(p, w, h);
                break;
            case Pattern::Stripes:
                drawStripes(p, w, h, stamp.frame);
                break;
        }
        if (camera.variant > 0) drawBadge(p, w, h, camera.variant);
        drawMarker(p, w, h, stamp.frame);
        if (scene.crossing) {
            drawSceneObject(p, size, *scene.crossing, camera.pattern == Pattern::Radar);
        }
        drawCaptions(p, w, h, camera, stamp);
    }
    // Before the time stamp, whose black and white blocks must stay readable.
    if (scene.lit) brighten(image);
    if (stamp.sentMs) drawTimeStamp(image, *stamp.sentMs);
    return image;
}

QByteArray drawCameraPicture(const DemoCamera& camera, QSize size, int quality,
                             const FrameStamp& stamp, const SceneState& scene) {
    const QImage image = drawCameraImage(camera, size, stamp, scene);
    if (image.isNull()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", std::clamp(quality, 0, 100))) return {};
    return bytes;
}

}  // namespace demo
