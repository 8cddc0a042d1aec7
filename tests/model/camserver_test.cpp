// SPDX-License-Identifier: GPL-3.0-or-later
// The server record's dictionary form and the camera and microphone lists
// built from the server's documents.

#include "camserver.h"

#include <gtest/gtest.h>

#include <QSet>

#include <atomic>
#include <thread>

#include "TXJsonParser.h"

namespace {

// A typo in a test's document throws, and fails the test.
tx::JsonValue json(const std::string& text) {
    return tx::TXJsonParser().fragmentWithString(text).value();
}

// Fields joined by spaces, "-" for an absent one.
QString fields(QStringList f) {
    for (QString& s : f)
        if (s.isNull()) s = "-";
    return f.join(' ');
}

// Each record's fields, records joined by "; ". A camera of the pan/tilt/zoom
// class adds "ptz" and its paths.
QString cameras(const CamServer& s) {
    QStringList out;
    for (const auto& c : *s.getCameras()) {
        QStringList f{c->cameraName, c->uri, c->imageUri, c->videoUri};
        if (const auto* p = dynamic_cast<const PTZCameraView*>(c.get()))
            f << "ptz" << p->focusUri << p->menuActivateUri << p->menuHideUri << p->menuMoveUri
              << p->menuShowUri << p->panUri << p->presetsUri << p->zoomUri;
        out << fields(f);
    }
    return out.join("; ");
}
QString microphones(const CamServer& s) {
    QStringList out;
    for (const auto& m : *s.getMicrophones())
        out << fields({m->microphoneName, m->uri, m->audioUri, m->cameraUri});
    return out.join("; ");
}

// The dictionary form without its "serverId", which is checked on its own.
QVariantMap withoutId(QVariantMap dict) {
    EXPECT_EQ(dict.take("serverId").toString().size(), 36);
    return dict;
}

TEST(CamServerDictionary, DefaultsAndRoundTrip) {
    // clang-format off
    EXPECT_EQ(withoutId(CamServer::create()->toDictionary()), QVariantMap({{"fps", ""},
        {"name", ""}, {"host", ""}, {"port", ""}, {"login", ""}, {"password", ""},
        {"previewRegim", 0}, {"isSelected", false}, {"oldProtocol", false}, {"camOnPage", 4}}));
    // fromDictionary starts from the empty record (absent texts, zeros), drops unknown keys.
    EXPECT_EQ(withoutId(CamServer::fromDictionary({{"name", "A"}, {"unknown", "x"}})
        ->toDictionary()), QVariantMap({{"name", "A"}, {"previewRegim", 0}, {"isSelected", false},
        {"oldProtocol", false}, {"camOnPage", 0}, {"camerasNames", QVariantList()}}));
    const QVariantMap full{{"fps", "12"}, {"name", "Office"}, {"host", "10.0.0.5"},
        {"port", "8080"}, {"login", "root"}, {"password", "p&<w>"}, {"previewRegim", 3},
        {"isSelected", true}, {"oldProtocol", true}, {"camOnPage", qlonglong(-1)},
        {"camerasNames", QVariantList{"b", "a"}},
        {"serverId", "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37"}};
    // clang-format on
    EXPECT_FALSE(CamServer::fromDictionary({})->toDictionary().contains("camerasNames"));
    EXPECT_EQ(CamServer::fromDictionary(full)->toDictionary(), full);
}

// A usable identity is kept, in one spelling; anything else gives a fresh
// one, never the same twice.
TEST(CamServerDictionary, ServerIdIsKeptOrMade) {
    const QString id = "5f0c2a9e-7b1d-4c3e-9a2f-0d4e6b8c1a37";
    const QVariant cases[] = {id,          "{" + id.toUpper() + "}",
                              QVariant(),  "",
                              "server-1",  "00000000-0000-0000-0000-000000000000",
                              id.left(35), 7};
    QStringList got;
    for (const QVariant& in : cases)
        got << CamServer::fromDictionary({{"serverId", in}})->serverId();
    EXPECT_EQ(got.mid(0, 2), QStringList({id, id}));
    EXPECT_EQ(QSet<QString>(got.begin(), got.end()).size(), got.size() - 1);
    for (const QString& made : got) EXPECT_EQ(CamServer::serverIdFrom(made), made);
}

// One key read and written back: the value in the dictionary form's type
// (invalid: the key is absent).
TEST(CamServerDictionary, ReadsEachKeyByItsRule) {
    // clang-format off
    const struct { const char* key; QVariant in, out; } cases[] = {
        {"camOnPage", qlonglong(4294967295LL), qlonglong(-1)},  // the low 32 bits
        {"camOnPage", QString(" 12fps"), qlonglong(12)},
        {"previewRegim", qlonglong(2147483648LL), int(-2147483647 - 1)},
        {"isSelected", QString("YES"), true},
        {"isSelected", QString("000"), false},
        {"port", qlonglong(1818), QString("1818")},
        {"host", QVariantList{"a"}, QVariant()},
    };
    // clang-format on
    for (const auto& c : cases) {
        const QVariantMap back = CamServer::fromDictionary({{c.key, c.in}})->toDictionary();
        EXPECT_EQ(back.value(c.key), c.out) << c.key << " " << c.in.toString().toStdString();
        EXPECT_EQ(back.value(c.key).typeId(), c.out.typeId()) << c.key;
    }
}

// Each document is given as both lists to a record that already has lists.
TEST(CamServerLists, DocumentsOfEveryShape) {
    // clang-format off
    const struct { const char* doc; bool accepted; const char *cameras, *microphones; } cases[] = {
        {R"([{"name": "Gate", "uri": "/c/1", "image-uri": "/i/1", "video-uri": "/v/1", "x": 1},
             {"name": "Dome", "ptz": {"focus": {"relative-uri": "/f"}, "menu": {"show-uri": "/m"},
              "pan-tilt": {"relative-uri": "/p"}, "presets-uri": "/r", "zoom": {"relative-uri":
              "/z"}}},
             {"uri": "/c/3", "ptz": {}}])", true,
         "Gate /c/1 /i/1 /v/1; Dome - - - ptz /f - - - /m /p /r /z; - /c/3 - - ptz - - - - - - - -",
         "Gate /c/1 - -; Dome - - -; - /c/3 - -"},
        {R"([{"name": "m", "uri": "/m", "audio-uri": "/a", "camera-uri": "/c"}])", true,
         "m /m - -", "m /m /a /c"},
        {R"({"name": "x"})", false, "before - - -", "before - - -"},
        {R"([1, null, [], {"name": "ok", "uri": ["x"], "image-uri": {}, "camera-uri": 1,
             "audio-uri": null}])", true, "ok - - -", "ok - - -"},
        {R"([{"ptz": 5}, {"ptz": {"menu": "x", "focus": [], "zoom": {"relative-uri": 1}}}])", true,
         "- - - - ptz - - - - - - - -; - - - - ptz - - - - - - - -", "- - - -; - - - -"},
        {"[]", true, "", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        const auto s = CamServer::create();
        EXPECT_EQ(s->getCameras(), nullptr);
        s->setCameras(json(R"([{"name": "before"}])"));
        s->setMicrophones(json(R"([{"name": "before"}])"));
        EXPECT_EQ(s->setCameras(json(c.doc)), c.accepted) << c.doc;
        EXPECT_EQ(s->setMicrophones(json(c.doc)), c.accepted) << c.doc;
        EXPECT_EQ(cameras(*s), c.cameras) << c.doc;
        EXPECT_EQ(microphones(*s), c.microphones) << c.doc;
        const auto first = s->getCameras();
        s->setCameras(json(c.doc));  // the same document again gives new records
        EXPECT_TRUE(!c.accepted || first->empty() || s->getCameras()->at(0) != first->at(0));
    }
}

TEST(CamServerLists, MicrophoneIsTheLastCaseSensitiveMatch) {
    const auto s = CamServer::create();
    s->setCameras(json(R"([{"uri": "/c/A"}, {"uri": "/c/b"}, {"name": "no uri"}])"));
    s->setMicrophones(json(R"([{"name": "m0", "camera-uri": "/c/A"}, {"name": "m1", "camera-uri":
      "/c/B"}, {"name": "m2", "camera-uri": "/c/A"}, {}])"));
    EXPECT_EQ(s->getMicrophone(s->getCameras()->at(0).get())->microphoneName, "m2");
    for (size_t i : {1, 2}) EXPECT_EQ(s->getMicrophone(s->getCameras()->at(i).get()), nullptr);
}

// A reader must always see one whole list while a worker replaces it: every
// snapshot holds one generation's records only.
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
    for (auto snap = s->getCameras(); !done; snap = s->getCameras())
        mixed += snap->size() != 3 || snap->at(0)->cameraName != snap->at(2)->cameraName;
    writer.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
