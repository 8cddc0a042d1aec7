// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the viewer: one viewer per settings file, the Qt
// application, the translations, the controller, and a clean end on quit or
// on SIGINT/SIGTERM.

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <curl/curl.h>
#include <sys/socket.h>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <optional>

#include "commandline.h"
#include "settings.h"
#include "singleviewer.h"
#include "translations.h"
#include "zorvanmacappdelegate.h"
#include "zvmainwindow.h"
#include "zvtexts.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM end the main loop like the quit command, so the frame
// and the settings are saved and the workers end before the process does.
void quitOnSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char c;
        [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// A second start asked for the running viewer: bring its window to the front.
void raiseWindow(QWidget* window) {
    if (!window) return;
    // Out of the minimised state into the one it had: full screen stays so.
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

// The second process's side: hands the command line to the running viewer,
// prints its message and gives its exit status. None when that viewer ended
// without taking it and this process holds the lock now: it is the viewer.
// Needs no display, hence a QCoreApplication (for the socket) rather than a
// QApplication, gone again before the viewer makes its own.
std::optional<int> handOver(int argc, char** argv, SingleViewer& single) {
    QCoreApplication app(argc, argv);
    const std::optional<SingleViewer::Reply> reply =
        single.handOverOrBecomePrimary(QCoreApplication::arguments());
    if (!reply) return std::nullopt;
    if (!reply->message.isEmpty()) std::fprintf(stderr, "%s\n", qUtf8Printable(reply->message));
    return reply->status;
}

// --help, --version and unusable arguments are answered here, before the
// settings lock and without a display, so that they work from a console or
// a kiosk's start script: help and version on standard output, a fault on
// standard error with status 2. Nothing for a start.
std::optional<int> answerCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (const CommandLine c = CommandLine::parse(arguments);
        !c.help && !c.version && c.error.isNull())
        return std::nullopt;
    QCoreApplication app(argc, argv);
    installTranslations(app, QLocale::system());
    // Parsed again now that the texts are in the user's language.
    const CommandLine c = CommandLine::parse(arguments);
    if (!c.error.isNull()) {
        std::fprintf(stderr, "zorvan: %s\n%s\n", qUtf8Printable(c.error),
                     qUtf8Printable(zvText(QT_TRANSLATE_NOOP(
                         "Zorvan", "Try 'zorvan --help' for more information."))));
        return CommandLine::kUsageError;
    }
    const QString text = c.help ? CommandLine::usage() : CommandLine::versionText() + '\n';
    std::fputs(qUtf8Printable(text), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> answered = answerCommandLine(argc, argv)) return *answered;
    // Before any thread exists, as libcurl requires.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int rc;
    // Each save rewrites the whole settings file, so a second viewer on the
    // same file would undo the first one's changes: the first viewer holds
    // the file's lock, and a later start hands over to it and ends here.
    SingleViewer single(Settings::defaultFolder());
    if (!single.becomePrimary()) {
        if (const std::optional<int> status = handOver(argc, argv, single)) {
            curl_global_cleanup();
            return *status;
        }
    }
    {
        QApplication app(argc, argv);
        QApplication::setOrganizationName("Zorvan");
        QApplication::setApplicationName("Zorvan");
        QApplication::setWindowIcon(QIcon(":/icons/zorvan.png"));
        installTranslations(app, QLocale::system());
        quitOnSignals(app);

        ZorvanMacAppDelegate controller(Settings::sharedSettings());
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller,
                         [&controller] { controller.applicationWillTerminate(); });
        // What a later start names is shown here; its status and message go
        // back to it. A start that names nothing brings the window forward.
        QObject::connect(&single, &SingleViewer::handedOver, &controller,
                         [&controller](const QStringList& arguments, SingleViewer::Reply* reply) {
                             QString message;
                             const int status = controller.applyCommandLine(arguments, &message);
                             if (reply) *reply = {status, message};
                             if (status == 0 && !CommandLine::parse(arguments).asksSomething())
                                 raiseWindow(controller.window());
                         });
        // Names are checked before any window shows: an unknown one ends
        // the start with status 2.
        QString message;
        if (controller.applyCommandLine(QApplication::arguments(), &message, false) != 0) {
            std::fprintf(stderr, "zorvan: %s\n", qUtf8Printable(message));
            rc = CommandLine::kUsageError;
        } else {
            single.listen();
            controller.applicationDidFinishLaunching();
            controller.applyCommandLine(QApplication::arguments(), &message);
            rc = QApplication::exec();
        }
    }
    curl_global_cleanup();
    return rc;
}
