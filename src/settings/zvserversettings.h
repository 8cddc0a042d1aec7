// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <memory>
#include <vector>

class CamServer;
class PasswordVault;
class QLineEdit;
class ServerListModel;
class Settings;

namespace Ui {
class ZVServerSettings;
}

// The server-list dialog: a table of the servers by name, the six fields of
// the selected record, and controls to add and remove records.
//
// The dialog's list holds the store's own records; a field edit changes the
// record itself at once. Added and removed records stay in the dialog's list
// until the window closes; then the store is made to match it (new records
// appended, vanished ones deleted), saved, and closed() tells the
// application controller to rebuild its servers menu. Typed values are
// stored as typed; the places that build requests from them check them.
// Before a record first changes (or is added or removed), editing() names
// it, and the controller asks nothing of that server until the close, so a
// value the person has not finished typing is never asked; every other
// server goes on.
// Made once per run; its list is filled from the store when it is made.
// Main thread only.
class ZVServerSettings : public QWidget {
    Q_OBJECT

public:
    explicit ZVServerSettings(Settings& store, QWidget* parent = nullptr);
    ~ZVServerSettings() override;

    // Shows the window, brings it to the front and makes it the key window.
    void showAndActivate();

    // The dialog's list, in its order.
    const std::vector<std::shared_ptr<CamServer>>& servers() const;
    // The selected record, or none.
    std::shared_ptr<CamServer> selectedServer() const;
    void selectRow(int row);

    // Appends a new record (empty fields, the record's defaults) and
    // selects it, so the person can type its fields at once.
    void addServer();
    // Takes the selected record out of the dialog's list and selects the one
    // that takes its place, if any.
    void removeServer();

    // Makes the store's list match the dialog's and saves it: what a close
    // does before it announces itself. Also used when the viewer quits with
    // the window open, so that nothing the person did there is lost.
    void applyToStore();

    Ui::ZVServerSettings& ui() { return *ui_; }

    // The check box "Keep passwords in the system keyring" follows vault
    // (not owned; it outlives this window) and turns its choice; each close
    // tells it that the list changed. Without one the box stays disabled.
    void setPasswordVault(PasswordVault* vault);

signals:
    // server is about to change: a field edit, or the record added to or
    // removed from the dialog's list. Told before the record changes, and
    // again at each edit.
    void editing(const std::shared_ptr<CamServer>& server);
    // The window closed and the store holds the dialog's list.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fillFromStore();
    void translateCaptions();
    void showSelected();
    void connectField(QLineEdit* field, void (CamServer::*set)(const QString&));

    Settings& store_;
    std::unique_ptr<Ui::ZVServerSettings> ui_;
    ServerListModel* serversArray_;  // owned by this widget
    PasswordVault* vault_ = nullptr;
    void showVault();
};
