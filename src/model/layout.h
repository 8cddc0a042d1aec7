// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The control room's plain values: layouts that mix cameras of several
// servers, tours that step through layouts and server walls, and the
// windows that show them. They hold no server records, only names of them
// that survive runs (a server's serverId, a camera's uri or name), and they
// go to and come from their JSON form without throwing: a file in the
// user's folder may hold anything, and what cannot be used is skipped.

#include <QRect>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "TXJsonValue.h"
#include "camserver.h"

// One camera, named so that it is found again after the server's list
// changes: its server by the server's own identity (serverId, untouched by
// a rename, a new address or port, or a reordered server list), the camera
// by what its server gives, strongest first.
struct CameraRef {
    QString serverId;
    QString cameraUri;   // the camera's "uri"; null when its server gives none
    QString cameraName;  // its name; null when none
    int position = -1;   // its place in the server's list when it was chosen

    // The reference to camera `index` of a server's list; none when index is
    // outside the list.
    static std::optional<CameraRef> to(const QString& serverId, const CameraList& cameras,
                                       std::int64_t index);
    // Its JSON form, an object with "serverId" and, when known, "uri",
    // "name" and "position": the form a layout's cells are written in, and
    // the one a camera dragged between widgets carries.
    tx::JsonValue toJson() const;
    // Reads the JSON form; none when it is no object or has no server
    // identity (a UUID). A position out of range is clamped, never refused.
    static std::optional<CameraRef> fromJson(const tx::JsonValue& json);
    friend bool operator==(const CameraRef&, const CameraRef&) = default;
};

// Where the camera a reference names now stands in its server's list, or -1
// when it is gone. The rules:
//  - A reference with a uri is found by uri (exact text). Only when no
//    camera of the list has a uri (the server stopped giving them) does the
//    name rule below stand in.
//  - A reference without a uri but with a name is found by name (exact
//    text).
//  - A reference with neither takes the camera at its position, if the list
//    is that long.
// When several cameras match, the one at the reference's position wins,
// else the first of them: a camera that moved in its list stays found.
int findCamera(const CameraList& cameras, const CameraRef& ref);

// A rectangle of a layout's grid, in slots: its top-left slot and how many
// rows and columns it covers.
struct CellRect {
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;

    bool contains(int r, int c) const {
        return r >= row && r < row + rowSpan && c >= column && c < column + columnSpan;
    }
    bool intersects(const CellRect& o) const {
        return row < o.row + o.rowSpan && o.row < row + rowSpan &&
               column < o.column + o.columnSpan && o.column < column + columnSpan;
    }
    friend bool operator==(const CellRect&, const CellRect&) = default;
};

// The drawn cell beside cell from in the direction of an arrow key
// (Qt::Key_Left, Right, Up, Down): of the cells that touch its edge on that
// side, the one whose centre is nearest its own; -1 when there is none
// (the grid's edge) or the key is no arrow.
int neighbourCell(const std::vector<CellRect>& cells, int from, int key);

// What an Active Cameras layout watches: cameras chosen one by one, and
// every camera of the servers chosen (their lists as they are now), at most
// kMaxCameras in all. Its cells show the cameras that moved last, each for
// holdSeconds after its last activity; the layout's own cells are what they
// show while nothing moves.
struct ActiveCameras {
    static constexpr std::size_t kMaxCameras = 64;
    static constexpr int kMinHoldSeconds = 5;
    static constexpr int kMaxHoldSeconds = 120;

    std::vector<CameraRef> cameras;
    std::vector<QString> servers;  // by serverId
    int holdSeconds = 30;
    bool notify = false;  // a desktop notification when one becomes active behind our windows

    // Whether it watches the camera a view names (CameraActivity::names).
    bool watches(const QString& serverId, const QString& uri, const QString& name) const;
    friend bool operator==(const ActiveCameras&, const ActiveCameras&) = default;
};

// A grid of cells, each empty or showing one camera of any server. A drawn
// cell covers a rectangle of the grid's slots: one slot each in an even
// grid, more for the large cell of a control room's layout. cells holds one
// entry per drawn cell, in the reading order of their top-left slots (rows
// top to bottom, each left to right), so that an even grid is in rows.
struct Layout {
    static constexpr int kMinSide = 1;
    static constexpr int kMaxSide = 8;

