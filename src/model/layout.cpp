// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a layout's cameras again, and the control room's JSON form.

#include "layout.h"

#include <QtCore/qnamespace.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

// ---- finding cameras ----

// Indices of the cameras that match, by a field of the camera.
template <typename Field>
std::vector<int> matching(const CameraList& cameras, const QString& wanted, Field field) {
    std::vector<int> out;
    for (std::size_t i = 0; i < cameras.size(); ++i)
        if (cameras[i] && !(cameras[i].get()->*field).isNull() &&
            cameras[i].get()->*field == wanted)
            out.push_back(static_cast<int>(i));
    return out;
}

int choose(const std::vector<int>& candidates, int position) {
    if (candidates.empty()) return -1;
    if (std::find(candidates.begin(), candidates.end(), position) != candidates.end())
        return position;
    return candidates.front();
}

bool anyUri(const CameraList& cameras) {
    return std::any_of(cameras.begin(), cameras.end(),
                       [](const auto& c) { return c && !c->uri.isEmpty(); });
}

// ---- reading the JSON form ----

constexpr std::pair<WindowState::Shows, std::string_view> kShows[] = {
    {WindowState::Shows::Camera, "camera"},
    {WindowState::Shows::ServerWall, "serverWall"},
    {WindowState::Shows::Layout, "layout"},
    {WindowState::Shows::Tour, "tour"},
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
        return layout;
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
            if constexpr (!std::is_same_v<T, WindowState>)
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
    return tx::JsonObject{
        {"name", str(tour.name)}, {"pauseSeconds", tour.pauseSeconds}, {"steps", std::move(steps)}};
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

}  // namespace

// ---- CameraRef and Layout ----

std::optional<CameraRef> CameraRef::to(const QString& serverId, const CameraList& cameras,
                                       std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(cameras.size()) || !cameras[index])
        return std::nullopt;
    const CameraView& camera = *cameras[index];
    return CameraRef{serverId, camera.uri.isEmpty() ? QString() : camera.uri,
                     camera.cameraName.isEmpty() ? QString() : camera.cameraName,
                     static_cast<int>(index)};
}

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

int findCamera(const CameraList& cameras, const CameraRef& ref) {
    if (!ref.cameraUri.isEmpty() && anyUri(cameras))
        return choose(matching(cameras, ref.cameraUri, &CameraView::uri), ref.position);
    if (!ref.cameraName.isEmpty())
        return choose(matching(cameras, ref.cameraName, &CameraView::cameraName), ref.position);
    if (!ref.cameraUri.isEmpty()) return -1;  // a uri, no uris in the list, and no name
    return ref.position >= 0 && ref.position < static_cast<std::int64_t>(cameras.size())
               ? ref.position
               : -1;
}

namespace {

// The 1x1 cells of the slots of a rows x columns grid that rects leave free.
void fillGaps(int rows, int columns, std::vector<CellRect>& rects) {
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            if (std::none_of(rects.begin(), rects.end(),
                             [&](const CellRect& x) { return x.contains(r, c); }))
                rects.push_back({r, c, 1, 1});
}

struct Template {
    QString name;
    int side;
    std::vector<CellRect> large;  // the cells of more than one slot
};

const std::vector<Template>& templates() {
    static const std::vector<Template> all{
        {QStringLiteral("1+5"), 3, {{0, 0, 2, 2}}},
        {QStringLiteral("1+7"), 4, {{0, 0, 3, 3}}},
        {QStringLiteral("1+12"), 4, {{0, 0, 2, 2}}},
        {QStringLiteral("2+8"), 4, {{0, 0, 2, 2}, {0, 2, 2, 2}}},
        {QStringLiteral("1x1"), 1, {}},
        {QStringLiteral("2x2"), 2, {}},
        {QStringLiteral("3x3"), 3, {}},
        {QStringLiteral("4x4"), 4, {}},
    };
    return all;
}

// How far the centres of two spans along one axis are apart, in half slots.
int centreDistance(int start, int span, int otherStart, int otherSpan) {
    return std::abs((2 * start + span) - (2 * otherStart + otherSpan));
}

}  // namespace

