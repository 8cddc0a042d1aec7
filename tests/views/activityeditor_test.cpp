// SPDX-License-Identifier: GPL-3.0-or-later
// Activity Settings: what is drawn, chosen and removed on the picture comes
// back as the camera's entry once accepted.

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

#include "activityeditor.h"

TEST(ActivityEditor, EditsComeBackAsTheCamerasEntry) {
    using S = CameraActivity::Sensitivity;
    const CameraRef camera{"5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37", "/c/0", "Gate", 0};
    QImage picture(320, 160, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const QRectF a(0.5, 0.5, 0.25, 0.25), b(0.05, 0.05, 0.1, 0.1);
    const std::vector<QRectF> sixteen(16, b);
    QWidget* canvas = nullptr;
    // The canvas point of a unit point of the 2:1 picture, drawn fitted.
    const auto at = [&](qreal x, qreal y) {
        QSizeF size(2, 1);
        size.scale(QSizeF(canvas->size()), Qt::KeepAspectRatio);
        return QPointF((canvas->width() - size.width()) / 2 + x * size.width(),
                       (canvas->height() - size.height()) / 2 + y * size.height())
            .toPoint();
    };
    const auto drag = [&](QPoint from, QPoint to) {
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas, to);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
    };
    const auto press = [&](const QString& text) {
        for (auto* button : canvas->window()->findChildren<QPushButton*>())
            if (button->text() == text) button->click();
    };
    const auto choose = [&](int i) {
        canvas->window()->findChild<QComboBox*>("sensitivity")->setCurrentIndex(i);
    };
    const auto click = [&](QPoint p) { QTest::mouseClick(canvas, Qt::LeftButton, {}, p); };
    // clang-format off
    const struct {
        const char* what;
        std::vector<QRectF> zones;
        std::function<void()> act;
        S sensitivity;
        std::vector<QRectF> expected;
    } rows[] = {
        {"a drag draws a zone", {a}, [&] { drag(at(0.3, 0.6), at(0.1, 0.2)); }, S::Normal, {a, {0.1, 0.2, 0.2, 0.4}}},
        {"Low chosen", {a}, [&] { choose(1); }, S::Low, {a}},
        {"a click selects, Delete removes", {a, b}, [&] { click(at(0.6, 0.6)); QTest::keyClick(canvas, Qt::Key_Delete); }, S::Normal, {b}},
        {"Remove Zone", {a, b}, [&] { click(at(0.1, 0.1)); press("Remove Zone"); }, S::Normal, {a}},
        {"Clear Zones", {a, b}, [&] { press("Clear Zones"); }, S::Normal, {}},
        {"a 17th zone is refused", sixteen, [&] { drag(at(0.3, 0.3), at(0.6, 0.6)); }, S::Normal, sixteen},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ActivityEditor editor(CameraActivity{camera, S::Normal, row.zones}, picture);
        editor.resize(500, 400);
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
        ASSERT_TRUE(canvas = editor.findChild<QWidget*>("picture"));
        row.act();
        editor.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        EXPECT_EQ(editor.result(), QDialog::Accepted);
        CameraActivity entry = editor.entry();
        // Within a pixel of the picture as drawn.
        for (QRectF& z : entry.ignoreZones)
            z = QRectF(std::round(z.x() * 100) / 100, std::round(z.y() * 100) / 100,
                       std::round(z.width() * 100) / 100, std::round(z.height() * 100) / 100);
        EXPECT_EQ(entry, (CameraActivity{camera, row.sensitivity, row.expected}));
    }
}
