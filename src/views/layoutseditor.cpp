// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog and its Layouts tab; the Tours tab is in layoutseditor_tours.cpp.
#include "layoutseditor.h"

#include "activecamerasbox.h"
#include "cellpicker.h"
#include "namedlist.h"
#include "roomedits.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

LayoutsEditor::LayoutsEditor(const ControlRoom& room,
                             std::vector<std::pair<QString, QString>> servers, QWidget* parent,
                             std::map<QString, std::vector<CameraRef>> cameras)
    : QDialog(parent),
      room_(room),
      servers_(std::move(servers)),
      cameras_(std::move(cameras)),
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
    resize(560, 560);
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
            showCells();
        });
    }

    template_ = new QComboBox(tab);
    template_->setObjectName(QStringLiteral("template"));
    for (const QString& name : Layout::templateNames()) template_->addItem(name);
    connect(template_, &QComboBox::currentIndexChanged, this, [this](int choice) {
        Layout* layout = currentLayout();
        if (showing_ || !layout || choice < 0) return;
        layout->applyTemplate(template_->itemText(choice));
        showCells();
    });
    cells_ = new CellPicker(tab);
    cells_->setObjectName(QStringLiteral("cells"));
    connect(cells_, &CellPicker::selectionChanged, this, &LayoutsEditor::updateCellButtons);
    join_ = new QPushButton(QCoreApplication::translate("Zorvan", "Join Cells"), tab);
    split_ = new QPushButton(QCoreApplication::translate("Zorvan", "Split Cell"), tab);
    connect(join_, &QPushButton::clicked, this, &LayoutsEditor::joinCells);
    connect(split_, &QPushButton::clicked, this, &LayoutsEditor::splitCell);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(join_);
    buttons->addWidget(split_);
    buttons->addStretch(1);
    auto* cellsRow = new QHBoxLayout;
    cellsRow->addWidget(cells_, 1);
    cellsRow->addLayout(buttons);

    std::vector<ActiveCamerasBox::Server> watchable;
    for (const auto& [id, name] : servers_) watchable.push_back({id, name, cameras_[id]});
    active_ = new ActiveCamerasBox(std::move(watchable), tab);
    active_->setEdited([this] { return currentLayout(); });

    auto* grid = new QFormLayout;
    grid->addRow(QCoreApplication::translate("Zorvan", "Rows:"), rows_);
    grid->addRow(QCoreApplication::translate("Zorvan", "Columns:"), columns_);
    grid->addRow(QCoreApplication::translate("Zorvan", "Template:"), template_);
    grid->addRow(QCoreApplication::translate("Zorvan", "Cells:"), cellsRow);
    grid->addRow(active_);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(layouts_, 1);
    layout->addLayout(grid, 1);
    return tab;
}

Layout* LayoutsEditor::currentLayout() {
    const int index = layouts_->current();
    if (index < 0 || static_cast<std::size_t>(index) >= room_.layouts.size()) return nullptr;
    return &room_.layouts[static_cast<std::size_t>(index)];
}

void LayoutsEditor::showCells() {
    const Layout* layout = currentLayout();
    showing_ = true;
    if (layout) {
        rows_->setValue(layout->rows);
        columns_->setValue(layout->columns);
    }
    const QString shape = layout ? layout->templateName() : QString();
    template_->setCurrentIndex(shape.isEmpty() ? -1 : template_->findText(shape));
    showing_ = false;
    template_->setEnabled(layout);
    cells_->setEnabled(layout);
    cells_->setCells(layout ? *layout : Layout{QString(), 1, 1, {}});
    updateCellButtons();
    active_->showLayout();
}

void LayoutsEditor::updateCellButtons() {
    const Layout* layout = currentLayout();
    const CellRect chosen = cells_->selection();
    bool joins = false, splits = false;
    if (layout && chosen.rowSpan > 0) {
        Layout joined = *layout;
        joins = joined.join(chosen);
        // The selection lies in one cell of several slots.
        const int cell = layout->cellAt(chosen.row, chosen.column);
        const CellRect whole = layout->rectOf(cell);
        splits =
            cell >= 0 && (whole.rowSpan > 1 || whole.columnSpan > 1) &&
            whole.contains(chosen.row + chosen.rowSpan - 1, chosen.column + chosen.columnSpan - 1);
    }
    join_->setEnabled(joins);
    split_->setEnabled(splits);
}

void LayoutsEditor::joinCells() {
    Layout* layout = currentLayout();
    if (!layout || !layout->join(cells_->selection())) return;
    const CellRect chosen = cells_->selection();
    showCells();
    // The new cell selected, so that Split Cell undoes the join at once.
    cells_->setSelection(layout->rectOf(layout->cellAt(chosen.row, chosen.column)));
}

void LayoutsEditor::splitCell() {
    Layout* layout = currentLayout();
    const CellRect chosen = cells_->selection();
    if (!layout || chosen.rowSpan < 1) return;
    if (!layout->split(layout->cellAt(chosen.row, chosen.column))) return;
    showCells();
}

void LayoutsEditor::showLayout(int index) {
    const bool any = index >= 0 && static_cast<std::size_t>(index) < room_.layouts.size();
    showing_ = true;
    rows_->setValue(any ? room_.layouts[static_cast<std::size_t>(index)].rows : 1);
    columns_->setValue(any ? room_.layouts[static_cast<std::size_t>(index)].columns : 1);
    showing_ = false;
    rows_->setEnabled(any);
    columns_->setEnabled(any);
    cells_->setSelection({0, 0, 0, 0});
    showCells();
}
