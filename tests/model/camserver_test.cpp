// The server record's dictionary form and the camera and microphone lists
// built from the server's documents.

#include "camserver.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "TXJsonParser.h"

namespace {

tx::JsonValue json(const std::string& text) {
    auto value = tx::TXJsonParser().fragmentWithString(text);
    EXPECT_TRUE(value.has_value()) << text;
    return value.value_or(tx::JsonValue());
}

const PTZCameraView* ptz(const std::shared_ptr<CameraView>& camera) {
    return dynamic_cast<const PTZCameraView*>(camera.get());
}

TEST(CamServerDictionary, CreateGivesDefaultsAndTenKeys) {
    const auto s = CamServer::create();
    EXPECT_FALSE(s->name().isNull() || s->password().isNull() || s->fps().isNull());
    const QVariantMap d = s->toDictionary();
    EXPECT_EQ(d, QVariantMap({{"fps", ""},
                              {"name", ""},
                              {"host", ""},
                              {"port", ""},
                              {"login", ""},
                              {"password", ""},
                              {"previewRegim", 0},
                              {"isSelected", false},
                              {"oldProtocol", false},
                              {"camOnPage", 4}}));
    EXPECT_EQ(d["camOnPage"].typeId(), QMetaType::LongLong);
    EXPECT_EQ(d["previewRegim"].typeId(), QMetaType::Int);
    EXPECT_EQ(d["isSelected"].typeId(), QMetaType::Bool);
}

// One key read from a dictionary and written back: the value as the record
// holds it, in the type of the dictionary form (invalid: the key is absent).
TEST(CamServerDictionary, ReadsEachKeyByItsRule) {
    const struct {
        const char* key;
        QVariant in, out;
    } cases[] = {
        {"camOnPage", qlonglong(4294967295LL), qlonglong(-1)},
        {"camOnPage", qlonglong(4294967297LL), qlonglong(1)},
        {"camOnPage", QString(" 12fps"), qlonglong(12)},
        {"camOnPage", QString("99999999999"), qlonglong(2147483647)},
        {"camOnPage", 3.9, qlonglong(3)},
        {"camOnPage", QVariantList{1}, qlonglong(0)},
        {"previewRegim", qlonglong(2147483648LL), int(-2147483647 - 1)},
        {"previewRegim", QString("-5"), -5},
        {"previewRegim", true, 1},
        {"isSelected", qlonglong(2), true},
        {"isSelected", 0.5, true},
        {"isSelected", QString("YES"), true},
        {"isSelected", QString("  +007"), true},
        {"isSelected", QString("-0t"), true},
        {"isSelected", QString("no"), false},
        {"isSelected", QString("000"), false},
        {"oldProtocol", QString("true"), true},
        {"oldProtocol", QVariantMap{}, false},
        {"port", QString(" 8 "), QString(" 8 ")},
        {"port", QString(""), QString("")},
        {"port", qlonglong(1818), QString("1818")},
        {"fps", 12.5, QString("12.5")},
        {"host", QVariantList{"a"}, QVariant()},
        {"login", QVariant(), QVariant()},
    };
    for (const auto& c : cases) {
        const QVariantMap back = CamServer::fromDictionary({{c.key, c.in}})->toDictionary();
        EXPECT_EQ(back.value(c.key), c.out) << c.key << " " << c.in.toString().toStdString();
        EXPECT_EQ(back.value(c.key).typeId(), c.out.typeId()) << c.key;
    }
}

TEST(CamServerDictionary, StartsFromTheEmptyRecordAndRoundTrips) {
    const auto partial = CamServer::fromDictionary({{"name", "A"}});
    EXPECT_EQ(partial->camOnPage, 0);  // not create()'s 4
    EXPECT_TRUE(partial->fps().isNull());
    EXPECT_EQ(partial->toDictionary().value("camerasNames"), QVariantList());
    EXPECT_FALSE(partial->toDictionary().contains("fps"));  // absent stays absent
    EXPECT_FALSE(CamServer::fromDictionary({})->toDictionary().contains("camerasNames"));

    const QVariantMap full{
        {"fps", "12"},
        {"name", "Office"},
        {"host", "10.0.0.5"},
        {"port", "8080"},
        {"login", "root"},
        {"password", "p&<w>"},
        {"previewRegim", 3},
        {"isSelected", true},
        {"oldProtocol", true},
        {"camOnPage", qlonglong(-1)},
        {"camerasNames", QVariantList{"b", "a"}},
    };
    QVariantMap withExtra = full;
    withExtra.insert("unknown", "x");
    EXPECT_EQ(CamServer::fromDictionary(withExtra)->toDictionary(), full);
}

constexpr const char* kCameras = R"([
  {"name": "Gate", "uri": "/cam/1", "image-uri": "/img/1", "video-uri": "/vid/1", "extra": 1},
  {"name": "Dome", "uri": "/cam/2", "ptz": {"focus": {"relative-uri": "/f"}, "menu": {"show-uri": "/ms"},
   "pan-tilt": {"relative-uri": "/p"}, "presets-uri": "/pr", "zoom": {"relative-uri": "/z"}}},
  {"uri": "/cam/3", "ptz": {}}
])";

