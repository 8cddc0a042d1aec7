// SPDX-License-Identifier: GPL-3.0-or-later
// The layouts editor's Tours tab: the tours, and the steps of the selected one.
#include "layoutseditor.h"

#include "namedlist.h"
#include "roomedits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

QWidget* LayoutsEditor::makeToursTab() {
    auto* tab = new QWidget(this);
    NamedList::Edits edits{[this] {
                               QStringList names;
                               for (const Tour& t : room_.tours) names << t.name;
                               return names;
                           },
                           roomedits::addTour,
                           roomedits::duplicateTour,
                           roomedits::renameTour,
                           roomedits::removeTour,
                           roomedits::moveTour,
                           QCoreApplication::translate("Zorvan", "Tour")};
    tours_ = new NamedList(&room_, std::move(edits), tab);
    tours_->setObjectName(QStringLiteral("tours"));
    tours_->currentChanged = [this](int index) { showTour(index); };
    tours_->say = [this](const QString& text) { say(text); };

    pause_ = new QSpinBox(tab);
    pause_->setRange(Tour::kMinPauseSeconds, Tour::kMaxPauseSeconds);
    pause_->setSuffix(QCoreApplication::translate("Zorvan", " s"));
    connect(pause_, &QSpinBox::valueChanged, this, [this](int seconds) {
        if (Tour* tour = currentTour(); tour && !showing_) tour->pauseSeconds = seconds;
    });
    waitForActivity_ = new QCheckBox(
        QCoreApplication::translate("Zorvan", "Stay on a step while one of its cameras is active"),
        tab);
    waitForActivity_->setObjectName(QStringLiteral("waitForActivity"));
    connect(waitForActivity_, &QCheckBox::toggled, this, [this](bool on) {
        if (Tour* tour = currentTour(); tour && !showing_) tour->waitForActivity = on;
    });

    steps_ = new QListWidget(tab);
    steps_->setObjectName(QStringLiteral("steps"));
    addLayoutStep_ = new QPushButton(QCoreApplication::translate("Zorvan", "Add Layout Step"), tab);
    addWallStep_ = new QPushButton(QCoreApplication::translate("Zorvan", "Add Wall Step"), tab);
    removeStep_ = new QPushButton(QCoreApplication::translate("Zorvan", "Remove"), tab);
    stepUp_ = new QPushButton(QCoreApplication::translate("Zorvan", "Move Up"), tab);
    stepDown_ = new QPushButton(QCoreApplication::translate("Zorvan", "Move Down"), tab);
    auto* stepButtons = new QVBoxLayout;
    for (QPushButton* b : {addLayoutStep_, addWallStep_, removeStep_, stepUp_, stepDown_}) {
        b->setAutoDefault(false);
        stepButtons->addWidget(b);
    }
    stepButtons->addStretch();
    connect(addLayoutStep_, &QPushButton::clicked, this, &LayoutsEditor::addLayoutStep);
    connect(addWallStep_, &QPushButton::clicked, this, &LayoutsEditor::addWallStep);
    connect(removeStep_, &QPushButton::clicked, this, [this] {
        Tour* tour = currentTour();
        const int row = steps_->currentRow();
        if (!tour || !currentStep()) return;
        tour->steps.erase(tour->steps.begin() + row);
        showSteps(row);
    });
    for (auto [button, by] : {std::pair(stepUp_, -1), std::pair(stepDown_, +1)})
        connect(button, &QPushButton::clicked, this, [this, by = by] {
            if (Tour* tour = currentTour())
                showSteps(roomedits::moveStep(*tour, steps_->currentRow(), by));
        });
    connect(steps_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!showing_) showStep(row);
    });

    dwell_ = new QSpinBox(tab);
    dwell_->setRange(TourStep::kMinDwellSeconds, TourStep::kMaxDwellSeconds);
    dwell_->setValue(TourStep{}.dwellSeconds);
    dwell_->setSuffix(QCoreApplication::translate("Zorvan", " s"));
    connect(dwell_, &QSpinBox::valueChanged, this, [this](int seconds) {
        TourStep* step = currentStep();
        if (!step || showing_) return;
        step->dwellSeconds = seconds;
        steps_->currentItem()->setText(stepText(*step));
    });

    auto* stepRow = new QHBoxLayout;
    stepRow->addWidget(steps_, 1);
    stepRow->addLayout(stepButtons);
    auto* form = new QFormLayout;
    form->addRow(QCoreApplication::translate("Zorvan", "Pause after input:"), pause_);
    form->addRow(waitForActivity_);
    form->addRow(QCoreApplication::translate("Zorvan", "Steps:"), stepRow);
    form->addRow(QCoreApplication::translate("Zorvan", "Dwell:"), dwell_);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(tours_, 1);
    layout->addLayout(form, 2);
    return tab;
}

