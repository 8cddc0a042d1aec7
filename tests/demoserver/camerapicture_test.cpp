#include "camerapicture.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

// Sizes over HTTP are checked in demoserver_test; these are the values whose
// effect a decoded picture does not show.
TEST(CameraPicture, ParsesQuality) {
    const struct {
        std::optional<std::string_view> text;
        int quality;
    } cases[] = {
        {std::nullopt, 60},
        {"0", 0},
        {"100", 100},
        {"75", 75},
        {"101", 100},
        {"-3", 0},
        {"", 60},
        {"abc", 60},
        {"50%", 60},
        {"5.5", 60},
        {"+5", 60},
        {" 5", 60},
        {"99999999999999999999", 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.value_or("(missing)")));
        EXPECT_EQ(demo::parseQuality(c.text), c.quality);
    }
}

TEST(CameraPicture, DrawsEveryPatternAtOddSizes) {
    for (const demo::DemoCamera& camera : demo::demoCameras()) {
        for (const QSize size : {QSize(1, 1), QSize(3, 200), QSize(200, 3), QSize(641, 479)}) {
            const QByteArray jpeg = demo::drawCameraPicture(camera, size, 60, {7, QTime(1, 2, 3)});
            EXPECT_EQ(QImage::fromData(jpeg, "JPG").size(), size) << camera.name;
        }
    }
}

}  // namespace
