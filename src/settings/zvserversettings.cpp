// SPDX-License-Identifier: GPL-3.0-or-later
#include "zvserversettings.h"

#include "camserver.h"
#include "passwordvault.h"
#include "serverlistmodel.h"
#include "settings.h"
#include "ui_zvserversettings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QShortcut>

#include <algorithm>

ZVServerSettings::ZVServerSettings(Settings& store, QWidget* parent)
    : QWidget(parent, Qt::Window),
      store_(store),
      ui_(std::make_unique<Ui::ZVServerSettings>()),
      serversArray_(new ServerListModel(this)) {
    ui_->setupUi(this);
    ui_->serversTable->setModel(serversArray_);
    ui_->password->setEchoMode(QLineEdit::Password);

    connect(ui_->addButton, &QAbstractButton::clicked, this, &ZVServerSettings::addServer);
    connect(ui_->removeButton, &QAbstractButton::clicked, this, &ZVServerSettings::removeServer);
    connect(ui_->serversTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ZVServerSettings::showSelected);
    connectField(ui_->name, &CamServer::setName);
    connectField(ui_->address, &CamServer::setHost);
    connectField(ui_->port, &CamServer::setPort);
    connectField(ui_->login, &CamServer::setLogin);
    connectField(ui_->password, &CamServer::setPassword);
    connectField(ui_->fps, &CamServer::setFps);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    ui_->keyringBox->setEnabled(false);
    fillFromStore();
    translateCaptions();
    // The table would mark its first row as current on taking the focus,
    // which looks like a selection; the window opens with the focus on +.
    ui_->addButton->setFocus();
}

ZVServerSettings::~ZVServerSettings() = default;

void ZVServerSettings::fillFromStore() {
    for (const auto& server : store_.getServers()) serversArray_->append(server);
    // Nothing is selected when the window first appears.
    ui_->serversTable->selectionModel()->clearSelection();
    ui_->serversTable->selectionModel()->setCurrentIndex(QModelIndex(),
                                                         QItemSelectionModel::NoUpdate);
    showSelected();
}

void ZVServerSettings::translateCaptions() {
    // The application's own translation, in the context of its other texts.
    const auto text = [](const char* key) { return QCoreApplication::translate("Zorvan", key); };
    ui_->nameLbl->setText(text(QT_TRANSLATE_NOOP("Zorvan", "Server:")));
    ui_->addressLbl->setText(text(QT_TRANSLATE_NOOP("Zorvan", "Address:")));
    ui_->portLbl->setText(text(QT_TRANSLATE_NOOP("Zorvan", "Port:")));
    ui_->loginLbl->setText(text(QT_TRANSLATE_NOOP("Zorvan", "Username:")));
    ui_->passwordLbl->setText(text(QT_TRANSLATE_NOOP("Zorvan", "Password:")));
    ui_->fpsLbl->setText(text(QT_TRANSLATE_NOOP("Zorvan", "fps:")));
}

void ZVServerSettings::connectField(QLineEdit* field, void (CamServer::*set)(const QString&)) {
    // textEdited comes from typing only, not from showing a record.
    connect(field, &QLineEdit::textEdited, this, [this, set](const QString& text) {
        const QModelIndexList rows = ui_->serversTable->selectionModel()->selectedRows();
        if (rows.isEmpty()) return;
        const int row = rows.first().row();
        if (const auto server = serversArray_->at(row)) {
            emit editing(server);
            ((*server).*set)(text);
            serversArray_->refresh(row);
        }
    });
}

void ZVServerSettings::showSelected() {
    const std::shared_ptr<CamServer> server = selectedServer();
    const struct {
        QLineEdit* field;
        QString value;
    } fields[] = {
        {ui_->name, server ? server->name() : QString()},
        {ui_->address, server ? server->host() : QString()},
        {ui_->port, server ? server->port() : QString()},
        {ui_->login, server ? server->login() : QString()},
        {ui_->password, server ? server->password() : QString()},
        {ui_->fps, server ? server->fps() : QString()},
    };
    for (const auto& f : fields) {
        f.field->setText(f.value);
        f.field->setEnabled(server != nullptr);
    }
    ui_->removeButton->setEnabled(server != nullptr);
}

const std::vector<std::shared_ptr<CamServer>>& ZVServerSettings::servers() const {
    return serversArray_->servers();
}

std::shared_ptr<CamServer> ZVServerSettings::selectedServer() const {
    const QModelIndexList rows = ui_->serversTable->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : serversArray_->at(rows.first().row());
}

void ZVServerSettings::selectRow(int row) {
    QItemSelectionModel* selection = ui_->serversTable->selectionModel();
    if (row < 0 || row >= serversArray_->rowCount()) {
        selection->clearSelection();
        return;
    }
    selection->setCurrentIndex(serversArray_->index(row),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ZVServerSettings::addServer() {
    const auto server = CamServer::create();
    emit editing(server);
    serversArray_->append(server);
    selectRow(serversArray_->rowCount() - 1);
    ui_->name->setFocus();
}

void ZVServerSettings::removeServer() {
    const QModelIndexList rows = ui_->serversTable->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    const int row = rows.first().row();
    if (const auto server = serversArray_->at(row)) emit editing(server);
    serversArray_->removeAt(row);
    selectRow(std::min(row, serversArray_->rowCount() - 1));
    showSelected();
}

void ZVServerSettings::showAndActivate() {
    show();
    raise();
    activateWindow();
}

void ZVServerSettings::applyToStore() {
    // The records are compared as objects: two servers with equal fields are
    // still two servers.
    const auto& mine = serversArray_->servers();
    for (const auto& server : mine) store_.updateServer(server);
    std::vector<std::shared_ptr<CamServer>> gone;
    for (const auto& server : store_.getServers()) {
        if (std::find(mine.begin(), mine.end(), server) == mine.end()) gone.push_back(server);
    }
    for (const auto& server : gone) store_.deleteServer(server);
    store_.save();
    if (vault_) vault_->storeChanged();
}

void ZVServerSettings::setPasswordVault(PasswordVault* vault) {
    vault_ = vault;
    connect(vault, &PasswordVault::changed, this, &ZVServerSettings::showVault);
    // clicked comes from the person only, not from showVault().
    connect(ui_->keyringBox, &QAbstractButton::clicked, this,
            [this](bool on) { vault_->setKeepInKeyring(on); });
    showVault();
}

void ZVServerSettings::showVault() {
    ui_->keyringBox->setChecked(vault_->keepInKeyring());
    ui_->keyringBox->setEnabled(vault_->canChange());
    ui_->keyringBox->setToolTip(vault_->reason());
}

void ZVServerSettings::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A keyring unlocked or started since is found when the list opens.
    if (vault_) vault_->refresh();
}

void ZVServerSettings::closeEvent(QCloseEvent* event) {
    applyToStore();
    event->accept();
    emit closed();
}
