// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the benchmarks read of their own process: CPU time (all threads, the
// calling thread, each thread by name) and resident memory. Linux only.

#include <sys/resource.h>

#include <dirent.h>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <string>

inline double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

inline double mainThreadCpuSeconds() {
    rusage u;
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

// CPU seconds of this process's threads, summed by thread name.
inline std::map<std::string, double> threadCpuByName() {
    std::map<std::string, double> byName;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return byName;
    while (dirent* e = readdir(dir)) {
        const int tid = std::atoi(e->d_name);
        if (tid <= 0) continue;
        std::ifstream commFile("/proc/self/task/" + std::string(e->d_name) + "/comm");
        std::string name;
        std::getline(commFile, name);
        // The kernel's CPU clock of another thread of this process, as
        // pthread_getcpuclockid() makes it from the thread id.
        const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6);
        timespec ts;
        if (clock_gettime(clock, &ts) == 0) byName[name] += ts.tv_sec + ts.tv_nsec / 1e9;
    }
    closedir(dir);
    return byName;
}

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:"), as MB.
inline double statusMb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string key; status >> key;) {
        if (key == field) {
            double kb = 0;
            status >> kb;
            return kb / 1024;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

inline double rssMb() {
    return statusMb("VmRSS:");
}