int neighbourCell(const std::vector<CellRect>& cells, int from, int key) {
    if (from < 0 || from >= static_cast<int>(cells.size())) return -1;
    const CellRect& a = cells[static_cast<std::size_t>(from)];
    int best = -1, bestDistance = 0;
    for (std::size_t j = 0; j < cells.size(); ++j) {
        const CellRect& b = cells[j];
        const bool rowsMeet = b.row < a.row + a.rowSpan && a.row < b.row + b.rowSpan;
        const bool columnsMeet =
            b.column < a.column + a.columnSpan && a.column < b.column + b.columnSpan;
        bool beside = false;
        switch (key) {
            case Qt::Key_Left:
                beside = rowsMeet && b.column + b.columnSpan == a.column;
                break;
            case Qt::Key_Right:
                beside = rowsMeet && b.column == a.column + a.columnSpan;
                break;
            case Qt::Key_Up:
                beside = columnsMeet && b.row + b.rowSpan == a.row;
                break;
            case Qt::Key_Down:
                beside = columnsMeet && b.row == a.row + a.rowSpan;
                break;
            default:
                return -1;
        }
        if (!beside) continue;
        const int distance = key == Qt::Key_Left || key == Qt::Key_Right
                                 ? centreDistance(b.row, b.rowSpan, a.row, a.rowSpan)
                                 : centreDistance(b.column, b.columnSpan, a.column, a.columnSpan);
        if (best < 0 || distance < bestDistance) {
            best = static_cast<int>(j);
            bestDistance = distance;
        }
    }
    return best;
}

const std::vector<QString>& Layout::templateNames() {
    static const std::vector<QString> names = [] {
        std::vector<QString> out;
        for (const Template& t : templates()) out.push_back(t.name);
        return out;
    }();
    return names;
}

bool Layout::applyTemplate(const QString& templateName) {
    for (const Template& t : templates()) {
        if (t.name != templateName) continue;
        std::vector<CellRect> grid = t.large;
        fillGaps(t.side, t.side, grid);
        std::sort(grid.begin(), grid.end(), [](const CellRect& x, const CellRect& y) {
            return std::pair(x.row, x.column) < std::pair(y.row, y.column);
        });
        std::vector<std::optional<CameraRef>> cameras = cells;
        rows = columns = t.side;
        setCells(std::move(grid), std::move(cameras));
        return true;
    }
    return false;
}

QString Layout::templateName() const {
    for (const Template& t : templates()) {
        Layout shape;
        shape.applyTemplate(t.name);
        if (shape.rows == rows && shape.columns == columns && shape.rects == rects) return t.name;
    }
    return {};
}

bool Layout::tiles(int rows, int columns, const std::vector<CellRect>& rects) {
    if (rows < kMinSide || columns < kMinSide || rows > kMaxSide || columns > kMaxSide)
        return false;
    std::vector<int> covered(static_cast<std::size_t>(rows * columns));
    for (const CellRect& r : rects) {
        if (r.row < 0 || r.column < 0 || r.rowSpan < 1 || r.columnSpan < 1 ||
            r.row + r.rowSpan > rows || r.column + r.columnSpan > columns)
            return false;
        for (int y = r.row; y < r.row + r.rowSpan; ++y)
            for (int x = r.column; x < r.column + r.columnSpan; ++x)
                if (covered[static_cast<std::size_t>(y * columns + x)]++) return false;
    }
    return std::all_of(covered.begin(), covered.end(), [](int n) { return n == 1; });
}

CellRect Layout::rectOf(int i) const {
    if (!rects.empty())
        return i >= 0 && i < static_cast<int>(rects.size()) ? rects[static_cast<std::size_t>(i)]
                                                            : CellRect{};
    return {i / std::max(columns, 1), i % std::max(columns, 1), 1, 1};
}

std::vector<CellRect> Layout::cellRects() const {
    std::vector<CellRect> out;
    for (int i = 0; i < cellCount(); ++i) out.push_back(rectOf(i));
    return out;
}

int Layout::cellAt(int row, int column) const {
    if (row < 0 || column < 0 || row >= rows || column >= columns) return -1;
    if (rects.empty()) return row * columns + column;
    for (std::size_t i = 0; i < rects.size(); ++i)
        if (rects[i].contains(row, column)) return static_cast<int>(i);
    return -1;
}

bool Layout::setCells(std::vector<CellRect> newRects,
                      std::vector<std::optional<CameraRef>> cameras) {
    if (!tiles(rows, columns, newRects)) return false;
    cameras.resize(newRects.size());
    std::vector<std::size_t> order(newRects.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return std::pair(newRects[x].row, newRects[x].column) <
               std::pair(newRects[y].row, newRects[y].column);
    });
    rects.clear();
    cells.clear();
    for (std::size_t i : order) {
        rects.push_back(newRects[i]);
        cells.push_back(std::move(cameras[i]));
    }
    // Every cell a slot of its own, in reading order: the even grid.
    if (std::all_of(rects.begin(), rects.end(),
                    [](const CellRect& r) { return r.rowSpan == 1 && r.columnSpan == 1; }))
        rects.clear();
    return true;
}

