// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog and its Layouts tab; the Tours tab is in layoutseditor_tours.cpp.
#include "layoutseditor.h"

#include "namedlist.h"
#include "roomedits.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

LayoutsEditor::LayoutsEditor(const ControlRoom& room,
                             std::vector<std::pair<QString, QString>> servers, QWidget* parent)
    : QDialog(parent),
      room_(room),
      servers_(std::move(servers)),
      tabs_(new QTabWidget(this)),
      message_(new QLabel(this)) {
    setWindowTitle(QCoreApplication::translate("Zorvan", "Edit Layouts"));
    tabs_->addTab(makeLayoutsTab(), QCoreApplication::translate("Zorvan", "Layouts"));
    tabs_->addTab(makeToursTab(), QCoreApplication::translate("Zorvan", "Tours"));
    message_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(message_);
    layout->addWidget(buttons);
    layouts_->refill(0);
    tours_->refill(0);
    resize(560, 420);
}

roomedits::Renames LayoutsEditor::renames() const {
    return {layouts_->renames(), tours_->renames()};
}

void LayoutsEditor::say(const QString& text) {
    message_->setText(text);
}

void LayoutsEditor::selectLayout(const QString& name) {
    tabs_->setCurrentIndex(0);
    for (std::size_t i = 0; i < room_.layouts.size(); ++i)
        if (room_.layouts[i].name == name) layouts_->refill(static_cast<int>(i));
}

QWidget* LayoutsEditor::makeLayoutsTab() {
    auto* tab = new QWidget(this);
    NamedList::Edits edits{[this] {
                               QStringList names;
                               for (const Layout& l : room_.layouts) names << l.name;
                               return names;
                           },
                           roomedits::addLayout,
                           roomedits::duplicateLayout,
                           roomedits::renameLayout,
                           roomedits::removeLayout,
                           roomedits::moveLayout,
                           QCoreApplication::translate("Zorvan", "Layout")};
    layouts_ = new NamedList(&room_, std::move(edits), tab);
    layouts_->setObjectName(QStringLiteral("layouts"));
    layouts_->currentChanged = [this](int index) { showLayout(index); };
    // A layout renamed or removed changes the tours' steps.
    layouts_->roomChanged = [this] { showTour(tours_->current()); };
    layouts_->say = [this](const QString& text) { say(text); };

    rows_ = new QSpinBox(tab);
    columns_ = new QSpinBox(tab);
    rows_->setObjectName(QStringLiteral("rows"));
    columns_->setObjectName(QStringLiteral("columns"));
    for (QSpinBox* side : {rows_, columns_}) {
        side->setRange(Layout::kMinSide, Layout::kMaxSide);
        connect(side, &QSpinBox::valueChanged, this, [this] {
            const int index = layouts_->current();
            if (showing_ || index < 0) return;
            room_.layouts[static_cast<std::size_t>(index)].resize(rows_->value(),
                                                                  columns_->value());
        });
    }
    auto* grid = new QFormLayout;
    grid->addRow(QCoreApplication::translate("Zorvan", "Rows:"), rows_);
    grid->addRow(QCoreApplication::translate("Zorvan", "Columns:"), columns_);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(layouts_, 1);
    layout->addLayout(grid);
    return tab;
}

void LayoutsEditor::showLayout(int index) {
    const bool any = index >= 0 && static_cast<std::size_t>(index) < room_.layouts.size();
    showing_ = true;
    rows_->setValue(any ? room_.layouts[static_cast<std::size_t>(index)].rows : 1);
    columns_->setValue(any ? room_.layouts[static_cast<std::size_t>(index)].columns : 1);
    showing_ = false;
    rows_->setEnabled(any);
    columns_->setEnabled(any);
}