TEST(CamServerLists, CamerasKeepOrderClassAndNestedPaths) {
    const auto s = CamServer::create();
    EXPECT_EQ(s->getCameras(), nullptr);
    ASSERT_TRUE(s->setCameras(json(kCameras)));
    const auto cams = s->getCameras();
    ASSERT_EQ(cams->size(), 3u);
    const CameraView& gate = *cams->at(0);
    EXPECT_EQ(ptz(cams->at(0)), nullptr);
    EXPECT_EQ(QStringList({gate.cameraName, gate.uri, gate.imageUri, gate.videoUri}),
              QStringList({"Gate", "/cam/1", "/img/1", "/vid/1"}));
    EXPECT_EQ(gate.server, s.get());

    const PTZCameraView* dome = ptz(cams->at(1));
    ASSERT_NE(dome, nullptr);
    EXPECT_EQ(QStringList({dome->focusUri, dome->menuShowUri, dome->panUri, dome->presetsUri,
                           dome->zoomUri}),
              QStringList({"/f", "/ms", "/p", "/pr", "/z"}));
    EXPECT_TRUE(dome->menuActivateUri.isNull() && dome->menuHideUri.isNull() &&
                dome->menuMoveUri.isNull());
    EXPECT_TRUE(dome->imageUri.isNull());

    const PTZCameraView* bare = ptz(cams->at(2));
    ASSERT_NE(bare, nullptr);
    EXPECT_TRUE(bare->cameraName.isNull() && bare->focusUri.isNull() && bare->presetsUri.isNull());

    ASSERT_TRUE(s->setCameras(json(kCameras)));  // the same document again: all records anew
    for (size_t i = 0; i < 3; ++i) EXPECT_NE(s->getCameras()->at(i), cams->at(i));
    EXPECT_EQ(cams->at(0)->cameraName, "Gate");  // an old snapshot stays valid while held
    ASSERT_TRUE(s->setCameras(json("[]")));
    EXPECT_TRUE(s->getCameras()->empty());
}

