// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QImage>

#include "layout.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class ZoneCanvas;

// View > Activity Settings…: one camera's activity entry. Shows the camera's
// last picture with its ignore zones as translucent rectangles: a drag on
// the picture adds one (at most CameraActivity::kMaxZones), a click selects
// one, Delete or Remove Zone removes the selected one, Clear Zones all of
// them; and the sensitivity (Off, Low, Normal, High). Given the entry and
// the picture, it hands back the edited entry once accepted; the caller
// keeps it. Takes the keyboard as it shows. Main thread only.
class ActivityEditor : public QDialog {
    Q_OBJECT

public:
    ActivityEditor(const CameraActivity& entry, const QImage& picture, QWidget* parent = nullptr);

    // The entry as edited: the camera as given, zones in the order drawn.
    CameraActivity entry() const;

protected:
    void showEvent(QShowEvent* event) override;
    // Delete removes the selected zone, wherever the keyboard is in the dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void zonesChanged();

    CameraActivity entry_;  // the camera and the sensitivity given
    ZoneCanvas* canvas_;    // child
    QComboBox* sensitivity_;
    QPushButton* remove_;
    QPushButton* clear_;
    QLabel* hint_;
    QCheckBox* notify_;  // a desktop notification when it becomes active behind our windows
};
