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

namespace {

using S = CameraActivity::Sensitivity;

// Zones equal within a pixel of the picture as drawn.
bool sameZones(const std::vector<QRectF>& a, const std::vector<QRectF>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (auto [x, y] : {std::pair(a[i].topLeft(), b[i].topLeft()),
                            std::pair(a[i].bottomRight(), b[i].bottomRight())})
            if (std::abs(x.x() - y.x()) > 0.01 || std::abs(x.y() - y.y()) > 0.01) return false;
    return true;
}

}  // namespace

TEST(ActivityEditor, EditsComeBackAsTheCamerasEntry) {
    const CameraRef camera{"5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37", "/c/0", "Gate", 0};
    QImage picture(320, 160, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const QRectF a(0.5, 0.5, 0.25, 0.25), b(0.05, 0.05, 0.1, 0.1);
    const std::vector<QRectF> sixteen(16, b);
    struct Editing {
        ActivityEditor& editor;
        QWidget* canvas;
        // The canvas point of a unit point of the picture, drawn fitted.
        QPoint at(qreal x, qreal y) const {
            QSizeF size(2, 1);
            size.scale(QSizeF(canvas->size()), Qt::KeepAspectRatio);
            const QPointF origin((canvas->width() - size.width()) / 2,
                                 (canvas->height() - size.height()) / 2);
            return (origin + QPointF(x * size.width(), y * size.height())).toPoint();
        }
        void drag(QPointF from, QPointF to) const {
            QTest::mousePress(canvas, Qt::LeftButton, {}, at(from.x(), from.y()));
            QTest::mouseMove(canvas, at(to.x(), to.y()));
            QTest::mouseRelease(canvas, Qt::LeftButton, {}, at(to.x(), to.y()));
        }
        void click(QPointF p) const {
            QTest::mouseClick(canvas, Qt::LeftButton, {}, at(p.x(), p.y()));
        }
        void press(const QString& text) const {
            for (auto* button : editor.findChildren<QPushButton*>())
                if (button->text() == text && button->isEnabled()) button->click();
        }
    };
    // clang-format off
    const struct {
        const char* what;
        std::vector<QRectF> zones;
        std::function<void(const Editing&)> act;
        S sensitivity;
        std::vector<QRectF> expected;
    } rows[] = {
        {"a drag draws a zone", {a}, [](const Editing& e) { e.drag({0.3, 0.6}, {0.1, 0.2}); },
         S::Normal, {a, QRectF(0.1, 0.2, 0.2, 0.4)}},
        {"a drag out of the picture stops at its edge", {},
         [](const Editing& e) { e.drag({0.8, 0.5}, {1.5, 1.5}); }, S::Normal, {QRectF(0.8, 0.5, 0.2, 0.5)}},
        {"Low chosen", {a},
         [](const Editing& e) { e.editor.findChild<QComboBox*>("sensitivity")->setCurrentIndex(1); },
         S::Low, {a}},
        {"a click selects, Delete removes", {a, b},
         [](const Editing& e) { e.click({0.6, 0.6}); QTest::keyClick(e.canvas, Qt::Key_Delete); },
         S::Normal, {b}},
        {"Remove Zone without a selection removes none", {a},
         [](const Editing& e) { e.click({0.2, 0.9}); e.press("Remove Zone"); }, S::Normal, {a}},
        {"Remove Zone", {a, b}, [](const Editing& e) { e.click({0.1, 0.1}); e.press("Remove Zone"); },
         S::Normal, {a}},
        {"Clear Zones", {a, b}, [](const Editing& e) { e.press("Clear Zones"); }, S::Normal, {}},
        {"a 17th zone is refused", sixteen,
         [](const Editing& e) { e.drag({0.3, 0.3}, {0.6, 0.6}); }, S::Normal, sixteen},
        {"a click is no zone", {}, [](const Editing& e) { e.click({0.3, 0.3}); }, S::Normal, {}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ActivityEditor editor(CameraActivity{camera, S::Normal, row.zones}, picture);
        editor.resize(500, 400);
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
        auto* canvas = editor.findChild<QWidget*>("picture");
        ASSERT_TRUE(canvas);
        row.act(Editing{editor, canvas});
        editor.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        EXPECT_EQ(editor.result(), QDialog::Accepted);
        const CameraActivity entry = editor.entry();
        EXPECT_EQ(entry.camera, camera);
        EXPECT_EQ(entry.sensitivity, row.sensitivity);
        EXPECT_TRUE(sameZones(entry.ignoreZones, row.expected)) << entry.ignoreZones.size();
    }
}