TEST(CamServerLists, DocumentsOfAnotherShapeCannotHarm) {
    const struct {
        const char* doc;
        bool accepted;
        size_t records;
        const char* firstName;  // nullptr: absent
    } cases[] = {
        {R"({"name": "x"})", false, 1, "before"},
        {R"("text")", false, 1, "before"},
        {R"([1, "a", null, [], {"name": "ok"}])", true, 1, "ok"},
        {R"([{"name": 5, "uri": ["x"], "image-uri": {}, "camera-uri": 1, "audio-uri": null}])",
         true, 1, nullptr},
        {R"([{"ptz": 5}, {"ptz": {"menu": "x", "focus": [], "zoom": {"relative-uri": 1}}}])", true,
         2, nullptr},
    };
    for (const auto& c : cases) {
        const auto s = CamServer::create();
        s->setCameras(json(R"([{"name": "before"}])"));
        s->setMicrophones(json(R"([{"name": "before"}])"));
        EXPECT_EQ(s->setCameras(json(c.doc)), c.accepted) << c.doc;
        EXPECT_EQ(s->setMicrophones(json(c.doc)), c.accepted) << c.doc;
        ASSERT_EQ(s->getCameras()->size(), c.records) << c.doc;
        EXPECT_EQ(s->getMicrophones()->size(), c.records) << c.doc;
        const CameraView& cam = *s->getCameras()->at(0);
        const PhoneList& mic = *s->getMicrophones()->at(0);
        EXPECT_EQ(cam.cameraName, QString(c.firstName)) << c.doc;
        EXPECT_EQ(mic.microphoneName.isNull(), c.firstName == nullptr) << c.doc;
        EXPECT_TRUE(cam.uri.isNull() && cam.imageUri.isNull() && mic.cameraUri.isNull() &&
                    mic.audioUri.isNull());
        for (const auto& camera : *s->getCameras()) {
            if (const PTZCameraView* p = ptz(camera)) {
                EXPECT_TRUE(p->menuShowUri.isNull() && p->focusUri.isNull() && p->zoomUri.isNull());
            }
        }
    }
}

TEST(CamServerLists, MicrophoneIsTheLastCaseSensitiveMatch) {
    const auto s = CamServer::create();
    s->setCameras(
        json(R"([{"uri": "/cam/A"}, {"uri": "/cam/b"}, {"name": "no uri"}, {"uri": "/cam/c"}])"));
    const auto cams = s->getCameras();
    EXPECT_EQ(s->getMicrophone(cams->at(0).get()), nullptr);  // no list yet
    s->setMicrophones(json(R"([
      {"name": "m0", "camera-uri": "/cam/A", "audio-uri": "/a0"},
      {"name": "m1", "camera-uri": "/cam/B"},
      {"name": "m2", "camera-uri": "/cam/A", "audio-uri": "/a2", "uri": "/mic/2"},
      {"name": "m3", "camera-uri": "/nowhere"},
      {"name": "m4"}
    ])"));
    const struct {
        const CameraView* camera;
        const char* expected;  // the microphone's name; nullptr: none
    } cases[] = {{cams->at(0).get(), "m2"},
                 {cams->at(1).get(), nullptr},
                 {cams->at(2).get(), nullptr},
                 {cams->at(3).get(), nullptr},
                 {nullptr, nullptr}};
    for (const auto& c : cases) {
        const auto mic = s->getMicrophone(c.camera);
        EXPECT_EQ(mic ? mic->microphoneName.toStdString() : "none",
                  c.expected ? c.expected : "none");
    }
    const auto m2 = s->getMicrophone(cams->at(0).get());
    EXPECT_EQ(QStringList({m2->audioUri, m2->uri}), QStringList({"/a2", "/mic/2"}));
    EXPECT_EQ(m2->server, s.get());
    EXPECT_EQ(s->getMicrophones()->size(), 5u);
}

// A reader on the main thread must always see one whole list while a worker
// replaces it: every snapshot holds one generation's records only.
TEST(CamServerLists, ReadersSeeWholeListsWhileReplaced) {
    const auto s = CamServer::create();
    s->setCameras(json(R"([{"name": "0"}, {"name": "0"}, {"name": "0"}])"));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int g = 1; g <= 500; ++g) {
            const std::string n = R"({"name": ")" + std::to_string(g) + R"("})";
            s->setCameras(json("[" + n + "," + n + "," + n + "]"));
        }
        done = true;
    });
    int mixed = 0;
    while (!done) {
        const auto snap = s->getCameras();
        if (snap->size() != 3 || snap->at(0)->cameraName != snap->at(2)->cameraName) ++mixed;
    }
    writer.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(s->getCameras()->at(1)->cameraName, "500");
}

}  // namespace
