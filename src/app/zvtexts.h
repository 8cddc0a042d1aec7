// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>

// The viewer's own texts are looked up by their English text in the context
// "Zorvan"; a text without a translation shows its English key.
inline QString zvText(const char* key) {
    return QCoreApplication::translate("Zorvan", key);
}

namespace zvtexts {

// Every text of the "Zorvan" context, including those that only later parts
// of the viewer show, so that the translation tables hold them all.
inline constexpr const char* kAll[] = {
    // alerts
    QT_TRANSLATE_NOOP("Zorvan", "Connection error"),
    QT_TRANSLATE_NOOP("Zorvan", "Server is not available"),
    QT_TRANSLATE_NOOP("Zorvan", "Error"),
    // server list dialog
    QT_TRANSLATE_NOOP("Zorvan", "Server:"),
    QT_TRANSLATE_NOOP("Zorvan", "Address:"),
    QT_TRANSLATE_NOOP("Zorvan", "Port:"),
    QT_TRANSLATE_NOOP("Zorvan", "Username:"),
    QT_TRANSLATE_NOOP("Zorvan", "Password:"),
    QT_TRANSLATE_NOOP("Zorvan", "fps:"),
    // sound stream status
    QT_TRANSLATE_NOOP("Zorvan", "Connecting to stream."),
    QT_TRANSLATE_NOOP("Zorvan", "Connecting to stream"),
    QT_TRANSLATE_NOOP("Zorvan", "Buffering..."),
    QT_TRANSLATE_NOOP("Zorvan", "Closed by server."),
    QT_TRANSLATE_NOOP("Zorvan", "The data format is not supported by this file type."),
    QT_TRANSLATE_NOOP(
        "Zorvan",
        "The file is malformed, or otherwise not a valid instance of an audio file of its type."),
    QT_TRANSLATE_NOOP("Zorvan", "This microphone has no usable sound address."),
    QT_TRANSLATE_NOOP("Zorvan", "Cannot create the temporary sound file."),
    QT_TRANSLATE_NOOP("Zorvan", "Cannot write the temporary sound file."),
    QT_TRANSLATE_NOOP("Zorvan", "Cannot communicate with the server."),
    QT_TRANSLATE_NOOP("Zorvan", "No sound output is available."),
    QT_TRANSLATE_NOOP("Zorvan", "The sound output failed."),
    QT_TRANSLATE_NOOP("Zorvan", "The sound stream has ended."),
    QT_TRANSLATE_NOOP("Zorvan", "Playing"),
    QT_TRANSLATE_NOOP("Zorvan", "Paused"),
    QT_TRANSLATE_NOOP("Zorvan", "Sound stopped."),
    // window
    QT_TRANSLATE_NOOP("Zorvan", "Volume"),
    // the picture's age and the live figures over it
    QT_TRANSLATE_NOOP("Zorvan", "No picture for %1 s"),
    QT_TRANSLATE_NOOP("Zorvan", "%1 pictures/s"),
    QT_TRANSLATE_NOOP("Zorvan", "%1 pictures/s, round trip %2 ms"),
    QT_TRANSLATE_NOOP("Zorvan", "Show Picture Rate"),
    // Save Picture's note over the picture
    QT_TRANSLATE_NOOP("Zorvan", "Saved to %1"),
    QT_TRANSLATE_NOOP("Zorvan", "Cannot save the picture: %1"),
    QT_TRANSLATE_NOOP("Zorvan", "no pictures folder"),
    // the camera's live video, and why it fell back to pictures
    QT_TRANSLATE_NOOP("Zorvan", "Live video unavailable: %1. Showing pictures."),
    QT_TRANSLATE_NOOP("Zorvan", "its address is not the server's"),
    QT_TRANSLATE_NOOP("Zorvan", "no connection"),
    QT_TRANSLATE_NOOP("Zorvan", "the server sent no video"),
    QT_TRANSLATE_NOOP("Zorvan", "a kind of video this viewer cannot play"),
    QT_TRANSLATE_NOOP("Zorvan", "the video's pictures are too large"),
    QT_TRANSLATE_NOOP("Zorvan", "no frame for 3 s"),
    QT_TRANSLATE_NOOP("Zorvan", "the server ended the video"),
    // the layouts file
    QT_TRANSLATE_NOOP("Zorvan",
                      "The layouts file could not be read. It was kept as layouts.json.corrupt and "
                      "the layouts start empty."),
    QT_TRANSLATE_NOOP("Zorvan",
                      "Some entries of the layouts file could not be used and were left out or "
                      "corrected. The file as it was is kept as layouts.json.corrupt."),
    QT_TRANSLATE_NOOP("Zorvan",
                      "The layouts could not be saved. Zorvan keeps your changes and keeps trying "
                      "until they are saved."),
    QT_TRANSLATE_NOOP("Zorvan",
                      "The layouts file holds more windows than Zorvan opens at a start: the first "
                      "16 were opened, and the others are kept in the file."),
    // the command line
    QT_TRANSLATE_NOOP("Zorvan", "unknown option '%1'"),
    QT_TRANSLATE_NOOP("Zorvan", "unexpected argument '%1'"),
    QT_TRANSLATE_NOOP("Zorvan", "option '%1' takes no value"),
    QT_TRANSLATE_NOOP("Zorvan", "option '%1' needs a value"),
    QT_TRANSLATE_NOOP("Zorvan", "only one of --layout, --tour and --server may be given"),
    QT_TRANSLATE_NOOP("Zorvan", "option '%1' is given twice"),
    QT_TRANSLATE_NOOP("Zorvan", "--camera needs --server"),
    QT_TRANSLATE_NOOP("Zorvan",
                      "Usage: zorvan [--layout NAME | --tour NAME | --server NAME [--camera NAME]] "
                      "[--screen N|NAME] [--full-screen] [--new-window]"),
    QT_TRANSLATE_NOOP("Zorvan", "  --layout NAME     show the saved layout NAME"),
    QT_TRANSLATE_NOOP("Zorvan", "  --tour NAME       run the tour NAME"),
    QT_TRANSLATE_NOOP("Zorvan", "  --server NAME     show the cameras of the server NAME"),
    QT_TRANSLATE_NOOP("Zorvan", "  --camera NAME     with --server: show the camera NAME"),
    QT_TRANSLATE_NOOP("Zorvan", "  --screen N|NAME   open on screen N (from 0) or the screen NAME"),
    QT_TRANSLATE_NOOP("Zorvan", "  --full-screen     start in full screen"),
    QT_TRANSLATE_NOOP("Zorvan",
                      "  --new-window      show it in a new window of the running viewer"),
    QT_TRANSLATE_NOOP("Zorvan", "  -h, --help        show this help and exit"),
    QT_TRANSLATE_NOOP("Zorvan", "  -v, --version     show the version and exit"),
    QT_TRANSLATE_NOOP("Zorvan", "Try 'zorvan --help' for more information."),
    // what the desktop shows as the reason the screen saver is held off
    QT_TRANSLATE_NOOP("Zorvan", "Showing live pictures in full screen"),
    // the control room's menus, in the main window and the room windows
    QT_TRANSLATE_NOOP("Zorvan", "&Layouts"),
    QT_TRANSLATE_NOOP("Zorvan", "Save Wall as Layout…"),
    QT_TRANSLATE_NOOP("Zorvan", "Edit Layouts…"),
    QT_TRANSLATE_NOOP("Zorvan", "Clear Cell"),
    QT_TRANSLATE_NOOP("Zorvan", "Lock Layouts"),
    QT_TRANSLATE_NOOP("Zorvan", "The layout is locked. Layouts ▸ Lock Layouts unlocks it."),
    QT_TRANSLATE_NOOP("Zorvan", "&Edit"),
    QT_TRANSLATE_NOOP("Zorvan", "Undo"),
    QT_TRANSLATE_NOOP("Zorvan", "Redo"),
    QT_TRANSLATE_NOOP("Zorvan", "Activity"),
    QT_TRANSLATE_NOOP("Zorvan", "activity %1 % of %2 %"),
    QT_TRANSLATE_NOOP("Zorvan", "Preferences…"),
    QT_TRANSLATE_NOOP("Zorvan", "Preferences"),
    QT_TRANSLATE_NOOP("Zorvan", "Live video in at most this many cells at once:"),
    QT_TRANSLATE_NOOP("Zorvan", "The largest cells play first; the others show pictures. Each video takes a part of the processor."),
    QT_TRANSLATE_NOOP("Zorvan", "&View"),
    QT_TRANSLATE_NOOP("Zorvan", "Cameras Panel"),
    QT_TRANSLATE_NOOP("Zorvan", "Server Walls"),
    QT_TRANSLATE_NOOP("Zorvan", "Tours"),
    QT_TRANSLATE_NOOP("Zorvan", "Start Tour"),
    QT_TRANSLATE_NOOP("Zorvan", "Stop Tour"),
    QT_TRANSLATE_NOOP("Zorvan", "Pause Tour"),
    QT_TRANSLATE_NOOP("Zorvan", "Resume Tour"),
    QT_TRANSLATE_NOOP("Zorvan", "Next Step"),
    QT_TRANSLATE_NOOP("Zorvan", "Previous Step"),
    QT_TRANSLATE_NOOP("Zorvan", "Full Screen"),
    QT_TRANSLATE_NOOP("Zorvan", "&Window"),
    QT_TRANSLATE_NOOP("Zorvan", "New Window"),
    QT_TRANSLATE_NOOP("Zorvan", "Close Window"),
    // saving the wall as a layout; "Layout" also names a new layout
    QT_TRANSLATE_NOOP("Zorvan", "Save Wall as Layout"),
    QT_TRANSLATE_NOOP("Zorvan", "Name of the layout:"),
    QT_TRANSLATE_NOOP("Zorvan", "Layout"),
    // names a later start gives that the control room does not know
    QT_TRANSLATE_NOOP("Zorvan", "No layout named \"%1\"."),
    QT_TRANSLATE_NOOP("Zorvan", "No tour named \"%1\"."),
    QT_TRANSLATE_NOOP("Zorvan", "No server named \"%1\"."),
    QT_TRANSLATE_NOOP("Zorvan", "No camera named \"%1\" on %2."),
    QT_TRANSLATE_NOOP("Zorvan", "No screen \"%1\"."),
    QT_TRANSLATE_NOOP("Zorvan", "Layouts: %1."),
    QT_TRANSLATE_NOOP("Zorvan", "Tours: %1."),
    QT_TRANSLATE_NOOP("Zorvan", "Servers: %1."),
    QT_TRANSLATE_NOOP("Zorvan", "Cameras: %1."),
    // notes in a layout's empty cells; a filled cell's caption "%1 — %2"
    // (camera, server) reads the same in every language, so its tables hold
    // it as it is and it is not among these
    QT_TRANSLATE_NOOP("Zorvan", "Server removed"),
    QT_TRANSLATE_NOOP("Zorvan", "Camera not found: %1"),
    QT_TRANSLATE_NOOP("Zorvan", "Loading…"),
    // a window whose layout or tour was deleted, over what it shows instead
    QT_TRANSLATE_NOOP("Zorvan", "Layout “%1” was deleted"),
    QT_TRANSLATE_NOOP("Zorvan", "Tour “%1” was deleted"),
    // the camera panel
    QT_TRANSLATE_NOOP("Zorvan", "Cameras"),
    QT_TRANSLATE_NOOP("Zorvan", "Camera"),
    QT_TRANSLATE_NOOP("Zorvan", "State"),
    QT_TRANSLATE_NOOP("Zorvan", "1 camera"),
    QT_TRANSLATE_N_NOOP("Zorvan", "%n cameras"),
    // the camera panel's search and its cameras' states in the window
    QT_TRANSLATE_NOOP("Zorvan", "Find Camera"),
    QT_TRANSLATE_NOOP("Zorvan", "Find a camera"),
    QT_TRANSLATE_NOOP("Zorvan", "Live"),
    QT_TRANSLATE_NOOP("Zorvan", "In the shown layout"),
    QT_TRANSLATE_NOOP("Zorvan", "%1 of 1 camera live"),
    QT_TRANSLATE_N_NOOP("Zorvan", "%1 of %n cameras live"),
    // the Edit Layouts dialog
    QT_TRANSLATE_NOOP("Zorvan", "Edit Layouts"),
    QT_TRANSLATE_NOOP("Zorvan", "Layouts"),
    QT_TRANSLATE_NOOP("Zorvan", "Rows:"),
    QT_TRANSLATE_NOOP("Zorvan", "Columns:"),
    QT_TRANSLATE_NOOP("Zorvan", "Tour"),
    QT_TRANSLATE_NOOP("Zorvan", " s"),
    QT_TRANSLATE_NOOP("Zorvan", "Pause after input:"),
    QT_TRANSLATE_NOOP("Zorvan", "Steps:"),
    QT_TRANSLATE_NOOP("Zorvan", "Dwell:"),
    QT_TRANSLATE_NOOP("Zorvan", "Add Layout Step"),
    QT_TRANSLATE_NOOP("Zorvan", "Add Wall Step"),
    QT_TRANSLATE_NOOP("Zorvan", "Remove"),
    QT_TRANSLATE_NOOP("Zorvan", "Layout: %1 — %2 s"),
    QT_TRANSLATE_NOOP("Zorvan", "Wall: %1, page %2 — %3 s"),
    QT_TRANSLATE_NOOP("Zorvan", "unknown server"),
    QT_TRANSLATE_NOOP("Zorvan", "There are no layouts yet: make one on the Layouts tab."),
    QT_TRANSLATE_NOOP("Zorvan", "Layout:"),
    QT_TRANSLATE_NOOP("Zorvan", "There are no servers yet."),
    QT_TRANSLATE_NOOP("Zorvan", "Page:"),
    // the dialog's lists of layouts and tours
    QT_TRANSLATE_NOOP("Zorvan", "New"),
    QT_TRANSLATE_NOOP("Zorvan", "Rename"),
    QT_TRANSLATE_NOOP("Zorvan", "Duplicate"),
    QT_TRANSLATE_NOOP("Zorvan", "Delete"),
    QT_TRANSLATE_NOOP("Zorvan", "Move Up"),
    QT_TRANSLATE_NOOP("Zorvan", "Move Down"),
    QT_TRANSLATE_NOOP("Zorvan", "%1 copy"),
    QT_TRANSLATE_NOOP("Zorvan", "A name cannot be empty."),
    QT_TRANSLATE_NOOP("Zorvan", "The name “%1” is taken."),
    // what a window shows, and a tour's step
    QT_TRANSLATE_NOOP("Zorvan", "%1 — Camera Wall"),
    QT_TRANSLATE_NOOP("Zorvan", "Step %1 of %2"),
    QT_TRANSLATE_NOOP("Zorvan", "%1 s left"),
    QT_TRANSLATE_NOOP("Zorvan", "Paused — resumes in %1 s"),
    // the activity list, and tours that wait for activity
    QT_TRANSLATE_NOOP("Zorvan", "Activity List"),
    QT_TRANSLATE_NOOP("Zorvan", "Time"),
    QT_TRANSLATE_NOOP("Zorvan", "Server"),
    QT_TRANSLATE_NOOP("Zorvan", "Duration"),
    QT_TRANSLATE_NOOP("Zorvan", "ongoing"),
    QT_TRANSLATE_NOOP("Zorvan", "Stay on a step while one of its cameras is active"),
    // View > Activity Settings…: a camera's sensitivity and ignore zones
    QT_TRANSLATE_NOOP("Zorvan", "Activity Settings…"),
    QT_TRANSLATE_NOOP("Zorvan", "Activity Settings: %1"),
    QT_TRANSLATE_NOOP("Zorvan", "Sensitivity:"),
    QT_TRANSLATE_NOOP("Zorvan", "Off"),
    QT_TRANSLATE_NOOP("Zorvan", "Low"),
    QT_TRANSLATE_NOOP("Zorvan", "Normal"),
    QT_TRANSLATE_NOOP("Zorvan", "High"),
    QT_TRANSLATE_NOOP("Zorvan", "Remove Zone"),
    QT_TRANSLATE_NOOP("Zorvan", "Clear Zones"),
    QT_TRANSLATE_NOOP("Zorvan", "No picture yet"),
    // Desktop notifications of activity
    QT_TRANSLATE_NOOP("Zorvan", "Notify when active behind other windows"),
    QT_TRANSLATE_NOOP("Zorvan", "Activity: %1"),
    QT_TRANSLATE_NOOP("Zorvan", "Show Camera"),
    QT_TRANSLATE_NOOP("Zorvan", "Every zone is drawn (at most %1). Remove one to draw another."),
    QT_TRANSLATE_NOOP(
        "Zorvan",
        "Drag on the picture to draw a zone where changes never count; click a zone to select it."),
    // Active Cameras layouts (Edit Layouts)
    QT_TRANSLATE_NOOP("Zorvan", "Active Cameras"),
    QT_TRANSLATE_NOOP("Zorvan", "The cells show the watched cameras that moved last, and the layout's own cameras while nothing moves."),
    QT_TRANSLATE_NOOP("Zorvan", "Every camera of %1"),
    QT_TRANSLATE_NOOP("Zorvan", "Cameras to watch:"),
    QT_TRANSLATE_NOOP("Zorvan", "Hold after activity:"),
};

}  // namespace zvtexts
