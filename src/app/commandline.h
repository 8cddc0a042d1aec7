// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The viewer's command line, for kiosks and wall displays that start the
// viewer straight into what they show:
//
//   zorvan [--layout NAME | --tour NAME | --server NAME [--camera NAME]]
//          [--screen N|NAME] [--full-screen] [--new-window]
//   zorvan --help | --version
//
// Options take their value as the next argument or after '=' (--layout=Hall).
// A next argument that starts with '-' is taken for an option, never a value,
// so a name that starts with '-' needs the '=' form. Qt's own common options
// (-platform xcb, -style fusion, ...) are passed over, so the same parse
// works on the raw argv before any application object and on the list a
// second start hands over. parse() only reads; the caller acts, and exits
// with kUsageError when error is set.
struct CommandLine {
    enum class Shows { Nothing, Layout, Tour, Server };

    Shows shows = Shows::Nothing;
    QString name;    // the layout's, tour's or server's name
    QString camera;  // with Server: the camera's name; null when not given
    QString screen;  // null when not given; a decimal index from 0, or a screen's name
    bool fullScreen = false;
    bool newWindow = false;
    bool help = false;
    bool version = false;
    QString error;  // set when the arguments are not usable: the message for standard error

    static constexpr int kUsageError = 2;

    // arguments[0] is the program, as QCoreApplication::arguments() gives it.
    // Arguments are read in order: --help or --version ends the reading (so
    // `zorvan --help --anything` shows the help), the first fault ends it
    // with error set.
    static CommandLine parse(const QStringList& arguments);

    // The --help text, translated into the installed language.
    static QString usage();
    // What --version prints: "zorvan" and the viewer's version.
    static QString versionText();

    // Whether the arguments ask for anything beyond a plain start.
    bool asksSomething() const;
    // The screen option as an index, or -1 when it is a name or absent.
    int screenIndex() const;

    // Finds a name as a person types it: the name itself, else the one
    // name that equals it ignoring case; -1 when none does, or when several
    // do ignoring case and none exactly (then only the exact one is meant).
    static qsizetype findName(const QStringList& names, const QString& typed);
    // An unknown name's error: notFound, then the names there are, as
    // known (a text with %1, "Layouts: %1."); at most kNamesListed of them.
    static QString unknownName(const QString& notFound, const char* known,
                               const QStringList& names);
    static constexpr int kNamesListed = 20;
};
