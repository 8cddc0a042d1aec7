// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include <algorithm>
#include <array>

#include "zvtexts.h"

namespace {

// Qt's options that QApplication takes away from the arguments (Qt accepts
// them with one dash or two), and whether each is followed by a value. The
// raw argv before the application object still holds them, as does the
// list a second start hands over, which only a QCoreApplication saw.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr std::array kQtOptions = {
    QtOption{"platform", true},        QtOption{"platformpluginpath", true},
    QtOption{"platformtheme", true},   QtOption{"plugin", true},
    QtOption{"display", true},         QtOption{"style", true},
    QtOption{"stylesheet", true},      QtOption{"session", true},
    QtOption{"qwindowgeometry", true}, QtOption{"qwindowtitle", true},
    QtOption{"qwindowicon", true},     QtOption{"reverse", false},
};

// How many arguments from argument on are Qt's own (0 when it is not one).
int qtOptionLength(const QString& argument) {
    if (!argument.startsWith('-') || argument.size() < 2) return 0;
    QString key = argument.mid(argument.startsWith("--") ? 2 : 1);
    const qsizetype eq = key.indexOf('=');
    const bool inlineValue = eq >= 0;
    if (inlineValue) key.truncate(eq);
    for (const QtOption& o : kQtOptions) {
        if (key != QLatin1String(o.name)) continue;
        return o.takesValue && !inlineValue ? 2 : 1;
    }
    return 0;
}

QString fault(const char* text, const QString& arg) {
    return zvText(text).arg(arg);
}

}  // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine c;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (const int n = qtOptionLength(arg)) {
            i += n - 1;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            c.help = true;
            return c;
        }
        if (arg == "-v" || arg == "--version") {
            c.version = true;
            return c;
        }
        if (!arg.startsWith("--") || arg.size() == 2) {
            c.error = arg.startsWith('-') && arg.size() > 1
                          ? fault(QT_TRANSLATE_NOOP("Zorvan", "unknown option '%1'"), arg)
                          : fault(QT_TRANSLATE_NOOP("Zorvan", "unexpected argument '%1'"), arg);
            return c;
        }
        const qsizetype eq = arg.indexOf('=');
        const QString key = eq < 0 ? arg : arg.left(eq);
        if (key == "--full-screen" || key == "--new-window") {
            if (eq >= 0) {
                c.error = fault(QT_TRANSLATE_NOOP("Zorvan", "option '%1' takes no value"), key);
                return c;
            }
            (key == "--full-screen" ? c.fullScreen : c.newWindow) = true;
            continue;
        }
        Shows shows = Shows::Nothing;
        QString* target = nullptr;
        if (key == "--layout") {
            shows = Shows::Layout;
        } else if (key == "--tour") {
            shows = Shows::Tour;
        } else if (key == "--server") {
            shows = Shows::Server;
        } else if (key == "--camera") {
            target = &c.camera;
        } else if (key == "--screen") {
            target = &c.screen;
        } else {
            c.error = fault(QT_TRANSLATE_NOOP("Zorvan", "unknown option '%1'"), key);
            return c;
        }
        QString value;
        if (eq >= 0) {
            value = arg.mid(eq + 1);
        } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith('-')) {
            value = arguments[++i];
        }
        if (value.isEmpty()) {
            c.error = fault(QT_TRANSLATE_NOOP("Zorvan", "option '%1' needs a value"), key);
            return c;
        }
        if (shows != Shows::Nothing) {
            if (c.shows != Shows::Nothing) {
                c.error = zvText(QT_TRANSLATE_NOOP(
                    "Zorvan", "only one of --layout, --tour and --server may be given"));
                return c;
            }
            c.shows = shows;
            c.name = value;
        } else {
            if (!target->isNull()) {
                c.error = fault(QT_TRANSLATE_NOOP("Zorvan", "option '%1' is given twice"), key);
                return c;
            }
            *target = value;
        }
    }
    // Checked at the end, so that --camera may come before --server.
    if (!c.camera.isNull() && c.shows != Shows::Server)
        c.error = zvText(QT_TRANSLATE_NOOP("Zorvan", "--camera needs --server"));
    return c;
}

QString CommandLine::usage() {
    static constexpr const char* kLines[] = {
        QT_TRANSLATE_NOOP("Zorvan",
                          "Usage: zorvan [--layout NAME | --tour NAME | --server NAME [--camera "
                          "NAME]] [--screen N|NAME] [--full-screen] [--new-window]"),
        "",
        QT_TRANSLATE_NOOP("Zorvan", "  --layout NAME     show the saved layout NAME"),
        QT_TRANSLATE_NOOP("Zorvan", "  --tour NAME       run the tour NAME"),
        QT_TRANSLATE_NOOP("Zorvan", "  --server NAME     show the cameras of the server NAME"),
        QT_TRANSLATE_NOOP("Zorvan", "  --camera NAME     with --server: show the camera NAME"),
        QT_TRANSLATE_NOOP("Zorvan",
                          "  --screen N|NAME   open on screen N (from 0) or the screen NAME"),
        QT_TRANSLATE_NOOP("Zorvan", "  --full-screen     start in full screen"),
        QT_TRANSLATE_NOOP("Zorvan",
                          "  --new-window      show it in a new window of the running viewer"),
        QT_TRANSLATE_NOOP("Zorvan", "  -h, --help        show this help and exit"),
        QT_TRANSLATE_NOOP("Zorvan", "  -v, --version     show the version and exit"),
    };
    QString text;
    for (const char* line : kLines) text += (*line ? zvText(line) : QString()) + '\n';
    return text;
}

QString CommandLine::versionText() {
    return QStringLiteral("zorvan " ZORVAN_VERSION);
}

bool CommandLine::asksSomething() const {
    return shows != Shows::Nothing || !screen.isNull() || fullScreen || newWindow || help ||
           version || !error.isNull();
}

int CommandLine::screenIndex() const {
    bool ok = false;
    const int index = screen.toInt(&ok, 10);
    // toInt takes a sign and spaces; an index is digits alone.
    const bool digitsOnly =
        !screen.isEmpty() &&
        std::all_of(screen.begin(), screen.end(), [](QChar ch) { return ch >= '0' && ch <= '9'; });
    return ok && digitsOnly ? index : -1;
}

qsizetype CommandLine::findName(const QStringList& names, const QString& typed) {
    if (const qsizetype exact = names.indexOf(typed); exact >= 0) return exact;
    qsizetype found = -1;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].compare(typed, Qt::CaseInsensitive) != 0) continue;
        if (found >= 0) return -1;  // "lobby" for both "Lobby" and "LOBBY"
        found = i;
    }
    return found;
}

QString CommandLine::unknownName(const QString& notFound, const char* known,
                                 const QStringList& names) {
    if (names.isEmpty()) return notFound;
    QStringList listed = names.mid(0, kNamesListed);
    if (names.size() > kNamesListed) listed << QStringLiteral("…");
    return notFound + ' ' + zvText(known).arg(listed.join(QStringLiteral(", ")));
}