Tour* LayoutsEditor::currentTour() {
    const int index = tours_->current();
    return index >= 0 && static_cast<std::size_t>(index) < room_.tours.size()
               ? &room_.tours[static_cast<std::size_t>(index)]
               : nullptr;
}

TourStep* LayoutsEditor::currentStep() {
    Tour* tour = currentTour();
    const int row = steps_->currentRow();
    return tour && row >= 0 && static_cast<std::size_t>(row) < tour->steps.size()
               ? &tour->steps[static_cast<std::size_t>(row)]
               : nullptr;
}

QString LayoutsEditor::stepText(const TourStep& step) const {
    if (step.kind == TourStep::Kind::Layout)
        return QCoreApplication::translate("Zorvan", "Layout: %1 — %2 s")
            .arg(step.layoutName)
            .arg(step.dwellSeconds);
    QString server = QCoreApplication::translate("Zorvan", "unknown server");
    for (const auto& [id, name] : servers_)
        if (id == step.serverId) server = name;
    return QCoreApplication::translate("Zorvan", "Wall: %1, page %2 — %3 s")
        .arg(server)
        .arg(step.page + 1)
        .arg(step.dwellSeconds);
}

void LayoutsEditor::showTour(int) {
    const Tour* tour = currentTour();
    showing_ = true;
    pause_->setValue(tour ? tour->pauseSeconds : Tour{}.pauseSeconds);
    waitForActivity_->setChecked(tour && tour->waitForActivity);
    showing_ = false;
    pause_->setEnabled(tour);
    waitForActivity_->setEnabled(tour);
    addLayoutStep_->setEnabled(tour);
    addWallStep_->setEnabled(tour);
    showSteps(0);
}

void LayoutsEditor::showSteps(int select) {
    const Tour* tour = currentTour();
    showing_ = true;
    steps_->clear();
    if (tour)
        for (const TourStep& step : tour->steps) steps_->addItem(stepText(step));
    const int row = std::min(select, steps_->count() - 1);
    steps_->setCurrentRow(row);
    showing_ = false;
    showStep(row);
}

void LayoutsEditor::showStep(int row) {
    const TourStep* step = currentStep();
    showing_ = true;
    dwell_->setValue(step ? step->dwellSeconds : TourStep{}.dwellSeconds);
    showing_ = false;
    dwell_->setEnabled(step);
    removeStep_->setEnabled(step);
    stepUp_->setEnabled(step && row > 0);
    stepDown_->setEnabled(step && row + 1 < steps_->count());
}

void LayoutsEditor::addStep(TourStep step) {
    Tour* tour = currentTour();
    if (!tour) return;
    tour->steps.push_back(std::move(step));
    showSteps(static_cast<int>(tour->steps.size()) - 1);
}

void LayoutsEditor::addLayoutStep() {
    QStringList names;
    for (const Layout& l : room_.layouts) names << l.name;
    if (names.isEmpty()) {
        say(QCoreApplication::translate("Zorvan",
                                        "There are no layouts yet: make one on the Layouts tab."));
        return;
    }
    bool ok = false;
    const QString name = QInputDialog::getItem(
        this, QCoreApplication::translate("Zorvan", "Add Layout Step"),
        QCoreApplication::translate("Zorvan", "Layout:"), names, 0, false, &ok);
    if (!ok) return;
    TourStep step;
    step.kind = TourStep::Kind::Layout;
    step.layoutName = name;
    addStep(step);
}

void LayoutsEditor::addWallStep() {
    if (servers_.empty()) {
        say(QCoreApplication::translate("Zorvan", "There are no servers yet."));
        return;
    }
    QDialog ask(this);
    ask.setWindowTitle(QCoreApplication::translate("Zorvan", "Add Wall Step"));
    auto* server = new QComboBox(&ask);
    for (const auto& [id, name] : servers_) server->addItem(name, id);
    auto* page = new QSpinBox(&ask);
    page->setRange(1, 1'000'000);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &ask);
    connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
    auto* form = new QFormLayout(&ask);
    form->addRow(QCoreApplication::translate("Zorvan", "Server:"), server);
    form->addRow(QCoreApplication::translate("Zorvan", "Page:"), page);
    form->addRow(buttons);
    if (ask.exec() != QDialog::Accepted) return;
    TourStep step;
    step.kind = TourStep::Kind::ServerWall;
    step.serverId = server->currentData().toString();
    step.page = page->value() - 1;
    addStep(step);
}
