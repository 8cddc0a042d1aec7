// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QSpinBox;

// Zorvan > Preferences…: the viewer's own choices beyond the server list,
// one for the whole viewer. Shows the values given and hands back what the
// person set once accepted. Main thread only.
class PreferencesDialog : public QDialog {
    Q_OBJECT

public:
    struct Values {
        int videoDecodes = 4;  // cells playing live video at once, 0 to maxVideoDecodes
        // Going back in time: what is kept of every shown camera.
        bool rewind = true;
        int rewindMinutes = 5;  // 1..60
        int memoryMiB = 512;    // 64..16384
        int diskGiB = 4;        // 0..1024, 0 = memory only
        bool keepAtQuit = false;
    };
    PreferencesDialog(const Values& values, int maxVideoDecodes, QWidget* parent = nullptr);

    Values values() const;

private:
    QSpinBox* videoDecodes_;  // children
    QCheckBox* rewind_;
    QSpinBox* rewindMinutes_;
    QSpinBox* memoryMiB_;
    QSpinBox* diskGiB_;
    QCheckBox* keepAtQuit_;
};
