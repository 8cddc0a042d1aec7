// SPDX-License-Identifier: GPL-3.0-or-later
// What the application controller does for any window: the layouts' dialogs
// (Save Wall as Layout, Edit Layouts) and a camera's Activity Settings over
// the window that asked, and Save Picture into the pictures folder.

#include "zorvanmacappdelegate.h"

#include "activityeditor.h"
#include "cameraview.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "layoutseditor.h"
#include "picturesaver.h"
#include "preferencesdialog.h"
#include "rewindsettings.h"
#include "rewindstore.h"
#include "settings.h"
#include "touchimage.h"
#include "videobudget.h"
#include "zvtexts.h"

#include <QDir>
#include <QInputDialog>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

namespace {

// A name not yet among names: base, or base with a number after it.
template <typename Entries>
QString freeName(const Entries& entries, const QString& base) {
    auto taken = [&](const QString& n) {
        return std::any_of(entries.begin(), entries.end(),
                           [&](const auto& e) { return e.name == n; });
    };
    if (!taken(base)) return base;
    for (int i = 2;; ++i)
        if (!taken(QString("%1 %2").arg(base).arg(i))) return QString("%1 %2").arg(base).arg(i);
}

}  // namespace

void ZorvanMacAppDelegate::editPreferences(QWidget* window) {
    VideoBudget* budget = hub_->videoBudget();
    RewindSettings rewind = RewindSettings::load();
    PreferencesDialog dialog({budget->limit(), rewind.enabled, rewind.minutes, rewind.memoryMiB,
                              rewind.diskGiB, rewind.keepAtQuit},
                             VideoBudget::kMaxLimit, window);
    if (dialog.exec() != QDialog::Accepted || workEnded_) return;
    const PreferencesDialog::Values values = dialog.values();
    budget->setLimit(values.videoDecodes);
    rewind = {values.rewind, values.rewindMinutes, values.memoryMiB, values.diskGiB,
              values.keepAtQuit};
    rewind.save();
    // Read back: what was kept is clamped as the next start will read it.
    rewind = RewindSettings::load();
    RewindStore& store = *hub_->rewindStore();
    const RewindStore::Options options = rewind.options();
    store.setEnabled(rewind.enabled);
    store.setMinutes(options.minutes);
    store.setMemoryCap(options.memoryCap);
    store.setDiskCap(options.diskCap);
}

void ZorvanMacAppDelegate::editActivity(QWidget* window, const CameraRef& camera,
                                        const QImage& picture) {
    if (camera.serverId.isEmpty() || workEnded_) return;
    const CameraActivity* kept =
        hub_->room().activityOf(camera.serverId, camera.cameraUri, camera.cameraName);
    CameraActivity entry = kept ? *kept : CameraActivity{};
    // Kept under the camera's reference of now, in place of the one before.
    entry.camera = camera;
    ActivityEditor editor(entry, picture, window);
    if (editor.exec() != QDialog::Accepted || workEnded_) return;
    const CameraActivity edited = editor.entry();
    hub_->edit([&](ControlRoom& room) { room.setActivity(edited); });
}

QString ZorvanMacAppDelegate::saveLayout(QWidget* window, Layout layout, const QString& suggested) {
    bool ok = false;
    const QString name =
        QInputDialog::getText(
            window, zvText("Save Wall as Layout"), zvText("Name of the layout:"), QLineEdit::Normal,
            freeName(hub_->room().layouts, suggested.isEmpty() ? zvText("Layout") : suggested), &ok)
            .trimmed();
    if (!ok || name.isEmpty()) return QString();
    layout.name = name;
    hub_->edit([&](ControlRoom& room) {
        // A layout of the same name is replaced: the person chose its name.
        auto it = std::find_if(room.layouts.begin(), room.layouts.end(),
                               [&](const Layout& l) { return l.name == name; });
        if (it != room.layouts.end()) {
            *it = layout;
        } else if (room.layouts.size() < ControlRoom::kMaxEntries) {
            room.layouts.push_back(layout);
        }
    });
    return name;
}

void ZorvanMacAppDelegate::editLayouts(QWidget* window, const QString& selected) {
    std::vector<std::pair<QString, QString>> servers;
    std::map<QString, std::vector<CameraRef>> cameras;
    for (const auto& server : settings_.getServers()) {
        servers.emplace_back(server->serverId(), server->name());
        const auto list = server->getCameras();
        for (std::int64_t k = 0; list && k < std::ssize(*list); ++k)
            if (const auto ref = CameraRef::to(server->serverId(), *list, k))
                cameras[server->serverId()].push_back(*ref);
    }
    LayoutsEditor editor(hub_->room(), servers, window, std::move(cameras));
    editor.setWindowTitle(zvText("Edit Layouts"));
    if (!selected.isEmpty()) editor.selectLayout(selected);
    if (editor.exec() != QDialog::Accepted) return;
    const ControlRoom edited = editor.room();
    // The windows follow what they show by the renames; their kept states
    // are written anew from what they then show.
    hub_->edit(
        [&](ControlRoom& room) {
            room.layouts = edited.layouts;
            room.tours = edited.tours;
        },
        editor.renames());
}

void ZorvanMacAppDelegate::savePicture(TouchImage* view) {
    if (!view || !view->hasSavablePicture() || workEnded_) return;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) {
        view->showNote(zvText("Cannot save the picture: %1").arg(zvText("no pictures folder")));
        return;
    }
    const auto record = view->delegate();
    const QString name = record ? record->cameraName : QString();
    const QString server = record && record->server ? record->server->name() : QString();
    // The time on the person's clock when the picture arrived, handed to
    // the writer as plain fields: formatting them there needs no time zone.
    const QDateTime arrived = view->savedArrived().isValid() ? view->savedArrived().toLocalTime()
                                                             : QDateTime::currentDateTime();
    const QDateTime stamp(arrived.date(), arrived.time(), Qt::UTC);
    QPointer<TouchImage> target(view);
    // A video frame decoded from H.264 or H.265 has no bytes as sent: a
    // lossless PNG of it is written instead.
    saver_->save(
        pictures + QStringLiteral("/Zorvan"), name, stamp, view->savedBytes(),
        [target](const PictureFile::Saved& saved) {
            if (saved.path.isEmpty()) {
                qCInfo(lcApp) << "Picture not saved:" << saved.error;
            } else {
                qCInfo(lcApp) << "Picture saved to" << saved.path;
            }
            if (!target) return;
            target->showNote(saved.path.isEmpty()
                                 ? saved.error
                                 : zvText("Saved to %1").arg(QDir::toNativeSeparators(saved.path)));
        },
        view->losslessPicture(), server);
}
