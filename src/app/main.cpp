// Entry point of the viewer: the Qt application, the translations, the
// controller, and a clean end on quit or on SIGINT/SIGTERM.

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <curl/curl.h>
#include <sys/socket.h>

#include <unistd.h>
#include <csignal>

#include "settings.h"
#include "translations.h"
#include "zorvanmacappdelegate.h"

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

}  // namespace

int main(int argc, char** argv) {
    // Before any thread exists, as libcurl requires.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int rc;
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
        controller.applicationDidFinishLaunching();
        rc = QApplication::exec();
    }
    curl_global_cleanup();
    return rc;
}
