// SPDX-License-Identifier: GPL-3.0-or-later
#include "namedlist.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

NamedList::NamedList(ControlRoom* room, Edits edits, QWidget* parent)
    : QWidget(parent), room_(room), edits_(std::move(edits)), list_(new QListWidget(this)) {
    for (const QString& name : edits_.names()) origins_.push_back(name);
    auto* add = new QPushButton(QCoreApplication::translate("Zorvan", "New"), this);
    rename_ = new QPushButton(QCoreApplication::translate("Zorvan", "Rename"), this);
    duplicate_ = new QPushButton(QCoreApplication::translate("Zorvan", "Duplicate"), this);
    remove_ = new QPushButton(QCoreApplication::translate("Zorvan", "Delete"), this);
    up_ = new QPushButton(QCoreApplication::translate("Zorvan", "Move Up"), this);
    down_ = new QPushButton(QCoreApplication::translate("Zorvan", "Move Down"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {add, rename_, duplicate_, remove_, up_, down_}) {
        b->setAutoDefault(false);  // Enter in a name's editor must not close the dialog
        buttons->addWidget(b);
    }
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, [this] {
        const int added = edits_.add(*room_, edits_.newName);
        made(added);
        changed(added);
        if (QListWidgetItem* item = list_->currentItem()) list_->editItem(item);
    });
    connect(rename_, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = list_->currentItem()) list_->editItem(item);
    });
    connect(duplicate_, &QPushButton::clicked, this, [this] {
        const int row = current();
        if (row < 0) return;
        const QString copy =
            QCoreApplication::translate("Zorvan", "%1 copy").arg(list_->item(row)->text());
        const int copied = edits_.duplicate(*room_, row, copy);
        made(copied);
        changed(copied);
    });
    connect(remove_, &QPushButton::clicked, this, [this] {
        const int row = current();
        if (row < 0) return;
        edits_.remove(*room_, row);
        if (static_cast<qsizetype>(origins_.size()) > edits_.names().size())
            origins_.erase(origins_.begin() + row);
        changed(row);
    });
    for (auto [button, by] : {std::pair(up_, -1), std::pair(down_, +1)})
        connect(button, &QPushButton::clicked, this, [this, by = by] {
            const int from = current();
            const int to = edits_.move(*room_, from, by);
            if (to != from)
                std::swap(origins_.at(static_cast<std::size_t>(from)),
                          origins_.at(static_cast<std::size_t>(to)));
            changed(to);
        });
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!filling_) renamed(list_->row(item), item->text());
    });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!filling_) selected(row);
    });
}

void NamedList::selected(int row) {
    for (QPushButton* b : {rename_, duplicate_, remove_}) b->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < list_->count());
    if (currentChanged) currentChanged(row);
}

int NamedList::current() const {
    return list_->currentRow();
}

void NamedList::refill(int select) {
    filling_ = true;
    list_->clear();
    for (const QString& name : edits_.names()) {
        auto* item = new QListWidgetItem(name, list_);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    const int row = std::min(select, list_->count() - 1);
    list_->setCurrentRow(row);
    filling_ = false;
    selected(row);
}

void NamedList::renamed(int row, const QString& name) {
    const roomedits::NameCheck check = edits_.rename(*room_, row, name);
    if (say)
        say(check == roomedits::NameCheck::Empty
                ? QCoreApplication::translate("Zorvan", "A name cannot be empty.")
            : check == roomedits::NameCheck::Taken
                ? QCoreApplication::translate("Zorvan", "The name “%1” is taken.")
                      .arg(name.trimmed())
                : QString());
    // The name as it now stands: the new one trimmed, or the old one back.
    // The item is being edited, so it is changed in place, not made anew.
    const QStringList names = edits_.names();
    if (QListWidgetItem* item = list_->item(row); item && row < names.size()) {
        filling_ = true;
        item->setText(names[row]);
        filling_ = false;
    }
    if (roomChanged) roomChanged();
}

void NamedList::made(int index) {
    // Only an entry the list grew by is new.
    if (index >= 0 && index <= static_cast<int>(origins_.size()) &&
        static_cast<qsizetype>(origins_.size()) < edits_.names().size())
        origins_.insert(origins_.begin() + index, QString());
}

std::map<QString, QString> NamedList::renames() const {
    std::map<QString, QString> out;
    const QStringList names = edits_.names();
    for (qsizetype i = 0; i < names.size() && i < static_cast<qsizetype>(origins_.size()); ++i) {
        const QString& first = origins_[static_cast<std::size_t>(i)];
        if (!first.isEmpty() && first != names[i]) out[first] = names[i];
    }
    return out;
}

void NamedList::changed(int select) {
    refill(select);
    if (roomChanged) roomChanged();
}
