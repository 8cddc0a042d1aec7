// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipexport.h"

#include "clipwriter.h"
#include "mainthreadcall.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QStandardPaths>

#include <cmath>

namespace {}  // namespace

ClipExport::ClipExport(QObject* parent) : QObject(parent) {}

ClipExport::~ClipExport() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

QString ClipExport::defaultFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) +
                           QStringLiteral("/Zorvan");
    QDir().mkpath(folder);
    return folder;
}

bool ClipExport::start(std::shared_ptr<RewindStore> store, std::vector<Item> items, qint64 from,
                       qint64 to, QString folder) {
    if (running_ || !store) return false;
    if (thread_.joinable()) thread_.join();  // the last export's, already done
    running_ = true;
    cancel_ = false;
    thread_ = std::thread([this, store = std::move(store), items = std::move(items), from, to,
                           folder = std::move(folder)]() mutable {
        run(std::move(store), std::move(items), from, to, std::move(folder));
    });
    return true;
}

void ClipExport::cancel() {
    cancel_ = true;
}

void ClipExport::run(std::shared_ptr<RewindStore> store, std::vector<Item> items, qint64 from,
                     qint64 to, QString folder) {
    // Made here but only dereferenced on the main thread: the object outlives
    // this thread (its destructor joins it), not the calls posted from it.
    const QPointer<ClipExport> self(this);
    QStringList written, problems;
    int shown = -1;
    const double count = double(std::max<std::size_t>(items.size(), 1));
    for (std::size_t i = 0; i < items.size() && !cancel_; ++i) {
        const Item& item = items[i];
        const QString who = item.cameraName.isEmpty() ? item.camera : item.cameraName;
        const auto plan = video::planClip(*store, item.camera, from, to);
        if (!plan) {
            problems << QCoreApplication::translate("Zorvan",
                                                    "Nothing was kept of %1 at that time.")
                            .arg(who);
            continue;
        }
        const QString base = video::clipFileName(item.serverName, item.cameraName,
                                                 QDateTime::fromMSecsSinceEpoch(plan->startMs), {});
        const auto result =
            video::writeClip(*store, item.camera, from, to, folder, base, [&](double done) {
                const int percent = int(std::lround((double(i) + done) / count * 100));
                if (percent != shown) {
                    shown = percent;
                    MainThreadCall::post([self, percent] {
                        if (self) emit self->progress(percent);
                    });
                }
                return !cancel_;
            });
        switch (result.status) {
            case video::ClipResult::Status::Written:
                written << result.path;
                if (result.cutAtChange)
                    problems
                        << QCoreApplication::translate(
                               "Zorvan",
                               "The clip of %1 ends early: the camera changed its picture there.")
                               .arg(who);
                break;
            case video::ClipResult::Status::NothingKept:
                problems << QCoreApplication::translate("Zorvan",
                                                        "Nothing was kept of %1 at that time.")
                                .arg(who);
                break;
            case video::ClipResult::Status::Failed:
                problems << QCoreApplication::translate("Zorvan",
                                                        "The clip of %1 was not saved: %2")
                                .arg(who, result.error);
                break;
            case video::ClipResult::Status::Cancelled:
                break;
        }
    }
    const bool cancelled = cancel_;
    MainThreadCall::post([self, written, error = problems.join(u'\n'), cancelled] {
        if (!self) return;
        self->running_ = false;
        emit self->finished(written, error, cancelled);
    });
}

void exportClips(QWidget* window, std::shared_ptr<RewindStore> store,
                 std::vector<ClipExport::Item> items, qint64 from, qint64 to, QString folder) {
    auto* dialog =
        new QProgressDialog(QCoreApplication::translate("Zorvan", "Writing the clips…"),
                            QCoreApplication::translate("Zorvan", "Cancel"), 0, 100, window);
    dialog->setWindowTitle(QCoreApplication::translate("Zorvan", "Exporting Clip…"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(300);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    auto* job = new ClipExport(dialog);
    QObject::connect(job, &ClipExport::progress, dialog, &QProgressDialog::setValue);
    QObject::connect(dialog, &QProgressDialog::canceled, job, &ClipExport::cancel);
    const QPointer<QWidget> parent(window);
    QObject::connect(
        job, &ClipExport::finished, dialog,
        [dialog, parent, folder](const QStringList& written, const QString& error, bool cancelled) {
            dialog->hide();
            dialog->deleteLater();
            if (cancelled && written.isEmpty()) return;
            QString text;
            if (!written.isEmpty())
                text = written.size() == 1
                           ? QCoreApplication::translate("Zorvan", "The clip was saved as %1.")
                                 .arg(QDir::toNativeSeparators(written[0]))
                           : QCoreApplication::translate("Zorvan", "%1 clips were saved in %2.")
                                 .arg(written.size())
                                 .arg(QDir::toNativeSeparators(folder));
            if (!error.isEmpty())
                text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + error;
            auto* box =
                new QMessageBox(written.isEmpty() ? QMessageBox::Warning : QMessageBox::Information,
                                QCoreApplication::translate("Zorvan", "Export Clip"), text,
                                QMessageBox::Ok, parent);
            box->setWindowModality(Qt::WindowModal);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
    if (!job->start(std::move(store), std::move(items), from, to, std::move(folder))) {
        delete dialog;
        return;
    }
}
