// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>
#include <vector>

#include "roomedits.h"

class QListWidget;
class QPushButton;

// The list half of a tab of the layouts editor: the names of the room's
// layouts (or tours) with New, Rename, Duplicate, Delete, Move Up and Move
// Down, each applied to the room through the roomedits rule given. A name
// is renamed in place; a refused name is put back and said why.
// The list follows each entry from the start to its end (through renames
// and moves), so that it can tell which of the entries it began with now
// stand under another name. The room is the editor's (not owned) and
// outlives the list.
class NamedList : public QWidget {
    Q_OBJECT

public:
    struct Edits {
        std::function<QStringList()> names;
        int (*add)(ControlRoom&, const QString&);
        int (*duplicate)(ControlRoom&, int, const QString&);
        roomedits::NameCheck (*rename)(ControlRoom&, int, const QString&);
        void (*remove)(ControlRoom&, int);
        int (*move)(ControlRoom&, int, int);
        QString newName;  // a new entry's name, before it is made unique
    };

    NamedList(ControlRoom* room, Edits edits, QWidget* parent = nullptr);

    // Shows the names anew and selects row select (the last when beyond).
    void refill(int select);
    int current() const;
    QListWidget* list() const { return list_; }
    // The entries the list began with that stand under another name now:
    // their first name to their name now. Those deleted are not among them.
    std::map<QString, QString> renames() const;

    // The selected entry changed (-1 for none), or the room changed in a
    // way the rest of the editor shows (names, order, entries).
    std::function<void(int)> currentChanged;
    std::function<void()> roomChanged;
    // A short word for the user, or empty to clear the last one.
    std::function<void(const QString&)> say;

private:
    void selected(int row);
    void renamed(int row, const QString& name);
    void changed(int select);
    // An entry was made at index (-1: none was).
    void made(int index);

    ControlRoom* room_;  // not owned
    Edits edits_;
    QListWidget* list_;                                         // child
    QPushButton *rename_, *duplicate_, *remove_, *up_, *down_;  // children
    bool filling_ = false;
    // For each entry, its name when the list was made; empty for one made
    // since.
    std::vector<QString> origins_;
};
