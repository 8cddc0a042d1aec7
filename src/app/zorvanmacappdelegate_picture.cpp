// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's picture commands: Save Picture from the
// Zorvan menu, its shortcut and the pictures' context menus, and whether it
// can be chosen.

#include "zorvanmacappdelegate.h"

#include "roomscreen.h"

#include "cameraview.h"
#include "camerawall.h"
#include "camserver.h"
#include "picturesaver.h"
#include "previewtouchimage.h"
#include "touchimage.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "zvmainwindow.h"
#include "zvtexts.h"

#include <QDir>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

QAction* ZorvanMacAppDelegate::savePictureAction() const {
    return window_->ui().actionSavePicture;
}

void ZorvanMacAppDelegate::createPictureCommands() {
    saver_ = std::make_unique<PictureSaver>();
    QAction* save = savePictureAction();
    // The shortcut works while full screen hides the menu bar.
    window_->addAction(save);
    connect(save, &QAction::triggered, this, [this] { savePicture(pictureToSave()); });

    // A context menu saves the picture it was opened on.
    mainImage()->setSaveAction(save);
    connect(mainImage(), &TouchImage::saveRequested, this, [this] { savePicture(mainImage()); });
    connect(mainImage(), &TouchImage::savableChanged, this,
            &ZorvanMacAppDelegate::updateSaveAction);
    CameraWall* wall = cameraWall();
    wall->setSaveAction(save);
    connect(wall, &CameraWall::saveRequested, this, [this](int cell) {
        if (cell >= 0 && cell < cameraWall()->cellCount())
            savePicture(cameraWall()->cell(cell)->imageView());
    });
    connect(wall, &CameraWall::selectedPictureChanged, this,
            &ZorvanMacAppDelegate::updateSaveAction);
    updateSaveAction();
}

TouchImage* ZorvanMacAppDelegate::pictureToSave() const {
    CameraWall* wall = roomShown_ ? room_->wall() : cameraWall();
    if (wall->isHidden()) return mainImage();
    const int cell = wall->selectedCell();
    return cell >= 0 ? wall->cell(cell)->imageView() : nullptr;
}

void ZorvanMacAppDelegate::updateSaveAction() {
    const TouchImage* view = pictureToSave();
    savePictureAction()->setEnabled(view && view->hasSavablePicture());
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
    const QDateTime arrived = view->pictureArrived().isValid()
                                  ? view->pictureArrived().toLocalTime()
                                  : QDateTime::currentDateTime();
    const QDateTime stamp(arrived.date(), arrived.time(), Qt::UTC);
    QPointer<TouchImage> target(view);
    // A video frame decoded from H.264 or H.265 has no bytes as sent: a
    // lossless PNG of it is written instead.
    saver_->save(
        pictures + QStringLiteral("/Zorvan"), name, stamp, view->pictureBytes(),
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
