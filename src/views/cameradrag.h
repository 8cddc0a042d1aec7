// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a drag between the viewer's widgets carries. A camera (from the
// camera panel) travels as its CameraRef's JSON form under kCameraMime, and
// its name as plain text for other programs; a camera wall's cell travels
// under kCellMime with the identity of the wall it left, so that only the
// same wall takes it (as a swap of two cells).

#include <QString>

#include <memory>
#include <optional>

#include "layout.h"

class QMimeData;

namespace cameradrag {

inline constexpr char kCameraMime[] = "application/x-zorvan-camera";
inline constexpr char kCellMime[] = "application/x-zorvan-cell";

std::unique_ptr<QMimeData> cameraData(const CameraRef& ref, const QString& name);
// The camera the data carries; none without one or when it does not read.
std::optional<CameraRef> camera(const QMimeData& data);

// wall: the wall's own identity within this process (its address).
std::unique_ptr<QMimeData> cellData(const void* wall, int cell);
// The cell the data carries when it left wall (of this process); none else.
std::optional<int> cell(const QMimeData& data, const void* wall);

}  // namespace cameradrag