bool Layout::join(const CellRect& wanted) {
    CellRect area = wanted;
    const int bottom = std::min(area.row + area.rowSpan, rows);
    const int right = std::min(area.column + area.columnSpan, columns);
    area.row = std::max(area.row, 0);
    area.column = std::max(area.column, 0);
    area.rowSpan = bottom - area.row;
    area.columnSpan = right - area.column;
    if (area.rowSpan < 1 || area.columnSpan < 1) return false;
    const std::vector<CellRect> all = cellRects();
    // Grow the area over every cell it cuts, until it cuts none.
    for (bool grown = true; grown;) {
        grown = false;
        for (const CellRect& r : all) {
            if (!r.intersects(area)) continue;
            const int top = std::min(area.row, r.row), left = std::min(area.column, r.column);
            const int end = std::max(area.row + area.rowSpan, r.row + r.rowSpan);
            const int endColumn = std::max(area.column + area.columnSpan, r.column + r.columnSpan);
            const CellRect bigger{top, left, end - top, endColumn - left};
            if (!(bigger == area)) {
                area = bigger;
                grown = true;
            }
        }
    }
    std::vector<CellRect> kept;
    std::vector<std::optional<CameraRef>> cameras;
    std::optional<CameraRef> camera;
    int inside = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::optional<CameraRef> c = i < cells.size() ? cells[i] : std::nullopt;
        if (!all[i].intersects(area)) {
            kept.push_back(all[i]);
            cameras.push_back(c);
            continue;
        }
        ++inside;
        // Cells are in reading order: the first inside is the top-left one.
        if (!camera) camera = c;
    }
    if (inside < 2) return false;
    kept.push_back(area);
    cameras.push_back(camera);
    return setCells(std::move(kept), std::move(cameras));
}

bool Layout::split(int cell) {
    if (cell < 0 || cell >= cellCount()) return false;
    const CellRect whole = rectOf(cell);
    if (whole.rowSpan == 1 && whole.columnSpan == 1) return false;
    std::vector<CellRect> all = cellRects();
    std::vector<std::optional<CameraRef>> cameras = cells;
    cameras.resize(all.size());
    all[static_cast<std::size_t>(cell)] = {whole.row, whole.column, 1, 1};
    fillGaps(rows, columns, all);
    return setCells(std::move(all), std::move(cameras));
}

void Layout::resize(int newRows, int newColumns) {
    newRows = std::clamp(newRows, kMinSide, kMaxSide);
    newColumns = std::clamp(newColumns, kMinSide, kMaxSide);
    std::vector<CellRect> kept;
    std::vector<std::optional<CameraRef>> cameras;
    for (int i = 0; i < cellCount(); ++i) {
        CellRect r = rectOf(i);
        if (r.row >= newRows || r.column >= newColumns) continue;
        r.rowSpan = std::min(r.rowSpan, newRows - r.row);
        r.columnSpan = std::min(r.columnSpan, newColumns - r.column);
        kept.push_back(r);
        cameras.push_back(static_cast<std::size_t>(i) < cells.size() ? cells[i] : std::nullopt);
    }
    fillGaps(newRows, newColumns, kept);
    rows = newRows;
    columns = newColumns;
    setCells(std::move(kept), std::move(cameras));
}

std::optional<CameraRef> Layout::cell(int row, int column) const {
    const int i = cellAt(row, column);
    if (i < 0 || static_cast<std::size_t>(i) >= cells.size()) return std::nullopt;
    return cells[static_cast<std::size_t>(i)];
}

bool Layout::setCell(int row, int column, std::optional<CameraRef> camera) {
    const int i = cellAt(row, column);
    if (i < 0) return false;
    cells.resize(static_cast<std::size_t>(cellCount()));
    cells[static_cast<std::size_t>(i)] = std::move(camera);
    return true;
}

// ---- ControlRoom ----

const Layout* ControlRoom::layout(const QString& name) const {
    for (const Layout& l : layouts)
        if (l.name == name) return &l;
    return nullptr;
}

const Tour* ControlRoom::tour(const QString& name) const {
    for (const Tour& t : tours)
        if (t.name == name) return &t;
    return nullptr;
}

tx::JsonValue ControlRoom::toJson() const {
    tx::JsonArray l, t, w;
    for (const Layout& layout : layouts) l.push_back(layoutJson(layout));
    for (const Tour& tour : tours) t.push_back(tourJson(tour));
    for (const WindowState& window : windows) w.push_back(windowJson(window));
    return tx::JsonObject{
        {"layouts", std::move(l)}, {"tours", std::move(t)}, {"windows", std::move(w)}};
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
    if (skipped) *skipped = read.changed;
    return room;
}
