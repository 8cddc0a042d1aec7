// SPDX-License-Identifier: GPL-3.0-or-later
#include "activitylistwindow.h"

#include "activitylog.h"
#include "zvtexts.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kSerialRole = Qt::UserRole;

// h:mm:ss, or m:ss under an hour.
QString durationText(qint64 ms) {
    const qint64 s = ms / 1000;
    const QString ss = QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0'));
    if (s < 3600) return QStringLiteral("%1:%2").arg(s / 60).arg(ss);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(ss);
}

QString timeText(const QDateTime& start) {
    const QLocale locale;
    if (start.date() == QDate::currentDate())
        return locale.toString(start.time(), QLocale::LongFormat);
    return locale.toString(start, QLocale::ShortFormat);
}

}  // namespace

ActivityListWindow* ActivityListWindow::open(QWidget* opener, ActivityLog* log, ShowCamera show) {
    auto* window = opener->findChild<ActivityListWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) window = new ActivityListWindow(opener, log, std::move(show));
    window->show();
    window->raise();
    window->activateWindow();
    window->list_->setFocus(Qt::ActiveWindowFocusReason);
    return window;
}

ActivityListWindow::ActivityListWindow(QWidget* opener, ActivityLog* log, ShowCamera show)
    : QWidget(opener, Qt::Window), log_(log), show_(std::move(show)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(zvText("Activity List"));
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setHeaderLabels(
        {zvText("Time"), zvText("Camera"), zvText("Server"), zvText("Duration")});
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    resize(560, 420);
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const ActivityLog::Event* e =
            log_ && item ? log_->find(item->data(0, kSerialRole).toULongLong()) : nullptr;
        if (e && show_) show_(e->cameraRef());
    });
    if (log_) connect(log_, &ActivityLog::changed, this, &ActivityListWindow::fill);
    fill();
}

void ActivityListWindow::fill() {
    // The event under the cursor stays there as others come.
    const QTreeWidgetItem* current = list_->currentItem();
    const qulonglong keep = current ? current->data(0, kSerialRole).toULongLong() : 0;
    list_->clear();
    if (!log_) return;
    QList<QTreeWidgetItem*> items;
    QTreeWidgetItem* again = nullptr;
    for (const ActivityLog::Event& e : log_->events()) {
        auto* item = new QTreeWidgetItem(
            {timeText(e.start), e.camera, e.server.isEmpty() ? zvText("unknown server") : e.server,
             e.ongoing() ? zvText("ongoing") : durationText(e.durationMs)});
        item->setData(0, kSerialRole, qulonglong(e.serial));
        if (e.serial == keep) again = item;
        items << item;
    }
    list_->addTopLevelItems(items);
    list_->setCurrentItem(again ? again : list_->topLevelItem(0));
}

void ActivityListWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
