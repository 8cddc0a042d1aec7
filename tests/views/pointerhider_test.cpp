// SPDX-License-Identifier: GPL-3.0-or-later
// The pointer over a wall hides after its rest and comes back at the next
// pointer event inside the wall, at the end, and with the wall's own cursor.

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>
#include <memory>

#include "testutil.h"
#include "viewstestaccess.h"

TEST(PointerHider, HidesAfterRestAndComesBack) {
    const struct {
        QStringList steps;
        bool hidden;
        Qt::CursorShape shape;  // the wall's cursor at the end
    } rows[] = {
        {{"enable", "rest"}, true, Qt::BlankCursor},
        {{"enable", "rest", "move"}, false, Qt::ArrowCursor},
        {{"enable", "rest", "press"}, false, Qt::ArrowCursor},
        {{"enable", "rest", "elsewhere"}, true, Qt::BlankCursor},
        {{"enable", "rest", "disable"}, false, Qt::ArrowCursor},
        {{"enable", "rest", "destroy"}, false, Qt::ArrowCursor},
        {{"cross", "enable", "rest", "move"}, false, Qt::CrossCursor},
        {{"cross", "enable", "rest", "destroy"}, false, Qt::CrossCursor},
    };
    for (const auto& row : rows) {
        const std::string name = row.steps.join(' ').toStdString();
        QWidget wall, elsewhere;
        auto hider = std::make_unique<PointerHider>(&wall);
        PointerHiderTestAccess::setIdleMs(*hider, 20);
        // A cell made after the hider, as a wall remakes its cells.
        auto* cell = new QWidget(new QWidget(&wall));
        for (const QString& step : row.steps) {
            const auto send = [](QWidget* to, QEvent::Type type) {
                QMouseEvent e(type, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, {});
                QApplication::sendEvent(to, &e);
            };
            if (step == "cross") wall.setCursor(Qt::CrossCursor);
            if (step == "enable" || step == "disable") hider->setEnabled(step == "enable");
            if (step == "rest") ASSERT_TRUE(waitUntil([&] { return hider->isHidden(); })) << name;
            if (step == "move") send(cell, QEvent::MouseMove);
            if (step == "press") send(cell, QEvent::MouseButtonPress);
            if (step == "elsewhere") send(&elsewhere, QEvent::MouseMove);
            if (step == "destroy") hider.reset();
        }
        EXPECT_EQ(hider && hider->isHidden(), row.hidden) << name;
        EXPECT_EQ(wall.cursor().shape(), row.shape) << name;
        EXPECT_EQ(cell->cursor().shape(), row.shape) << name << ": the cell takes the wall's";
    }
}
