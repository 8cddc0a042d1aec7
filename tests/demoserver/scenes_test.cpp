// SPDX-License-Identifier: GPL-3.0-or-later
// The demo server's scripted scenes: the options that write them, the
// pictures they change, and the document that tells them over HTTP.

#include "scenes.h"

#include <QImage>

#include <gtest/gtest.h>

#include "TXJSON.h"
#include "camerapicture.h"
#include "commandline.h"
#include "demoserver.h"
#include "httpclient.h"

namespace {

using demo::SceneWindows;

TEST(DemoServerScenes, CommandLineFormsAndMisuses) {
    // clang-format off
    const struct { std::vector<std::string> args; SceneWindows activity, lights; } accepted[] = {
        {{"--activity", "Front door:20-25,60-70;Warehouse:5-8"},
         {{"Front door", {{20, 25}, {60, 70}}}, {"Warehouse", {{5, 8}}}}, {}},
        {{"--lights=Parking lot:40;Garden caf\xC3\xA9:85,0"}, {},
         {{"Parking lot", {{40, 50}}}, {"Garden caf\xC3\xA9", {{85, 95}, {0, 10}}}}},
        // Checked against the cameras and cycle given after them.
        {{"--activity", "Camera 5:0-10", "--cameras", "5", "--cycle-seconds", "10"},
         {{"Camera 5", {{0, 10}}}}, {}},
    };
    const std::vector<std::string> misuses[] = {
        {"--activity", "Camera 5:0-10"}, {"--activity", "Front door:20-25", "--cycle-seconds", "24"},
        {"--activity", "Front door:25-20"}, {"--activity", "Front door:20-20"},
        {"--activity", "Front door:20"}, {"--activity", "Front door:1-2x"},
        {"--activity", "front door:1-2"}, {"--activity", "Front door:1-2;"},
        {"--activity", "Front door:1-2,"}, {"--activity", "Front door:1-2;Front door:3-4"},
        {"--activity", ""}, {"--activity"}, {"--lights", "Gate:10"}, {"--lights", "Parking lot:90"},
        {"--lights", "Parking lot:-1"}, {"--cycle-seconds", "0"},
    };
    // clang-format on
    for (const auto& c : accepted) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const demo::CommandLine line = demo::parseCommandLine(c.args);
        EXPECT_EQ(line.error, "");
        EXPECT_EQ(line.options.scenes.activity, c.activity);
        EXPECT_EQ(line.options.scenes.lights, c.lights);
    }
    for (const auto& args : misuses)
        EXPECT_NE(demo::parseCommandLine(args).error, "") << testing::PrintToString(args);
}

// One camera in a 30 s cycle: the object crosses in 5-9 and 12-14, the
// light is on from 25 into the next cycle. Each picture is compared with the
// one drawn at rest with the same clock and counter.
TEST(DemoServerScenes, TheObjectInItsWindowsAndTheLight) {
    demo::SceneScript script{
        30, {{"Front door", {{5, 9}, {12, 14}}}}, {{"Front door", {{25, 35}}}}};
    const demo::DemoCamera camera = demo::demoCameras()[0];
    // clang-format off
    const struct { std::int64_t ms; QRect changed; bool lit; } cases[] = {
        {5'000, {0, 90, 38, 60}, false},     {7'000, {141, 90, 38, 60}, false},
        {8'999, {282, 90, 38, 60}, false},   {13'000, {141, 90, 38, 60}, false},
        {37'000, {141, 90, 38, 60}, false},  {-23'000, {141, 90, 38, 60}, false},
        {4'999, {0, 0, 320, 240}, true},     {9'000, {}, false},
        {24'999, {}, false},                 {25'000, {0, 0, 320, 240}, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        const demo::FrameStamp stamp{7, QTime(12, 0, 7), std::nullopt};
        const QImage rest = demo::drawCameraImage(camera, {320, 240}, stamp);
        const QImage shown = demo::drawCameraImage(camera, {320, 240}, stamp,
                                                   demo::sceneAt(script, camera.name, c.ms));
        QRect changed;
        int count = 0, wrongLight = 0;
        const auto up = [](int v) { return std::min(255, v + 60); };
        for (int i = 0; i < rest.width() * rest.height(); ++i) {
            const QPoint at(i % rest.width(), i / rest.width());
            const QRgb a = rest.pixel(at), b = shown.pixel(at);
            if (a != b) changed |= QRect(at, QSize(1, 1)), ++count;
            wrongLight += b != qRgb(up(qRed(a)), up(qGreen(a)), up(qBlue(a)));
        }
        EXPECT_EQ(changed, c.changed);
        if (c.lit) EXPECT_EQ(wrongLight, 0) << "every channel 60 brighter, clipped";
        if (!c.lit) EXPECT_EQ(count, c.changed.width() * c.changed.height()) << "a solid box";
    }
    EXPECT_TRUE(demo::sceneAt(script, "Parking lot", 7'000).neutral());
}

// "/scenes" over HTTP, behind the same credentials as the rest.
TEST(DemoServerScenes, TheServerTellsItsScript) {
    DemoServer::Options options{"127.0.0.1", 0, "admin", "secret", 0};
    options.scenes = {10, {{"Warehouse", {{2, 5}}}}, {{"Front door", {{0, 10}}}}};
    DemoServer server(options);
    ASSERT_TRUE(server.start()) << server.errorString();
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/scenes";
    EXPECT_EQ(HttpClient::get({url, {}, 60000}).status, 401);
    const auto r = HttpClient::get({url, {"Authorization: Basic YWRtaW46c2VjcmV0"}, 60000});
    ASSERT_TRUE(r.status == 200 && r.body);
    const auto expected = tx::TXJSON().objectWithString(
        R"({"activity":{"Warehouse":[{"from":2,"to":5}]},"cycleSeconds":10,)"
        R"("lights":{"Front door":[{"from":0,"to":10}]},"startedMs":)" +
        std::to_string(server.startedMs()) + "}");
    EXPECT_EQ(tx::TXJSON().objectWithString(r.body->toStdString()), expected)
        << r.body->toStdString();
}

}  // namespace
