// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a layout's cameras again, and the cells of a layout's grid.

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

bool ActiveCameras::watches(const QString& serverId, const QString& uri,
                            const QString& name) const {
    if (serverId.isEmpty()) return false;
    if (std::find(servers.begin(), servers.end(), serverId) != servers.end()) return true;
    return std::any_of(cameras.begin(), cameras.end(), [&](const CameraRef& c) {
        return CameraActivity{c, {}, {}, false}.names(serverId, uri, name);
    });
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
