// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <functional>

// main() of the benchmarks that need libcurl and an offscreen Qt
// application on the main thread; afterRuns (a table of the results, say)
// runs once the benchmarks have, while the application still exists.
inline int runQtBenchmarks(int argc, char** argv, const std::function<void()>& afterRuns = {}) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    {
        QApplication app(argc, argv);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        if (afterRuns) afterRuns();
    }
    curl_global_cleanup();
    return 0;
}
