// SPDX-License-Identifier: GPL-3.0-or-later
// The control room's JSON form (the layouts file): what the viewer writes,
// and reading it back, tolerant of a damaged or hand-edited file.

#include "layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

namespace {

// ---- reading the JSON form ----

constexpr std::pair<WindowState::Shows, std::string_view> kShows[] = {
    {WindowState::Shows::Camera, "camera"},
    {WindowState::Shows::ServerWall, "serverWall"},
    {WindowState::Shows::Layout, "layout"},
    {WindowState::Shows::Tour, "tour"},
};

constexpr std::pair<CameraActivity::Sensitivity, std::string_view> kSensitivities[] = {
    {CameraActivity::Sensitivity::Off, "off"},
    {CameraActivity::Sensitivity::Low, "low"},
    {CameraActivity::Sensitivity::Normal, "normal"},
    {CameraActivity::Sensitivity::High, "high"},
};

// Reads the form and notes whether anything of the file is not carried
// over as it was: an entry, a step or a cell left out, or a member of the
// wrong type, out of its range or not whole (read as its default or clamped).
// Members that are absent lose nothing and are not noted; what the writer
// writes never is.
class Reader {
public:
    bool changed = false;

    // A text member; null when absent, noted when of another type.
    QString text(const tx::JsonValue& object, std::string_view key) {
        const tx::JsonValue* v = object.find(key);
        if (!v) return {};
        if (!v->isString()) return note(QString());
        QString out = QString::fromStdString(v->asString());
        if (out.isNull()) out = QStringLiteral("");  // present but empty is not absent
        return out;
    }

    // A name: a text that is not empty.
    QString nameIn(const tx::JsonValue& object, std::string_view key) {
        const QString s = text(object, key);
        return s.isEmpty() ? QString() : s;
    }

    // A number as the nearest whole number within lo..hi; fallback when the
    // member is absent or no number.
    int wholeIn(const tx::JsonValue& object, std::string_view key, int lo, int hi, int fallback) {
        const tx::JsonValue* v = object.find(key);
        if (!v) return fallback;
        if (!v->isNumber()) return note(fallback);
        const std::optional<std::int64_t> whole = v->asNumber().toInt64();
        if (!whole || *whole < lo || *whole > hi) changed = true;
        const double d = v->asNumber().toDouble();
        if (std::isnan(d)) return fallback;
        return static_cast<int>(std::lround(std::clamp(d, double(lo), double(hi))));
    }

    bool flag(const tx::JsonValue& object, std::string_view key) {
        const tx::JsonValue* v = object.find(key);
        if (v && !v->isBool()) return note(false);
        return v && v->asBool();
    }

    const tx::JsonArray* arrayIn(const tx::JsonValue& object, std::string_view key) {
        const tx::JsonValue* v = object.find(key);
        if (v && !v->isArray()) return note(nullptr);
        return v ? &v->asArray() : nullptr;
    }

    std::optional<CameraRef> ref(const tx::JsonValue& v) {
        if (!v.isObject()) return note(std::nullopt);
        CameraRef ref;
        ref.serverId = CamServer::serverIdFrom(text(v, "serverId"));
        if (ref.serverId.isNull()) return note(std::nullopt);
        ref.cameraUri = text(v, "uri");
        ref.cameraName = text(v, "name");
        ref.position = wholeIn(v, "position", -1, 1'000'000, -1);
        return ref;
    }

    std::optional<Layout> layout(const tx::JsonValue& v) {
        Layout layout;
        layout.name = nameIn(v, "name");
        const tx::JsonValue* rows = v.find("rows");
        const tx::JsonValue* columns = v.find("columns");
        if (layout.name.isNull() || !rows || !rows->isNumber() || !columns || !columns->isNumber())
            return std::nullopt;
        layout.resize(wholeIn(v, "rows", Layout::kMinSide, Layout::kMaxSide, 1),
                      wholeIn(v, "columns", Layout::kMinSide, Layout::kMaxSide, 1));
        const tx::JsonArray* cells = arrayIn(v, "cells");
        const std::optional<std::vector<CellRect>> rects =
            spans(v, layout.rows, layout.columns, cells ? cells->size() : 0);
        std::vector<std::optional<CameraRef>> cameras;
        const std::size_t slotCount =
            rects ? rects->size() : static_cast<std::size_t>(layout.rows * layout.columns);
        if (cells) {
            // Extra cells (a grid made smaller by hand) are dropped; missing
            // ones stay empty.
            if (cells->size() > slotCount) changed = true;
            const std::size_t n = std::min(cells->size(), slotCount);
            for (std::size_t i = 0; i < n; ++i)
                cameras.push_back((*cells)[i].isNull() ? std::nullopt : ref((*cells)[i]));
        }
        cameras.resize(slotCount);
        if (rects)
            layout.setCells(*rects, std::move(cameras));
        else
            layout.cells = std::move(cameras);
        if (const tx::JsonValue* a = v.find("active")) {
            if (a->isObject())
                layout.active = active(*a);
            else
                changed = true;
        }
        return layout;
    }

