// SPDX-License-Identifier: GPL-3.0-or-later
#include "serverlistmodel.h"

#include "camserver.h"

std::shared_ptr<CamServer> ServerListModel::at(int row) const {
    if (row < 0 || row >= rowCount()) return nullptr;
    return servers_[static_cast<size_t>(row)];
}

void ServerListModel::append(const std::shared_ptr<CamServer>& server) {
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    servers_.push_back(server);
    endInsertRows();
}

void ServerListModel::removeAt(int row) {
    if (row < 0 || row >= rowCount()) return;
    beginRemoveRows(QModelIndex(), row, row);
    servers_.erase(servers_.begin() + row);
    endRemoveRows();
}

void ServerListModel::refresh(int row) {
    if (row < 0 || row >= rowCount()) return;
    emit dataChanged(index(row), index(row), {Qt::DisplayRole});
}

int ServerListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(servers_.size());
}

QVariant ServerListModel::data(const QModelIndex& index, int role) const {
    const std::shared_ptr<CamServer> server = at(index.row());
    if (!server || index.column() != 0) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return server->name();
    return {};
}
