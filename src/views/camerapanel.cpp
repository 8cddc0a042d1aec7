// SPDX-License-Identifier: GPL-3.0-or-later
#include "camerapanel.h"

#include "cameradrag.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
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

// The search field hands Enter, Escape and the Down arrow to the panel.
class SearchField : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void(int)> key;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
            case Qt::Key_Down:
                if (event->modifiers() == Qt::NoModifier ||
                    event->modifiers() == Qt::KeypadModifier) {
                    key(event->key());
                    return;
                }
                break;
            default:
                break;
        }
        QLineEdit::keyPressEvent(event);
    }
};

// A state's dot; the words beside it say the same, for those who cannot
// tell the colours apart.
QIcon dot(const QColor& colour) {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour.darker(150), 1));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return QIcon(pixmap);
}

bool isLive(const PanelServer& server, const PanelServer::Camera& camera) {
    return !server.unavailable && camera.seen == PanelServer::Camera::Seen::Live;
}

// The servers and cameras are the same as before: only states changed.
bool sameRows(const std::vector<PanelServer>& a, const std::vector<PanelServer>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.serverId == y.serverId && x.name == y.name &&
               std::equal(
                   x.cameras.begin(), x.cameras.end(), y.cameras.begin(), y.cameras.end(),
                   [](const auto& c, const auto& d) { return c.name == d.name && c.ref == d.ref; });
    });
}

}  // namespace

CameraPanel::CameraPanel(QWidget* parent)
    : QWidget(parent),
      live_(dot(QColor(0x2e, 0xa0, 0x43))),
      stale_(dot(QColor(0xe0, 0x9a, 0x1a))),
      down_(dot(QColor(0xd0, 0x30, 0x30))),
      waiting_(dot(QColor(0x9a, 0x9a, 0x9a))) {
    auto* search = new SearchField(this);
    search->key = [this](int key) { searchKey(key); };
    search_ = search;
    search_->setPlaceholderText(QCoreApplication::translate("Zorvan", "Find a camera"));
    search_->setClearButtonEnabled(true);
    connect(search_, &QLineEdit::textChanged, this, [this] { applyFilter(true); });
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
    layout->setSpacing(2);
    layout->addWidget(search_);
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

QString CameraPanel::liveCountText(int live, int total) {
    // As cameraCountText: English reads one of one on its own, a table's
    // plural forms follow the total ("из 21 камеры").
    if (total == 1) return QCoreApplication::translate("Zorvan", "%1 of 1 camera live").arg(live);
    return QCoreApplication::translate("Zorvan", "%1 of %n cameras live", nullptr, total).arg(live);
}

QString CameraPanel::cameraStateText(const PanelServer& server, const PanelServer::Camera& camera) {
    using Seen = PanelServer::Camera::Seen;
    QString words;
    if (server.unavailable) {
        words = QCoreApplication::translate("Zorvan", "Server is not available");
    } else {
        switch (camera.seen) {
            case Seen::No:
                if (!camera.active) return {};
                break;
            case Seen::Waiting:
                words = QCoreApplication::translate("Zorvan", "Loading…");
                break;
            case Seen::Live:
                words = QCoreApplication::translate("Zorvan", "Live");
                break;
            case Seen::Stale:
                words = QCoreApplication::translate("Zorvan", "No picture for %1 s")
                            .arg(camera.ageMs / 1000);
                break;
        }
    }
    if (camera.inLayout && camera.seen != Seen::No)
        words +=
            QStringLiteral(" · ") + QCoreApplication::translate("Zorvan", "In the shown layout");
    if (camera.active) {
        const QString mark =
            QStringLiteral("◉ ") + QCoreApplication::translate("Zorvan", "Activity");
        words = words.isEmpty() ? mark : mark + QStringLiteral(" · ") + words;
    }
    return words;
}

QString CameraPanel::serverStateText(const PanelServer& server) {
    const int total = static_cast<int>(server.cameras.size());
    if (total == 0) return server.state.isEmpty() ? cameraCountText(0) : server.state;
    const int live = static_cast<int>(
        std::count_if(server.cameras.begin(), server.cameras.end(),
                      [&](const PanelServer::Camera& c) { return isLive(server, c); }));
    const QString count = liveCountText(live, total);
    // Cameras listed while the lists do not come are the last ones known:
    // the row says so before counting them.
    return server.state.isEmpty() ? count : server.state + QStringLiteral(" · ") + count;
}

void CameraPanel::showStates(QTreeWidgetItem* row, const PanelServer& server) {
    using Seen = PanelServer::Camera::Seen;
    const QString serverText = serverStateText(server);
    row->setText(1, serverText);
    row->setToolTip(0, server.name + '\n' + serverText);
    row->setToolTip(1, serverText);
    row->setIcon(0, server.unavailable ? down_ : QIcon());
    for (int i = 0; i < row->childCount() && i < std::ssize(server.cameras); ++i) {
        const PanelServer::Camera& c = server.cameras[static_cast<std::size_t>(i)];
        QTreeWidgetItem* camera = row->child(i);
        const QString words = cameraStateText(server, c);
        camera->setText(1, words);
        camera->setToolTip(0, words.isEmpty() ? c.name : c.name + '\n' + words);
        camera->setToolTip(1, words);
        if (server.unavailable)
            camera->setIcon(0, down_);
        else if (c.seen == Seen::Live)
            camera->setIcon(0, live_);
        else if (c.seen == Seen::Stale)
            camera->setIcon(0, stale_);
        else if (c.seen == Seen::Waiting)
            camera->setIcon(0, waiting_);
        else
            camera->setIcon(0, QIcon());
    }
}

void CameraPanel::expandServer(const QString& serverId) {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* server = tree_->topLevelItem(i);
        if (server->data(0, kServerIdRole).toString() == serverId) server->setExpanded(true);
    }
}

