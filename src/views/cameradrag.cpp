// SPDX-License-Identifier: GPL-3.0-or-later
#include "cameradrag.h"

#include <QCoreApplication>
#include <QMimeData>

#include "TXJsonParser.h"
#include "TXJsonWriter.h"

namespace cameradrag {

namespace {

// The process and the wall's address: an address alone could be another
// viewer's wall.
QByteArray wallIdentity(const void* wall) {
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(reinterpret_cast<quintptr>(wall), 16);
}

}  // namespace

std::unique_ptr<QMimeData> cameraData(const CameraRef& ref, const QString& name) {
    auto data = std::make_unique<QMimeData>();
    const std::optional<std::string> json = tx::TXJsonWriter().stringWithObject(ref.toJson());
    if (json) data->setData(kCameraMime, QByteArray::fromStdString(*json));
    data->setText(name);
    return data;
}

std::optional<CameraRef> camera(const QMimeData& data) {
    if (!data.hasFormat(kCameraMime)) return std::nullopt;
    const std::optional<tx::JsonValue> json =
        tx::TXJsonParser().objectWithString(data.data(kCameraMime).toStdString());
    return json ? CameraRef::fromJson(*json) : std::nullopt;
}

std::unique_ptr<QMimeData> cellData(const void* wall, int cell) {
    auto data = std::make_unique<QMimeData>();
    data->setData(kCellMime, wallIdentity(wall) + ' ' + QByteArray::number(cell));
    return data;
}

std::optional<int> cell(const QMimeData& data, const void* wall) {
    if (!data.hasFormat(kCellMime)) return std::nullopt;
    const QList<QByteArray> parts = data.data(kCellMime).split(' ');
    bool ok = false;
    const int index = parts.size() == 2 ? parts[1].toInt(&ok) : -1;
    if (!ok || index < 0 || parts[0] != wallIdentity(wall)) return std::nullopt;
    return index;
}

}  // namespace cameradrag
