// SPDX-License-Identifier: GPL-3.0-or-later
// Soak of the live picture path: the data manager, a server record's refresh
// and a view fetch pictures from the demo server (its own process, on
// 127.0.0.1, any free port) as fast as it answers, for many pictures, while
// this process's resident memory, open files and threads are sampled.
//
// Passes (exit 0) when, after the warm-up, resident memory is flat (the
// least-squares slope over the samples stays within the allowance) and the
// numbers of open files and threads never change. Exit 1 on a failure,
// 2 on a usage error or when no picture arrives.
//
//   bench_soak [--pictures N] [--short] [--sample-seconds S] [--size WxH]
//              [--switch-every N] [--max-slope KIB]

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTimer>

#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TXJsonValue.h"
#include "cameraimageview.h"
#include "camserver.h"
#include "demoprocess.h"
#include "mainthreadcall.h"
#include "zvdatamanager.h"

namespace {

struct Options {
    long pictures = 100000;
    double sampleSeconds = 5;
    int width = 320, height = 240;
    long switchEvery = 5000;   // pictures between camera switches; 0: never
    double maxSlopeKiB = 64;   // per 10,000 pictures
    double warmUpShare = 0.2;  // of the pictures
};

struct Sample {
    double seconds;
    long pictures;
    long rssKiB;
    int files;
    int threads;
};

long rssKiB() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int entries(const char* dir) {
    return static_cast<int>(
        QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

// Keeps the shown picture, as the viewer's image view does.
class CountingView : public CameraImageView {
public:
    CountingView(int w, int h) : size_(w, h) {}
    void setPicture(const QImage& image) override {
        shown = image;
        if (image.isNull()) {
            ++empty;
        } else {
            ++delivered;
        }
    }
    QSizeF boundsSize() const override { return size_; }
    void setDelegate(CameraView*) override {}
    QImage shown;
    long delivered = 0;
    long empty = 0;

private:
    QSizeF size_;
};

// Least-squares slope of y over x.
double slope(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = n * sxx - sx * sx;
    return d != 0 ? (n * sxy - sx * sy) / d : 0;
}

bool parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--short") {
            // Long enough for the resident memory to settle; a shorter run
            // measures the warm-up, not a leak.
            o->pictures = 10000;
            o->sampleSeconds = 0.5;
            o->switchEvery = 1000;
            o->warmUpShare = 0.5;
        } else if (a == "--pictures" && more) {
            o->pictures = std::atol(argv[++i]);
        } else if (a == "--sample-seconds" && more) {
            o->sampleSeconds = std::atof(argv[++i]);
        } else if (a == "--switch-every" && more) {
            o->switchEvery = std::atol(argv[++i]);
        } else if (a == "--max-slope" && more) {
            o->maxSlopeKiB = std::atof(argv[++i]);
        } else if (a == "--size" && more) {
            if (std::sscanf(argv[++i], "%dx%d", &o->width, &o->height) != 2) return false;
        } else {
            return false;
        }
    }
    return o->pictures > 0 && o->sampleSeconds > 0 && o->width > 0 && o->height > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, &options)) {
        std::fprintf(
            stderr,
            "usage: bench_soak [--pictures N (100000)] [--short] [--sample-seconds S (5)]\n"
            "                  [--size WxH (320x240)] [--switch-every N (5000)]\n"
            "                  [--max-slope KIB per 10,000 pictures (64)]\n");
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        DemoProcess demo;
        if (demo.port() == 0) {
            std::fprintf(stderr, "bench_soak: the demo server did not start\n");
            return 2;
        }
        auto server = CamServer::create();
        server->setHost("127.0.0.1");
        server->setPort(QString::number(demo.port()));
        server->setLogin("admin");
        server->setPassword("");
        server->setFps("1000");  // the highest rate the refresh allows
        tx::JsonArray cameras;
        for (int i = 0; i < 4; ++i) {
            cameras.push_back(
                tx::JsonObject{{"name", "soak " + std::to_string(i)},
                               {"image-uri", "/cameras/" + std::to_string(i) + "/image"}});
        }
        server->setCameras(tx::JsonValue(std::move(cameras)));

        CountingView view(options.width, options.height);
        ZVDataManager dm(server);
        long shownCamera = 0;
        auto show = [&](long index) {
            server->getCameras()->at(static_cast<size_t>(index))->setCamera(&view);
            server->videoCameraAtIndex(index);
        };
        show(0);

        std::vector<Sample> samples;
        QElapsedTimer clock;
        clock.start();
        std::printf("%9s %10s %9s %6s %8s %8s\n", "seconds", "pictures", "VmRSS KiB", "files",
                    "threads", "per s");
        long lastPictures = 0;
        double lastSeconds = 0;
        auto sample = [&] {
            Sample s{clock.nsecsElapsed() / 1e9, view.delivered, rssKiB(), entries("/proc/self/fd"),
                     entries("/proc/self/task")};
            samples.push_back(s);
            std::printf("%9.1f %10ld %9ld %6d %8d %8.1f\n", s.seconds, s.pictures, s.rssKiB,
                        s.files, s.threads,
                        (s.pictures - lastPictures) / (s.seconds - lastSeconds));
            std::fflush(stdout);
            lastPictures = s.pictures;
            lastSeconds = s.seconds;
        };
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            sample();
            if (view.delivered == 0 && clock.elapsed() > 30000) {
                std::fprintf(stderr, "bench_soak: no picture in 30 s\n");
                result = 2;
                app.quit();
            }
        });
        sampler.start(static_cast<int>(options.sampleSeconds * 1000));
        // Watches the count between samples: switches camera now and then,
        // and ends the run at the wanted number of pictures.
        QTimer watch;
        long nextSwitch = options.switchEvery;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (options.switchEvery > 0 && view.delivered >= nextSwitch) {
                nextSwitch += options.switchEvery;
                shownCamera = (shownCamera + 1) % 4;
                show(shownCamera);
            }
            if (view.delivered >= options.pictures) app.quit();
        });
        watch.start(10);
        app.exec();
        sample();

        server->stopVideo();
        MainThreadCall::close();
        dm.shutdown();

        if (result == 0) {
            // The warm-up: the first share of the pictures, during which
            // caches, arenas and worker threads settle.
            const double warmUpPictures = options.pictures * options.warmUpShare;
            std::vector<double> x, y;
            int minFiles = INT_MAX, maxFiles = 0, minThreads = INT_MAX, maxThreads = 0;
            for (const Sample& s : samples) {
                if (s.pictures < warmUpPictures) continue;
                x.push_back(static_cast<double>(s.pictures));
                y.push_back(static_cast<double>(s.rssKiB));
                minFiles = std::min(minFiles, s.files);
                maxFiles = std::max(maxFiles, s.files);
                minThreads = std::min(minThreads, s.threads);
                maxThreads = std::max(maxThreads, s.threads);
            }
            const double seconds = samples.back().seconds;
            std::printf(
                "\npictures %ld in %.0f s (%.1f per second), %ld without a picture, "
                "%zu samples after the warm-up of %.0f pictures\n",
                view.delivered, seconds, view.delivered / seconds, view.empty, x.size(),
                warmUpPictures);
            if (x.size() < 3) {
                std::printf("FAIL: too few samples after the warm-up (use a longer run)\n");
                result = 1;
            } else {
                const double perTenThousand = slope(x, y) * 10000;
                const bool flat = std::abs(perTenThousand) <= options.maxSlopeKiB;
                std::printf("VmRSS slope: %+.1f KiB per 10,000 pictures (allowed %.0f): %s\n",
                            perTenThousand, options.maxSlopeKiB, flat ? "flat" : "GROWING");
                std::printf("open files: %d to %d: %s\n", minFiles, maxFiles,
                            minFiles == maxFiles ? "constant" : "CHANGING");
                std::printf("threads: %d to %d: %s\n", minThreads, maxThreads,
                            minThreads == maxThreads ? "constant" : "CHANGING");
                result = flat && minFiles == maxFiles && minThreads == maxThreads ? 0 : 1;
                std::printf("%s\n", result == 0 ? "PASS" : "FAIL");
            }
        }
    }
    curl_global_cleanup();
    return result;
}