    // What an Active Cameras layout watches: cameras beyond kMaxCameras, and
    // entries that name no camera or server, are dropped.
    ActiveCameras active(const tx::JsonValue& v) {
        ActiveCameras a;
        if (const tx::JsonArray* cameras = arrayIn(v, "cameras"))
            for (const tx::JsonValue& c : *cameras) {
                std::optional<CameraRef> one =
                    a.cameras.size() < ActiveCameras::kMaxCameras ? ref(c) : note(std::nullopt);
                if (one && std::find(a.cameras.begin(), a.cameras.end(), *one) == a.cameras.end())
                    a.cameras.push_back(std::move(*one));
                else
                    changed = true;
            }
        if (const tx::JsonArray* servers = arrayIn(v, "servers"))
            for (const tx::JsonValue& s : *servers) {
                const QString id = s.isString()
                                       ? CamServer::serverIdFrom(QString::fromStdString(s.asString()))
                                       : QString();
                const bool again = std::find(a.servers.begin(), a.servers.end(), id) != a.servers.end();
                if (!id.isNull() && !again && a.servers.size() < ActiveCameras::kMaxCameras)
                    a.servers.push_back(id);
                else
                    changed = true;
            }
        a.holdSeconds = wholeIn(v, "holdSeconds", ActiveCameras::kMinHoldSeconds,
                                ActiveCameras::kMaxHoldSeconds, ActiveCameras{}.holdSeconds);
        a.notify = flag(v, "notify");
        return a;
    }

    // The cells' rectangles of member "spans", each [row, column, rowSpan,
    // columnSpan], when they tile the grid and are as many as the cells;
    // none when absent, and none, noted, when anything else (the grid is
    // then read as an even one).
    std::optional<std::vector<CellRect>> spans(const tx::JsonValue& object, int rows, int columns,
                                               std::size_t cells) {
        const tx::JsonArray* list = arrayIn(object, "spans");
        if (!list) return std::nullopt;
        if (list->size() != cells || list->size() > std::size_t(rows * columns))
            return note(std::nullopt);
        std::vector<CellRect> rects;
        for (const tx::JsonValue& span : *list) {
            int v[4];
            if (!span.isArray() || span.asArray().size() != 4) return note(std::nullopt);
            for (int i = 0; i < 4; ++i) {
                const tx::JsonValue& n = span.asArray()[static_cast<std::size_t>(i)];
                const std::optional<std::int64_t> whole =
                    n.isNumber() ? n.asNumber().toInt64() : std::nullopt;
                if (!whole || *whole < 0 || *whole > Layout::kMaxSide) return note(std::nullopt);
                v[i] = static_cast<int>(*whole);
            }
            rects.push_back({v[0], v[1], v[2], v[3]});
        }
        if (!Layout::tiles(rows, columns, rects)) return note(std::nullopt);
        return rects;
    }

    std::optional<TourStep> step(const tx::JsonValue& v) {
        if (!v.isObject()) return std::nullopt;
        TourStep step;
        const QString kind = text(v, "kind");
        if (kind == u"layout") {
            step.kind = TourStep::Kind::Layout;
            step.layoutName = nameIn(v, "layout");
            if (step.layoutName.isNull()) return std::nullopt;
        } else if (kind == u"serverWall") {
            step.kind = TourStep::Kind::ServerWall;
            step.serverId = CamServer::serverIdFrom(text(v, "serverId"));
            if (step.serverId.isNull()) return std::nullopt;
            step.page = wholeIn(v, "page", 0, 1'000'000, 0);
        } else {
            return std::nullopt;
        }
        step.dwellSeconds = wholeIn(v, "dwellSeconds", TourStep::kMinDwellSeconds,
                                    TourStep::kMaxDwellSeconds, TourStep{}.dwellSeconds);
        return step;
    }

