// SPDX-License-Identifier: GPL-3.0-or-later
#include "camerapanel.h"

#include "cameradrag.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace {

// A server row's serverId, and a camera row's CameraRef, in the row.
constexpr int kServerIdRole = Qt::UserRole;
constexpr int kCameraRole = Qt::UserRole + 1;

std::optional<CameraRef> cameraOf(const QTreeWidgetItem* item) {
    const QVariant v = item ? item->data(0, kCameraRole) : QVariant();
    return v.isValid() ? std::optional(v.value<CameraRef>()) : std::nullopt;
}

// The tree: camera rows drag as cameras, server rows do not drag at all,
// and Enter opens the current camera.
class PanelTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::function<void(QTreeWidgetItem*)> activate;

protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override {
        const std::optional<CameraRef> ref =
            items.size() == 1 ? cameraOf(items.front()) : std::nullopt;
        return ref ? cameradrag::cameraData(*ref, items.front()->text(0)).release() : nullptr;
    }
    QStringList mimeTypes() const override { return {cameradrag::kCameraMime}; }

    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            cameraOf(currentItem())) {
            activate(currentItem());
            return;
        }
        QTreeWidget::keyPressEvent(event);
    }
};

}  // namespace

CameraPanel::CameraPanel(QWidget* parent) : QWidget(parent) {
    auto* tree = new PanelTree(this);
    tree->activate = [this](QTreeWidgetItem* item) { activate(item); };
    tree_ = tree;
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({QCoreApplication::translate("Zorvan", "Camera"),
                            QCoreApplication::translate("Zorvan", "State")});
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setDragEnabled(true);
    tree_->setDragDropMode(QAbstractItemView::DragOnly);
    tree_->setDefaultDropAction(Qt::CopyAction);
    tree_->setUniformRowHeights(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    setMinimumWidth(200);
    connect(tree_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { activate(item); });
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!item->parent()) emit serverExpanded(item->data(0, kServerIdRole).toString());
    });
}

QString CameraPanel::cameraCountText(int count) {
    // English has a text of its own for one, as no English table is
    // installed; a table's "%n cameras" holds every plural form of its
    // language, so a Russian 21 reads "21 камера".
    if (count == 1) return QCoreApplication::translate("Zorvan", "1 camera");
    return QCoreApplication::translate("Zorvan", "%n cameras", nullptr, count);
}

void CameraPanel::activate(QTreeWidgetItem* item) {
    if (const std::optional<CameraRef> ref = cameraOf(item)) emit cameraActivated(*ref);
}

void CameraPanel::setServers(const std::vector<PanelServer>& servers) {
    // What to keep: the expanded servers and the selected row, by identity.
    std::set<QString> expanded;
    QString selectedServer, selectedCamera;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* server = tree_->topLevelItem(i);
        if (server->isExpanded()) expanded.insert(server->data(0, kServerIdRole).toString());
    }
    if (const QTreeWidgetItem* current = tree_->currentItem(); current && current->isSelected()) {
        const QTreeWidgetItem* server = current->parent() ? current->parent() : current;
        selectedServer = server->data(0, kServerIdRole).toString();
        if (current->parent()) selectedCamera = current->text(0);
    }

    // Rows are made anew: expanding them below must not ask for the lists
    // again, so the tree says nothing while it is rebuilt.
    const QSignalBlocker quiet(tree_);
    tree_->clear();
    QTreeWidgetItem* select = nullptr;
    for (const PanelServer& s : servers) {
        auto* server = new QTreeWidgetItem(tree_, {s.name, s.state});
        server->setData(0, kServerIdRole, s.serverId);
        server->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);  // not draggable
        if (s.state.isEmpty())
            server->setText(1, cameraCountText(static_cast<int>(s.cameras.size())));
        // Always expandable: its cameras come when it is opened.
        server->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        for (const PanelServer::Camera& c : s.cameras) {
            auto* camera = new QTreeWidgetItem(server, {c.name});
            camera->setData(0, kCameraRole, QVariant::fromValue(c.ref));
            camera->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
            if (s.serverId == selectedServer && c.name == selectedCamera && !select)
                select = camera;
        }
        if (s.serverId == selectedServer && selectedCamera.isEmpty()) select = server;
        if (expanded.count(s.serverId)) server->setExpanded(true);
    }
    if (select) tree_->setCurrentItem(select);
}
