// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

#include <map>
#include <utility>
#include <vector>

#include "layout.h"
#include "roomedits.h"

class ActiveCamerasBox;
class CellPicker;
class NamedList;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;

// The Edit Layouts dialog: edits a copy of the control room's layouts (their
// names, order, grid size and cells: a template, cells joined into a larger
// one and split again) and tours (their steps, each step's time, the
// pause after input), and gives the edited room back with room() once
// accepted. The cameras of a layout's cells are placed on its wall, not
// here. The naming rules are roomedits'; windows are kept, renamed along
// with what they show. Main thread only.
class LayoutsEditor : public QDialog {
    Q_OBJECT

public:
    // servers: each server's serverId and name, for the wall steps;
    // cameras: each server's list (by serverId), for what an Active Cameras
    // layout watches.
    LayoutsEditor(const ControlRoom& room, std::vector<std::pair<QString, QString>> servers,
                  QWidget* parent = nullptr,
                  std::map<QString, std::vector<CameraRef>> cameras = {});

    ControlRoom room() const { return room_; }
    // The layouts and tours of the room given that stand under another
    // name in room(); those deleted are not among them.
    roomedits::Renames renames() const;
    // Shows the Layouts tab with the layout of that name selected, if any.
    void selectLayout(const QString& name);

private:
    QWidget* makeLayoutsTab();
    QWidget* makeToursTab();
    void showLayout(int index);
    // The selected layout, or none.
    Layout* currentLayout();
    // Sets the template choice, the cells' picture and the buttons from the
    // selected layout.
    void showCells();
    void updateCellButtons();
    void joinCells();
    void splitCell();
    void showTour(int index);
    void showSteps(int select);
    void showStep(int index);
    // The selected tour, or none.
    Tour* currentTour();
    TourStep* currentStep();
    QString stepText(const TourStep& step) const;
    void addLayoutStep();
    void addWallStep();
    void addStep(TourStep step);
    void say(const QString& text);

    ControlRoom room_;
    std::vector<std::pair<QString, QString>> servers_;
    std::map<QString, std::vector<CameraRef>> cameras_;
    QTabWidget* tabs_;     // child
    QLabel* message_;      // child
    NamedList* layouts_;   // child
    QSpinBox* rows_;       // child
    QSpinBox* columns_;    // child
    QComboBox* template_;  // child
    CellPicker* cells_;    // child
    QPushButton* join_;    // child
    QPushButton* split_;   // child
    NamedList* tours_;     // child
    QSpinBox* pause_;      // child
    QListWidget* steps_;   // child
    QSpinBox* dwell_;      // child
    QPushButton* addLayoutStep_;
    QPushButton* addWallStep_;
    QPushButton* removeStep_;
    QPushButton* stepUp_;
    QPushButton* stepDown_;
    QCheckBox* waitForActivity_;
    bool showing_ = false;  // the widgets are being set from the room, not by the user

    ActiveCamerasBox* active_;  // child, of the Layouts tab
};
