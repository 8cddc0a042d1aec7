// SPDX-License-Identifier: GPL-3.0-or-later
// zorvan-demo-server: runs DemoServer until SIGINT or SIGTERM. Prints one
// line with the address it listens on to stdout, and one line per answered
// request to stderr.

#include <QGuiApplication>

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "commandline.h"
#include "demoserver.h"

int main(int argc, char** argv) {
    // Block the stop signals before any thread exists, so that every thread
    // inherits the mask and only the sigwait() below receives them; the
    // server is then stopped from ordinary code, not from a signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that goes away while its answer is written must not end the
    // server: the HTTP library writes with plain send().
    std::signal(SIGPIPE, SIG_IGN);

    const demo::CommandLine command =
        demo::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (command.help) {
        std::fputs(demo::usage().c_str(), stdout);
        return 0;
    }
    if (!command.error.empty()) {
        std::fprintf(stderr, "zorvan-demo-server: %s\n%s", command.error.c_str(),
                     demo::usage().c_str());
        return 2;
    }

    // Text on the pictures needs a QGuiApplication; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt gets the program name only: the server's options are not Qt's.
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    std::mutex logLock;  // one whole line at a time from the workers
    DemoServer server(command.options);
    server.setLogHook([&logLock](const DemoServer::RequestLog& e) {
        std::lock_guard lock(logLock);
        std::fprintf(stderr, "%s %s %d %zu bytes %.1f ms\n", e.method.c_str(), e.target.c_str(),
                     e.status, e.bytes, static_cast<double>(e.elapsed.count()) / 1000.0);
    });
    if (!server.start()) {
        std::fprintf(stderr, "zorvan-demo-server: %s\n", server.errorString().c_str());
        return 1;
    }

    const std::string& host = command.options.host;
    const bool ipv6 = host.find(':') != std::string::npos;
    std::printf("zorvan-demo-server listening on http://%s%s%s:%d\n", ipv6 ? "[" : "", host.c_str(),
                ipv6 ? "]" : "", server.port());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    {
        std::lock_guard lock(logLock);
        std::fprintf(stderr, "zorvan-demo-server: %s received, stopping\n",
                     received == SIGINT ? "SIGINT" : "SIGTERM");
    }
    server.stop();
    return 0;
}