    QString name;  // its identity among layouts: unique, not empty
    int rows = 2;
    int columns = 2;
    std::vector<std::optional<CameraRef>> cells = std::vector<std::optional<CameraRef>>(4);
    // Each drawn cell's rectangle, in the order of cells; empty for the even
    // grid (every slot a cell of its own). Never holds an even grid, so that
    // equal layouts compare equal: the operations below keep that.
    std::vector<CellRect> rects = {};
    // Set for an Active Cameras layout: its cells follow what moves.
    std::optional<ActiveCameras> active = std::nullopt;

    // The named layouts of cells a layout can take at once: a large cell
    // among small ones ("1+5", "1+7", "1+12", "2+8") and the even grids
    // "1x1" to "4x4".
    static const std::vector<QString>& templateNames();
    // Takes the grid of a template, its cameras kept in reading order as
    // far as its cells go; false for a name that is none.
    bool applyTemplate(const QString& templateName);
    // The template the layout's grid is now; empty when none.
    QString templateName() const;

    // Whether rects cover a rows x columns grid exactly, each slot once.
    static bool tiles(int rows, int columns, const std::vector<CellRect>& rects);

    // The number of drawn cells.
    int cellCount() const {
        return rects.empty() ? rows * columns : static_cast<int>(rects.size());
    }
    // The rectangle of drawn cell i (a slot of its own in an even grid).
    CellRect rectOf(int i) const;
    // Every drawn cell's rectangle, in the order of cells.
    std::vector<CellRect> cellRects() const;
    // The drawn cell that covers row, column; -1 outside the grid.
    int cellAt(int row, int column) const;

    // Makes the cells that area touches one cell (area grows until no cell
    // crosses its edge), with the camera of its top-left cell, or else of
    // the first of them that has one; false when it touches one cell only
    // or lies outside the grid.
    bool join(const CellRect& area);
    // Makes a joined cell one cell a slot again; its camera stays in the
    // top-left one. False for a cell of one slot.
    bool split(int cell);

    // Sets the grid's size, each side clamped to kMinSide..kMaxSide: a cell
    // whose top-left slot is still in the grid keeps its camera, shrunk to
    // the new edge; new slots are cells of their own.
    void resize(int newRows, int newColumns);
    // The camera of the cell that covers row, column; none outside the grid.
    std::optional<CameraRef> cell(int row, int column) const;
    // Puts a camera (or none) into the cell that covers row, column; false
    // outside the grid.
    bool setCell(int row, int column, std::optional<CameraRef> camera);
    // Takes newRects (covering the grid exactly, in any order) as the drawn
    // cells, cameras[i] in the cell of newRects[i] (none past its end), and
    // sorts them into reading order; false, leaving the layout as it was,
    // when they do not tile the grid.
    bool setCells(std::vector<CellRect> newRects, std::vector<std::optional<CameraRef>> cameras);
    friend bool operator==(const Layout&, const Layout&) = default;
};

// One step of a tour: a layout (by its name), or a page of a server's wall.
struct TourStep {
    enum class Kind { Layout, ServerWall };
    static constexpr int kMinDwellSeconds = 1;
    static constexpr int kMaxDwellSeconds = 3600;

    Kind kind = Kind::Layout;
    QString layoutName;     // Layout
    QString serverId;       // ServerWall
    int page = 0;           // ServerWall: the wall's page, from 0
    int dwellSeconds = 10;  // how long the step stays on screen
    friend bool operator==(const TourStep&, const TourStep&) = default;
};

// Steps shown one after another, round and round. Any input pauses the
// tour; it goes on by itself after pauseSeconds without input.
struct Tour {
    static constexpr int kMinPauseSeconds = 1;
    static constexpr int kMaxPauseSeconds = 3600;

    QString name;  // its identity among tours: unique, not empty
    std::vector<TourStep> steps;
    int pauseSeconds = 30;
    // A layout step stays on while one of its cameras is active, for at
    // most one more dwell.
    bool waitForActivity = false;
    friend bool operator==(const Tour&, const Tour&) = default;
};

// A window of the control room: where it was and what it showed.
struct WindowState {
    enum class Shows { Camera, ServerWall, Layout, Tour };

