#pragma once

// A viewer in-process (offscreen) in a temporary settings folder, against
// scripted servers on loopback: the fixture of the application tests.

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "apptestaccess.h"
#include "apptestkit.h"
#include "reconnector.h"
#include "testutil.h"
#include "touchimage.h"
#include "zorvanmacappdelegate.h"
#include "zvdatamanager.h"
#include "zvmainwindow.h"

class ViewerFixture : public ::testing::Test {
protected:
    // Makes the viewer; configure() may adjust it before start-up.
    void start(const std::function<void(ZorvanMacAppDelegate&)>& configure = {}) {
        settings = Settings::createInFolder(dir.path(), "en");
        app = std::make_unique<ZorvanMacAppDelegate>(*settings);
        if (configure) configure(*app);
        app->applicationDidFinishLaunching();
    }
    void quit() {
        app->applicationWillTerminate();
        app.reset();
    }
    void TearDown() override {
        if (app) quit();
    }
    bool waitForPicture() {
        return waitUntil([&] { return !app->mainImage()->picture().isNull(); });
    }

    QTemporaryDir dir;
    // Presses every alert's button; a test that wants an alert left up drops it.
    std::unique_ptr<AlertCatcher> alerts = std::make_unique<AlertCatcher>();
    std::unique_ptr<Settings> settings;
    std::unique_ptr<ZorvanMacAppDelegate> app;
};

// With short retry pauses, request timeout and warning delay, for the tests
// of the picture's age, the silent reconnection and the rest while hidden.
class LiveViewer : public ViewerFixture {
protected:
    void start(const std::function<void(ZorvanMacAppDelegate&)>& configure = {}) {
        ViewerFixture::start([&](ZorvanMacAppDelegate& a) {
            ReconnectorTestAccess::setTiming(*a.reconnector(), {100, 400, 5000});
            if (configure) configure(a);
        });
        ZVDataManagerTestAccess::setRequestTimeoutMs(*app->dataManager(), 1500);
        PictureFreshnessTestAccess::setMinimumStaleMs(app->mainImage()->freshness(), 300);
    }
    static size_t countOf(const ScriptedServer& s, const std::string& part) {
        size_t n = 0;
        for (const auto& r : s.requests()) n += r.target.find(part) != std::string::npos;
        return n;
    }
    static size_t pictureRequests(const ScriptedServer& s) { return countOf(s, "resolution="); }
};
