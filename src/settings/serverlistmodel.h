// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>

#include <memory>
#include <vector>

class CamServer;

// The server-list dialog's own list of server records, shown by their names.
// It holds the same record objects as the settings store, not copies; adding
// and removing here leaves the store alone until the dialog closes. Main
// thread only.
class ServerListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    const std::vector<std::shared_ptr<CamServer>>& servers() const { return servers_; }
    std::shared_ptr<CamServer> at(int row) const;

    void append(const std::shared_ptr<CamServer>& server);
    void removeAt(int row);
    // The record at row was edited: its row shows the new name.
    void refresh(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<std::shared_ptr<CamServer>> servers_;
};
