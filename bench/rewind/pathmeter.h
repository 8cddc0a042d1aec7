// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the rewind path bench reads over a stretch of its run: its own CPU
// (all threads, the main thread, the rewind keeper's slot), the demo
// server's, the rest of the machine's, and the pictures the views showed.
// Linux only.

#include <QElapsedTimer>

#include <unistd.h>

#include <cstddef>
#include <fstream>
#include <string>

#include "othercpu.h"
#include "processfigures.h"

// CPU seconds the whole machine spent busy so far (every core).
double machineBusySeconds() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    double user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    return (user + nice + system + irq + softirq + steal) / double(sysconf(_SC_CLK_TCK));
}

std::string firstLineWith(const char* path, const std::string& key) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) {
            const size_t colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    return "?";
}

// What the process, its main thread, the demo server and the rest of the
// machine spent, in cores, and what the views showed, over a stretch.
struct Window {
    double seconds = 0, cores = 0, mainCores = 0, keeperCores = 0, demoCores = 0, otherCores = 0;
    double pictures = 0, frames = 0;  // a second: still cells together, the video view
};

struct Counters {
    double keeperCpu = 0;  // the keeper's slot, on the main thread
    size_t pictures = 0, frames = 0;
};

class Meter {
public:
    Meter(const Counters& c, qint64 demoPid) : c_(c), pid_(demoPid) { restart(); }
    void restart() {
        clock_.start();
        cpu_ = cpuSeconds(), main_ = mainThreadCpuSeconds(), keeper_ = c_.keeperCpu;
        demo_ = processCpuSeconds(pid_), machine_ = machineBusySeconds();
        pictures_ = c_.pictures, frames_ = c_.frames;
    }
    Window read() const {
        Window w;
        w.seconds = double(clock_.nsecsElapsed()) / 1e9;
        w.cores = (cpuSeconds() - cpu_) / w.seconds;
        w.mainCores = (mainThreadCpuSeconds() - main_) / w.seconds;
        w.keeperCores = (c_.keeperCpu - keeper_) / w.seconds;
        w.demoCores = (processCpuSeconds(pid_) - demo_) / w.seconds;
        w.otherCores = (machineBusySeconds() - machine_) / w.seconds - w.cores - w.demoCores;
        w.pictures = double(c_.pictures - pictures_) / w.seconds;
        w.frames = double(c_.frames - frames_) / w.seconds;
        return w;
    }

private:
    const Counters& c_;
    qint64 pid_;
    QElapsedTimer clock_;
    double cpu_ = 0, main_ = 0, keeper_ = 0, demo_ = 0, machine_ = 0;
    size_t pictures_ = 0, frames_ = 0;
};
