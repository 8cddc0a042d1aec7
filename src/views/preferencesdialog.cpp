// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferencesdialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("Zorvan", text);
}

QSpinBox* spinBox(QWidget* parent, const char* name, int low, int high, int value,
                  const char* suffix) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setValue(value);
    box->setSuffix(tr(suffix));
    return box;
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

    auto* group = new QGroupBox(tr("Rewind"), this);
    rewind_ = new QCheckBox(tr("Keep the last minutes of every shown camera"), group);
    rewind_->setObjectName(QStringLiteral("rewind"));
    rewind_->setChecked(values.rewind);
    rewindMinutes_ = spinBox(group, "rewindMinutes", 1, 60, values.rewindMinutes, " min");
    memoryMiB_ = spinBox(group, "memoryMiB", 64, 16384, values.memoryMiB, " MiB");
    memoryMiB_->setSingleStep(64);
    diskGiB_ = spinBox(group, "diskGiB", 0, 1024, values.diskGiB, " GiB");
    diskGiB_->setSpecialValueText(tr("None, memory only"));
    keepAtQuit_ = new QCheckBox(tr("Keep them when Zorvan quits"), group);
    keepAtQuit_->setObjectName(QStringLiteral("keepAtQuit"));
    keepAtQuit_->setChecked(values.keepAtQuit);
    auto* rewindForm = new QFormLayout;
    rewindForm->addRow(rewind_);
    rewindForm->addRow(tr("Minutes kept:"), rewindMinutes_);
    rewindForm->addRow(tr("In memory at most:"), memoryMiB_);
    rewindForm->addRow(tr("Beyond that, on disk at most:"), diskGiB_);
    rewindForm->addRow(keepAtQuit_);
    group->setLayout(rewindForm);
    const auto follow = [this](bool on) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{rewindMinutes_, memoryMiB_, diskGiB_, keepAtQuit_})
            w->setEnabled(on);
    };
    follow(values.rewind);
    connect(rewind_, &QCheckBox::toggled, this, follow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

PreferencesDialog::Values PreferencesDialog::values() const {
    Values v;
    v.videoDecodes = videoDecodes_->value();
    v.rewind = rewind_->isChecked();
    v.rewindMinutes = rewindMinutes_->value();
    v.memoryMiB = memoryMiB_->value();
    v.diskGiB = diskGiB_->value();
    v.keepAtQuit = keepAtQuit_->isChecked();
    return v;
}