    std::optional<Tour> tour(const tx::JsonValue& v) {
        Tour tour;
        tour.name = nameIn(v, "name");
        const tx::JsonArray* steps = arrayIn(v, "steps");
        if (tour.name.isNull() || !steps) return std::nullopt;
        for (const tx::JsonValue& s : *steps) {
            std::optional<TourStep> one =
                tour.steps.size() < ControlRoom::kMaxEntries ? step(s) : std::nullopt;
            if (one)
                tour.steps.push_back(std::move(*one));
            else
                changed = true;
        }
        tour.pauseSeconds = wholeIn(v, "pauseSeconds", Tour::kMinPauseSeconds,
                                    Tour::kMaxPauseSeconds, Tour{}.pauseSeconds);
        tour.waitForActivity = flag(v, "waitForActivity");
        return tour;
    }

    // A frame a window system can take: whole numbers of at most a million
    // points and a size that is not empty; anything else places the window
    // anew.
    QRect geometry(const tx::JsonValue& object) {
        const tx::JsonArray* g = arrayIn(object, "geometry");
        if (!g) return {};
        if (g->size() != 4) return note(QRect());
        int v[4];
        for (int i = 0; i < 4; ++i) {
            const tx::JsonValue& n = (*g)[i];
            const std::optional<std::int64_t> whole =
                n.isNumber() ? n.asNumber().toInt64() : std::nullopt;
            if (!whole || std::abs(*whole) > 1'000'000) return note(QRect());
            v[i] = static_cast<int>(*whole);
        }
        if (v[2] <= 0 || v[3] <= 0) return note(QRect());
        return QRect(v[0], v[1], v[2], v[3]);
    }

    std::optional<WindowState> window(const tx::JsonValue& v) {
        WindowState w;
        const std::string* shows = v.findString("shows");
        const auto kind = std::find_if(std::begin(kShows), std::end(kShows),
                                       [&](const auto& k) { return shows && *shows == k.second; });
        if (kind == std::end(kShows)) return std::nullopt;
        w.shows = kind->first;
        switch (w.shows) {
            case WindowState::Shows::Camera: {
                const tx::JsonValue* camera = v.find("camera");
                // A window that showed nothing is written as a camera of no
                // server (the main window too, with no server in the list):
                // it is kept, so that the windows keep their places.
                if (camera && camera->isObject()) {
                    const QString id = text(*camera, "serverId");
                    if (!id.isNull() && id.isEmpty()) break;
                }
                std::optional<CameraRef> r = camera ? ref(*camera) : std::nullopt;
                if (!r) return std::nullopt;
                w.camera = *r;
                w.serverId = r->serverId;
                break;
            }
            case WindowState::Shows::ServerWall:
                w.serverId = CamServer::serverIdFrom(text(v, "serverId"));
                if (w.serverId.isNull()) return std::nullopt;
                break;
            case WindowState::Shows::Layout:
            case WindowState::Shows::Tour:
                w.name = nameIn(v, "name");
                if (w.name.isNull()) return std::nullopt;
                break;
        }
        w.screenName = text(v, "screen");
        w.screenIndex = wholeIn(v, "screenIndex", 0, 255, 0);
        w.geometry = geometry(v);
        w.fullScreen = flag(v, "fullScreen");
        w.locked = flag(v, "locked");
        return w;
    }

    // A camera's activity settings: its reference with a known "sensitivity"
    // (absent: Normal), "ignoreZones" and "notify" (absent: false). Zones are clamped to the picture
    // and those left empty dropped; none for an entry with no usable
    // reference, or one that holds only the default.
    std::optional<CameraActivity> activity(const tx::JsonValue& v) {
        std::optional<CameraRef> camera = ref(v);
        if (!camera) return std::nullopt;
        CameraActivity a;
        a.camera = *camera;
        if (const tx::JsonValue* s = v.find("sensitivity")) {
            const auto known =
                std::find_if(std::begin(kSensitivities), std::end(kSensitivities),
                             [&](auto& k) { return s->isString() && s->asString() == k.second; });
            if (known == std::end(kSensitivities)) return std::nullopt;
            a.sensitivity = known->first;
        }
        if (const tx::JsonArray* zones = arrayIn(v, "ignoreZones"))
            for (const tx::JsonValue& zone : *zones)
                if (a.ignoreZones.size() >= CameraActivity::kMaxZones)
                    changed = true;
                else if (std::optional<QRectF> r = unitRect(zone))
                    a.ignoreZones.push_back(*r);
        a.notify = flag(v, "notify");
        if (a.isDefault()) return note(std::nullopt);
        return a;
    }

