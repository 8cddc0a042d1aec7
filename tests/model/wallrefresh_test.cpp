// The camera wall's page refresh against a loader that the test answers by
// hand: which cameras ask, at what size, and where answers land.

#include <gtest/gtest.h>

#include "TXJsonValue.h"
#include "camserver.h"
#include "testutil.h"
#include "wallloader.h"
#include "wallrefresh.h"

namespace {

// Records requests and cancels. It keeps every done, cancelled or not, so a
// test can also play a loader that answers late.
class FakeWallLoader : public WallLoader {
public:
    using Done = std::function<void(const CameraPicture&)>;
    // clang-format off
    struct Call { std::int64_t index; QString uri; QSize size; Done done; };
    // clang-format on
    void requestPicture(std::int64_t index, const QString& uri, QSize size, Done done) override {
        calls.push_back({index, uri, size, std::move(done)});
    }
    void cancel(std::int64_t index) override { cancels.push_back(index); }
    int requestsFor(std::int64_t index) const {
        return static_cast<int>(
            std::count_if(calls.begin(), calls.end(), [&](auto& c) { return c.index == index; }));
    }
    std::vector<Call> calls;
    std::vector<std::int64_t> cancels;
};

std::shared_ptr<CamServer> serverWith(const std::vector<std::string>& imagePaths) {
    tx::JsonArray list;
    for (size_t i = 0; i < imagePaths.size(); ++i)
        list.push_back(
            tx::JsonObject{{"name", "Camera " + std::to_string(i)}, {"image-uri", imagePaths[i]}});
    auto server = CamServer::create();
    server->setFps("1000");
    server->setCameras(list);
    return server;
}

}  // namespace

// The lowest owner of the asked size in device pixels (the live refresh
// uses the same view size).
TEST(WallRefresh, EachCameraOnThePageAsksAtItsViewsDevicePixelSize) {
    // asked empty: nothing asked, one failed picture shown
    // clang-format off
    const struct { std::int64_t index; QSizeF points; qreal ratio; QSize asked; } cases[] = {
        {0, {320.6, 240.2}, 1.0, {320, 240}},
        {1, {320.6, 240.2}, 2.0, {641, 480}},
        {2, {100, 50}, 1.5, {150, 75}},
        {3, {100, 50}, 1.0, {}},   // a path that could leave the server
        {4, {100, 50}, 1.0, {}},   // beyond the list
        {-1, {100, 50}, 1.0, {}},  // before it
    };
    // clang-format on
    auto server = serverWith({"/c/0", "/c/1", "/c/2", "//evil.example/c"});
    FakeWallLoader loader;
    std::vector<std::unique_ptr<FakeImageView>> views;
    std::vector<WallRefresh::Cell> cells;
    for (const auto& c : cases) {
        views.push_back(std::make_unique<FakeImageView>(c.points));
        views.back()->ratio = c.ratio;
        cells.push_back({c.index, views.back().get()});
    }
    WallRefresh wall(server, &loader);
    wall.showPage(cells);
    ASSERT_EQ(loader.calls.size(), 3u);
    EXPECT_EQ(wall.inFlight(), 3);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        if (c.asked.isEmpty()) {
            EXPECT_TRUE(views[i]->pictures.size() == 1 && views[i]->last.isNull()) << i;
        } else {
            const auto& call = loader.calls[i];
            EXPECT_EQ(std::tuple(call.index, call.size, call.uri),
                      std::tuple(c.index, c.asked, QString("/c/%1").arg(c.index)));
        }
    }
}

TEST(WallRefresh, APictureLandsOnlyOnTheCellThatStillShowsItsCamera) {
    // Each step: the page to show (two cells, views A and B) and which
    // earlier request (by position in the call log) is answered; the
    // expected colour of A and B afterwards (invalid: nothing landed).
    auto server = serverWith({"/c/0", "/c/1", "/c/2", "/c/3"});
    FakeWallLoader loader;
    FakeImageView a, b;
    WallRefresh wall(server, &loader);

    wall.showPage({{0, &a}, {1, &b}});
    ASSERT_EQ(loader.calls.size(), 2u);
    // Paging while both answers are on their way: both are cancelled, and
    // even a loader that answers anyway cannot put them on the new cameras.
    wall.showPage({{2, &a}, {3, &b}});
    EXPECT_EQ(loader.cancels, (std::vector<std::int64_t>{0, 1}));
    for (int i : {0, 1}) loader.calls[i].done(solid(Qt::red));
    EXPECT_TRUE(a.pictures.empty() && b.pictures.empty());

    // Camera 0 comes back into view A: an answer to its earlier visit is
    // still not for this one, the answer to its new request is.
    wall.showPage({{0, &a}, {3, &b}});
    ASSERT_EQ(loader.calls.size(), 5u);
    EXPECT_EQ(loader.calls[4].index, 0);
    loader.calls[0].done(solid(Qt::red));
    EXPECT_TRUE(a.pictures.empty());
    loader.calls[4].done(solid(Qt::green));
    ASSERT_EQ(a.pictures.size(), 1u);
    EXPECT_EQ(a.last.pixelColor(0, 0), QColor(Qt::green));
    // Camera 3 stayed in view B: its request goes on and its answer lands.
    loader.calls[3].done(solid(Qt::blue));
    EXPECT_EQ(b.last.pixelColor(0, 0), QColor(Qt::blue));
}

TEST(WallRefresh, OneRequestPerCameraAndNoneWhileRestingOrAfterStop) {
    auto server = serverWith({"/c/0", "/c/1"});
    FakeWallLoader loader;
    FakeImageView a, b;
    WallRefresh wall(server, &loader);
    wall.showPage({{0, &a}, {1, &b}});
    ASSERT_EQ(loader.calls.size(), 2u);
    // At 1000 per second the timers would ask many times over: the gate
    // holds each camera to one request in flight.
    spinFor(30);
    EXPECT_EQ(loader.calls.size(), 2u);
    // An answer lets its own camera ask again, no other.
    loader.calls[0].done(solid(Qt::red));
    ASSERT_TRUE(waitUntil([&] { return loader.requestsFor(0) == 2; }));
    EXPECT_EQ(loader.requestsFor(1), 1);

    wall.setResting(true);
    loader.calls[1].done(solid(Qt::red));
    spinFor(30);
    EXPECT_EQ(loader.requestsFor(1), 1);
    wall.setResting(false);
    EXPECT_EQ(loader.requestsFor(1), 2);

    wall.stop();
    EXPECT_EQ(loader.cancels, (std::vector<std::int64_t>{0, 1}));
    EXPECT_EQ(wall.inFlight(), 0);
    const size_t before = loader.calls.size();
    loader.calls[before - 1].done(solid(Qt::blue));
    spinFor(30);
    EXPECT_EQ(loader.calls.size(), before);
    EXPECT_EQ(b.pictures.size(), 1u);  // the answer before resting only
}