void CameraPanel::focusSearch() {
    search_->setFocus(Qt::ShortcutFocusReason);
    search_->selectAll();
}

void CameraPanel::applyFilter(bool expand) {
    const QString text = search_->text().trimmed();
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* server = tree_->topLevelItem(i);
        bool any = false;
        for (int k = 0; k < server->childCount(); ++k) {
            QTreeWidgetItem* camera = server->child(k);
            const bool match = camera->text(0).contains(text, Qt::CaseInsensitive);
            camera->setHidden(!match);
            any = any || match;
        }
        server->setHidden(!text.isEmpty() && !any);
        if (expand && !text.isEmpty() && any) server->setExpanded(true);
    }
}

QTreeWidgetItem* CameraPanel::firstMatch() const {
    if (search_->text().trimmed().isEmpty()) return nullptr;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* server = tree_->topLevelItem(i);
        if (server->isHidden()) continue;
        for (int k = 0; k < server->childCount(); ++k)
            if (!server->child(k)->isHidden()) return server->child(k);
    }
    return nullptr;
}

void CameraPanel::searchKey(int key) {
    switch (key) {
        case Qt::Key_Escape:
            if (search_->text().isEmpty())
                emit searchLeft();
            else
                search_->clear();
            break;
        case Qt::Key_Down:
            // Into the list, at the first match (or the first row).
            if (QTreeWidgetItem* first = firstMatch() ? firstMatch() : tree_->topLevelItem(0)) {
                tree_->setCurrentItem(first);
                tree_->setFocus(Qt::TabFocusReason);
            }
            break;
        default:  // Enter
            if (QTreeWidgetItem* first = firstMatch()) activate(first);
            break;
    }
}

void CameraPanel::activate(QTreeWidgetItem* item) {
    if (const std::optional<CameraRef> ref = cameraOf(item)) emit cameraActivated(*ref);
}

void CameraPanel::setServers(const std::vector<PanelServer>& servers) {
    if (sameRows(servers, servers_) && tree_->topLevelItemCount() == std::ssize(servers)) {
        // Nothing moves: a drag, the scroll position and the hovered row stay.
        for (std::size_t i = 0; i < servers.size(); ++i) {
            QTreeWidgetItem* row = tree_->topLevelItem(static_cast<int>(i));
            row->setText(0, servers[i].name);
            showStates(row, servers[i]);
        }
        servers_ = servers;
        return;
    }
    servers_ = servers;
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
        auto* server = new QTreeWidgetItem(tree_, {s.name});
        server->setData(0, kServerIdRole, s.serverId);
        server->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);  // not draggable
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
        showStates(server, s);
        if (expanded.count(s.serverId)) server->setExpanded(true);
    }
    // New cameras may match the search: their servers open.
    applyFilter(true);
    if (select) tree_->setCurrentItem(select);
}