    // [x, y, width, height] of numbers, cut to the unit square; none, noted,
    // when of another form or empty once cut.
    std::optional<QRectF> unitRect(const tx::JsonValue& v) {
        if (!v.isArray() || v.asArray().size() != 4) return note(std::nullopt);
        double n[4];
        for (int i = 0; i < 4; ++i) {
            const tx::JsonValue& x = v.asArray()[static_cast<std::size_t>(i)];
            n[i] = x.isNumber() ? x.asNumber().toDouble() : std::nan("");
            if (!std::isfinite(n[i])) return note(std::nullopt);
        }
        const QRectF r(n[0], n[1], n[2], n[3]);
        if (r.width() > 0 && r.height() > 0 && r.left() >= 0 && r.top() >= 0 && r.right() <= 1 &&
            r.bottom() <= 1)
            return r;  // as written, not recomputed from its edges
        changed = true;
        const QRectF cut = r.normalized().intersected(QRectF(0, 0, 1, 1));
        if (cut.isEmpty()) return std::nullopt;
        return cut;
    }

    // Reads each element of array key with read, keeping at most kMaxEntries
    // and, when named, only the first entry of each name.
    template <typename T>
    std::vector<T> all(const tx::JsonValue& root, std::string_view key,
                       std::optional<T> (Reader::*read)(const tx::JsonValue&)) {
        std::vector<T> out;
        std::set<QString> names;
        const tx::JsonArray* list = arrayIn(root, key);
        if (!list) return out;
        for (const tx::JsonValue& element : *list) {
            if (out.size() >= ControlRoom::kMaxEntries) return note(std::move(out));
            std::optional<T> entry = element.isObject() ? (this->*read)(element) : std::nullopt;
            bool keep = entry.has_value();
            if constexpr (std::is_same_v<T, CameraActivity>)
                keep = keep && std::none_of(out.begin(), out.end(), [&](const CameraActivity& a) {
                           const CameraRef& c = entry->camera;
                           return a.names(c.serverId, c.cameraUri, c.cameraName);
                       });
            else if constexpr (!std::is_same_v<T, WindowState>)
                keep = keep && names.insert(entry->name).second;
            if (keep)
                out.push_back(std::move(*entry));
            else
                changed = true;
        }
        return out;
    }

private:
    template <typename T>
    T note(T value) {
        changed = true;
        return value;
    }
};

// ---- writing the JSON form ----

tx::JsonValue str(const QString& s) {
    return tx::JsonValue(s.toStdString());
}

tx::JsonValue layoutJson(const Layout& layout) {
    tx::JsonArray cells;
    for (const auto& cell : layout.cells) cells.push_back(cell ? cell->toJson() : tx::JsonValue());
    tx::JsonObject o{{"name", str(layout.name)},
                     {"rows", layout.rows},
                     {"columns", layout.columns},
                     {"cells", std::move(cells)}};
    // An even grid is written as before, without them.
    if (!layout.rects.empty()) {
        tx::JsonArray spans;
        for (const CellRect& r : layout.rects)
            spans.push_back(tx::JsonArray{r.row, r.column, r.rowSpan, r.columnSpan});
        o.insert_or_assign("spans", std::move(spans));
    }
    if (layout.active) {
        tx::JsonArray cameras, servers;
        for (const CameraRef& c : layout.active->cameras) cameras.push_back(c.toJson());
        for (const QString& id : layout.active->servers) servers.push_back(str(id));
        tx::JsonObject active{{"cameras", std::move(cameras)},
                              {"servers", std::move(servers)},
                              {"holdSeconds", layout.active->holdSeconds}};
        if (layout.active->notify) active.insert_or_assign("notify", true);
        o.insert_or_assign("active", std::move(active));
    }
    return o;
}

tx::JsonValue stepJson(const TourStep& step) {
    tx::JsonObject o{{"dwellSeconds", step.dwellSeconds}};
    if (step.kind == TourStep::Kind::Layout) {
        o.insert_or_assign("kind", "layout");
        o.insert_or_assign("layout", str(step.layoutName));
    } else {
        o.insert_or_assign("kind", "serverWall");
        o.insert_or_assign("serverId", str(step.serverId));
        o.insert_or_assign("page", step.page);
    }
    return o;
}

tx::JsonValue tourJson(const Tour& tour) {
    tx::JsonArray steps;
    for (const TourStep& step : tour.steps) steps.push_back(stepJson(step));
    tx::JsonObject o{
        {"name", str(tour.name)}, {"pauseSeconds", tour.pauseSeconds}, {"steps", std::move(steps)}};
    if (tour.waitForActivity) o.insert_or_assign("waitForActivity", true);
    return o;
}

tx::JsonValue windowJson(const WindowState& w) {
    tx::JsonObject o{{"screen", str(w.screenName.isNull() ? QStringLiteral("") : w.screenName)},
                     {"screenIndex", w.screenIndex},
                     {"fullScreen", w.fullScreen}};
    if (w.locked) o.insert_or_assign("locked", true);
    if (w.geometry.isValid())
        o.insert_or_assign("geometry", tx::JsonArray{w.geometry.x(), w.geometry.y(),
                                                     w.geometry.width(), w.geometry.height()});
    for (const auto& [kind, word] : kShows)
        if (kind == w.shows) o.insert_or_assign("shows", std::string(word));
    switch (w.shows) {
        case WindowState::Shows::Camera: {
            CameraRef ref = w.camera;
            ref.serverId = w.serverId;
            o.insert_or_assign("camera", ref.toJson());
            break;
        }
        case WindowState::Shows::ServerWall:
            o.insert_or_assign("serverId", str(w.serverId));
            break;
        case WindowState::Shows::Layout:
        case WindowState::Shows::Tour:
            o.insert_or_assign("name", str(w.name));
            break;
    }
    return o;
}

// A fraction as its shortest decimal form that reads back as the same double.
tx::JsonValue fraction(double d) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, d).ptr;
    return tx::JsonValue(*tx::Decimal::fromString(std::string_view(text, end - text)));
}

