// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QSpinBox;

// Zorvan > Preferences…: the viewer's own choices beyond the server list,
// one for the whole viewer. Shows the values given and hands back what the
// person set once accepted. Main thread only.
class PreferencesDialog : public QDialog {
    Q_OBJECT

public:
    struct Values {
        int videoDecodes = 4;  // cells playing live video at once, 0 to maxVideoDecodes
    };
    PreferencesDialog(const Values& values, int maxVideoDecodes, QWidget* parent = nullptr);

    Values values() const;

private:
    QSpinBox* videoDecodes_;  // child
};
