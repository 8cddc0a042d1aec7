#pragma once

// A viewer in-process (offscreen) against scripted servers on loopback, for
// the tests of the picture's age, the silent reconnection and the rest while
// hidden.

#include <gtest/gtest.h>

#include "apptestkit.h"
#include "reconnector.h"
#include "testutil.h"
#include "touchimage.h"
#include "zorvanmacappdelegate.h"
#include "zvdatamanager.h"
#include "zvmainwindow.h"

class LiveViewer : public ::testing::Test {
protected:
    // Makes the viewer; configure() may adjust it before start-up.
    void start(const std::function<void(ZorvanMacAppDelegate&)>& configure = {}) {
        settings = Settings::createInFolder(dir.path(), "en");
        app = std::make_unique<ZorvanMacAppDelegate>(*settings);
        app->reconnector()->setTiming({100, 400, 5000});
        if (configure) configure(*app);
        app->applicationDidFinishLaunching();
        app->dataManager()->setRequestTimeoutMs(1500);
        app->mainImage()->freshness().setMinimumStaleMs(300);
    }
    void TearDown() override {
        if (app) {
            app->applicationWillTerminate();
            app.reset();
        }
    }
    bool waitForPicture() {
        return waitUntil([&] { return !app->mainImage()->picture().isNull(); });
    }
    static size_t countOf(const ScriptedServer& s, const std::string& part) {
        size_t n = 0;
        for (const auto& r : s.requests()) n += r.target.find(part) != std::string::npos;
        return n;
    }
    static size_t pictureRequests(const ScriptedServer& s) { return countOf(s, "resolution="); }

    QTemporaryDir dir;
    // Presses every alert's button; a test that wants an alert left up drops it.
    std::unique_ptr<AlertCatcher> alerts = std::make_unique<AlertCatcher>();
    std::unique_ptr<Settings> settings;
    std::unique_ptr<ZorvanMacAppDelegate> app;
};
