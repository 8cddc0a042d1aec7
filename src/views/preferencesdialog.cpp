// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferencesdialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("Zorvan", text);
}
}  // namespace

PreferencesDialog::PreferencesDialog(const Values& values, int maxVideoDecodes, QWidget* parent)
    : QDialog(parent), videoDecodes_(new QSpinBox(this)) {
    setWindowTitle(tr("Preferences"));
    videoDecodes_->setObjectName(QStringLiteral("videoDecodes"));
    videoDecodes_->setRange(0, maxVideoDecodes);
    videoDecodes_->setValue(values.videoDecodes);
    auto* form = new QFormLayout;
    form->addRow(tr("Live video in at most this many cells at once:"), videoDecodes_);
    auto* hint = new QLabel(tr("The largest cells play first; the others show pictures. "
                               "Each video takes a part of the processor."),
                            this);
    hint->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
}

PreferencesDialog::Values PreferencesDialog::values() const {
    return Values{videoDecodes_->value()};
}