tx::JsonValue activityJson(const CameraActivity& a) {
    tx::JsonValue o = a.camera.toJson();
    for (const auto& [kind, word] : kSensitivities)
        if (kind == a.sensitivity) o.asObject().insert_or_assign("sensitivity", std::string(word));
    tx::JsonArray zones;
    for (const QRectF& r : a.ignoreZones)
        zones.push_back(tx::JsonArray{fraction(r.x()), fraction(r.y()), fraction(r.width()),
                                      fraction(r.height())});
    if (!zones.empty()) o.asObject().insert_or_assign("ignoreZones", std::move(zones));
    if (a.notify) o.asObject().insert_or_assign("notify", true);
    return o;
}

}  // namespace

tx::JsonValue CameraRef::toJson() const {
    tx::JsonObject o;
    o.insert_or_assign("serverId", str(serverId));
    if (!cameraUri.isNull()) o.insert_or_assign("uri", str(cameraUri));
    if (!cameraName.isNull()) o.insert_or_assign("name", str(cameraName));
    if (position >= 0) o.insert_or_assign("position", position);
    return o;
}

std::optional<CameraRef> CameraRef::fromJson(const tx::JsonValue& v) {
    return Reader().ref(v);
}

tx::JsonValue ControlRoom::toJson() const {
    tx::JsonArray l, t, w;
    for (const Layout& layout : layouts) l.push_back(layoutJson(layout));
    for (const Tour& tour : tours) t.push_back(tourJson(tour));
    for (const WindowState& window : windows) w.push_back(windowJson(window));
    tx::JsonObject o{{"layouts", std::move(l)}, {"tours", std::move(t)}, {"windows", std::move(w)}};
    // Written only when a camera has settings of its own: a file without
    // any stays as it was.
    tx::JsonArray a;
    for (const CameraActivity& entry : activity)
        if (!entry.isDefault() && a.size() < kMaxEntries) a.push_back(activityJson(entry));
    if (!a.empty()) o.insert_or_assign("activity", std::move(a));
    return o;
}

ControlRoom ControlRoom::fromJson(const tx::JsonValue& json, bool* ok, bool* skipped) {
    if (ok) *ok = json.isObject();
    if (skipped) *skipped = false;
    ControlRoom room;
    if (!json.isObject()) return room;
    Reader read;
    room.layouts = read.all<Layout>(json, "layouts", &Reader::layout);
    room.tours = read.all<Tour>(json, "tours", &Reader::tour);
    room.windows = read.all<WindowState>(json, "windows", &Reader::window);
    room.activity = read.all<CameraActivity>(json, "activity", &Reader::activity);
    if (skipped) *skipped = read.changed;
    return room;
}