    QString screenName;   // the screen's name, as the window system gives it
    int screenIndex = 0;  // its place among screens, for when the name is gone
    QRect geometry;       // invalid: let the window system place it
    bool fullScreen = false;
    bool locked = false;  // Layouts > Lock Layouts
    Shows shows = Shows::ServerWall;
    QString serverId;  // Camera, ServerWall
    CameraRef camera;  // Camera (its serverId is serverId)
    QString name;      // Layout, Tour: the layout's or tour's name
    friend bool operator==(const WindowState&, const WindowState&) = default;
};

// How one camera's pictures are watched for activity, where it differs from
// the default: how readily a change counts (Off: never judged), and the
// rectangles of the picture that never count (a clock, a tree in the wind),
// in the picture's unit coordinates (0..1). The same values as the
// detector's own, kept here so that the file's model stands alone.
struct CameraActivity {
    enum class Sensitivity { Off, Low, Normal, High };
    static constexpr std::size_t kMaxZones = 16;

    CameraRef camera;
    Sensitivity sensitivity = Sensitivity::Normal;
    std::vector<QRectF> ignoreZones;
    bool notify = false;  // a desktop notification when it becomes active behind our windows

    bool isDefault() const {
        return sensitivity == Sensitivity::Normal && ignoreZones.empty() && !notify;
    }
    // Whether this is the entry of the camera a view names: the same server
    // identity, and the same uri when both have one, else the same name
    // (as findCamera finds a reference again).
    bool names(const QString& serverId, const QString& uri, const QString& name) const {
        if (serverId.isEmpty() || camera.serverId != serverId) return false;
        if (!uri.isEmpty() && !camera.cameraUri.isEmpty()) return uri == camera.cameraUri;
        return !name.isEmpty() && name == camera.cameraName;
    }
    friend bool operator==(const CameraActivity&, const CameraActivity&) = default;
};

// Everything the control room keeps between runs.
struct ControlRoom {
    // Far beyond any real use; a file with more is cut there, so that a
    // damaged one cannot make the viewer build millions of entries.
    static constexpr std::size_t kMaxEntries = 1000;

    std::vector<Layout> layouts;
    std::vector<Tour> tours;
    std::vector<WindowState> windows;
    std::vector<CameraActivity> activity;  // cameras that differ from the default

    const Layout* layout(const QString& name) const;
    const Tour* tour(const QString& name) const;
    // The activity entry of a camera (CameraActivity::names); none when it
    // has the default.
    const CameraActivity* activityOf(const QString& serverId, const QString& uri,
                                     const QString& name) const {
        for (const CameraActivity& a : activity)
            if (a.names(serverId, uri, name)) return &a;
        return nullptr;
    }
    // Keeps entry for its camera in place of the one before; a default one
    // removes it. A new one beyond kMaxEntries is not kept.
    void setActivity(const CameraActivity& entry) {
        const CameraRef& c = entry.camera;
        std::erase_if(activity, [&](const CameraActivity& a) {
            return a.names(c.serverId, c.cameraUri, c.cameraName);
        });
        if (!entry.isDefault() && activity.size() < kMaxEntries) activity.push_back(entry);
    }

    // The JSON form, an object with "layouts", "tours" and "windows", and
    // "activity" when any camera has settings of its own (each entry the
    // camera's reference with "sensitivity" and "ignoreZones", [x, y, w, h]
    // each); an entry of the default, a zone outside 0..1 (clamped) or empty
    // (dropped), and zones beyond kMaxZones are read otherwise and noted.
    tx::JsonValue toJson() const;
    // Reads the JSON form. Never throws: an entry that is not usable (of the
    // wrong type, without a name, a second one of a name, a window without
    // anything to show) is skipped, numbers are clamped to their ranges, and
    // a value that is no object gives an empty control room. ok, when given,
    // tells whether the value had the form's shape at all (an object);
    // skipped whether anything in it was left out or read otherwise than it
    // stands: an entry, a tour's step or a cell dropped, entries beyond
    // kMaxEntries, a member of the wrong type, a number clamped or rounded.
    // What toJson() writes reads back with skipped false; members that are
    // absent, and members the form does not know, do not count.
    static ControlRoom fromJson(const tx::JsonValue& json, bool* ok = nullptr,
                                bool* skipped = nullptr);
    friend bool operator==(const ControlRoom&, const ControlRoom&) = default;
};
