// SPDX-License-Identifier: GPL-3.0-or-later
#include "activecamerasbox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QSpinBox>
#include <QTreeWidget>

#include <algorithm>

namespace {

// Whether a and b name the same camera of one server.
bool sameCamera(const CameraRef& a, const CameraRef& b) {
    if (a.serverId != b.serverId) return false;
    if (a.cameraUri.isEmpty() || b.cameraUri.isEmpty()) return a.cameraName == b.cameraName;
    return a.cameraUri == b.cameraUri;
}

}  // namespace

ActiveCamerasBox::ActiveCamerasBox(std::vector<Server> servers, QWidget* parent)
    : QWidget(parent),
      servers_(std::move(servers)),
      on_(new QCheckBox(QCoreApplication::translate("Zorvan", "Active Cameras"), this)),
      watched_(new QTreeWidget(this)),
      hold_(new QSpinBox(this)),
      notify_(new QCheckBox(
          QCoreApplication::translate("Zorvan", "Notify when active behind other windows"), this)) {
    notify_->setObjectName(QStringLiteral("activeNotify"));
    on_->setObjectName(QStringLiteral("activeCameras"));
    on_->setToolTip(QCoreApplication::translate(
        "Zorvan",
        "The cells show the watched cameras that moved last, and the layout's own "
        "cameras while nothing moves."));
    watched_->setObjectName(QStringLiteral("watchedCameras"));
    watched_->setHeaderHidden(true);
    hold_->setObjectName(QStringLiteral("activeHold"));
    hold_->setRange(ActiveCameras::kMinHoldSeconds, ActiveCameras::kMaxHoldSeconds);
    hold_->setSuffix(QCoreApplication::translate("Zorvan", " s"));
    for (const Server& server : servers_) {
        auto* top = new QTreeWidgetItem(watched_, {server.name});
        top->setToolTip(
            0, QCoreApplication::translate("Zorvan", "Every camera of %1").arg(server.name));
        top->setCheckState(0, Qt::Unchecked);
        for (const CameraRef& camera : server.cameras)
            (new QTreeWidgetItem(top, {camera.cameraName}))->setCheckState(0, Qt::Unchecked);
    }
    connect(on_, &QCheckBox::toggled, this, [this] { take(); });
    connect(watched_, &QTreeWidget::itemChanged, this, [this] { take(); });
    connect(hold_, &QSpinBox::valueChanged, this, [this] { take(); });
    connect(notify_, &QCheckBox::toggled, this, [this] { take(); });
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(on_);
    form->addRow(QCoreApplication::translate("Zorvan", "Cameras to watch:"), watched_);
    form->addRow(QCoreApplication::translate("Zorvan", "Hold after activity:"), hold_);
    form->addRow(notify_);
    setEdited(nullptr);
}

void ActiveCamerasBox::setEdited(std::function<Layout*()> layout) {
    layout_ = std::move(layout);
    showLayout();
}

void ActiveCamerasBox::showLayout() {
    const Layout* layout = layout_ ? layout_() : nullptr;
    const ActiveCameras* active = layout && layout->active ? &*layout->active : nullptr;
    showing_ = true;
    on_->setEnabled(layout);
    on_->setChecked(active);
    watched_->setEnabled(active);
    hold_->setEnabled(active);
    hold_->setValue(active ? active->holdSeconds : ActiveCameras{}.holdSeconds);
    notify_->setEnabled(active);
    notify_->setChecked(active && active->notify);
    for (std::size_t s = 0; s < servers_.size(); ++s) {
        QTreeWidgetItem* top = watched_->topLevelItem(static_cast<int>(s));
        const Server& server = servers_[s];
        const bool all =
            active && std::count(active->servers.begin(), active->servers.end(), server.serverId);
        top->setCheckState(0, all ? Qt::Checked : Qt::Unchecked);
        for (std::size_t c = 0; c < server.cameras.size(); ++c) {
            const bool chosen =
                active &&
                std::any_of(active->cameras.begin(), active->cameras.end(),
                            [&](const CameraRef& r) { return sameCamera(r, server.cameras[c]); });
            QTreeWidgetItem* item = top->child(static_cast<int>(c));
            item->setCheckState(0, chosen ? Qt::Checked : Qt::Unchecked);
            // Every camera of the server is watched already.
            item->setDisabled(all);
        }
    }
    showing_ = false;
}

void ActiveCamerasBox::take() {
    Layout* layout = layout_ ? layout_() : nullptr;
    if (showing_ || !layout) return;
    if (!on_->isChecked()) {
        layout->active.reset();
        showLayout();
        return;
    }
    const ActiveCameras before = layout->active.value_or(ActiveCameras{});
    ActiveCameras active;
    active.holdSeconds = hold_->value();
    active.notify = notify_->isChecked();
    const auto known = [&](const QString& id) {
        return std::any_of(servers_.begin(), servers_.end(),
                           [&](const Server& s) { return s.serverId == id; });
    };
    // What names a server or a camera not listed here stays as it was.
    const auto listed = [&](const CameraRef& ref) {
        return std::any_of(servers_.begin(), servers_.end(), [&](const Server& s) {
            return std::any_of(s.cameras.begin(), s.cameras.end(),
                               [&](const CameraRef& c) { return sameCamera(c, ref); });
        });
    };
    for (const CameraRef& ref : before.cameras)
        if (!listed(ref)) active.cameras.push_back(ref);
    for (const QString& id : before.servers)
        if (!known(id)) active.servers.push_back(id);
    for (std::size_t s = 0; s < servers_.size(); ++s) {
        const QTreeWidgetItem* top = watched_->topLevelItem(static_cast<int>(s));
        if (top->checkState(0) == Qt::Checked) active.servers.push_back(servers_[s].serverId);
        for (std::size_t c = 0; c < servers_[s].cameras.size(); ++c)
            if (top->child(static_cast<int>(c))->checkState(0) == Qt::Checked &&
                active.cameras.size() < ActiveCameras::kMaxCameras)
                active.cameras.push_back(servers_[s].cameras[c]);
    }
    layout->active = active;
    showLayout();
}
