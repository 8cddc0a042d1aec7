// SPDX-License-Identifier: GPL-3.0-or-later
#include "soundsink.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {

constexpr int kRate = SinkRecorder::kRate;
int pulse = -1;

// Starts a program with its output and errors in the file out, by its pid.
// Everything is prepared before fork, so the child only calls what is safe
// in a threaded process (a QProcess here made ThreadSanitizer lose track of
// the main thread's locks).
int spawn(const std::vector<std::string>& args, const std::string& out) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = ::fork();
    if (pid != 0) {
        if (fd >= 0) ::close(fd);
        return pid;
    }
    // Ends with the test, also when a timeout kills it before its clean-up.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::dup2(fd, 1);  // no output file (fd -1): these fail and change nothing
    ::dup2(fd, 2);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

// Ends a program with SIGTERM (pulseaudio and parec both end on it).
void end(int& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

}  // namespace

bool startSoundServer(const QString& dir) {
    qputenv("XDG_RUNTIME_DIR", dir.toUtf8());
    const std::string socket = dir.toStdString() + "/native";
    pulse = spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                   "--enable-memfd=no", "-n", "--load=module-null-sink sink_name=test",
                   "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1"},
                  dir.toStdString() + "/pulse.log");
    for (int i = 0; i < 1000 && ::waitpid(pulse, nullptr, WNOHANG) == 0; ++i) {
        if (::access(socket.c_str(), F_OK) == 0)
            return qputenv("PULSE_SERVER", QByteArray("unix:") + socket.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    QFile log(dir + "/pulse.log");
    log.open(QIODevice::ReadOnly);
    std::fprintf(stderr, "audio tests: pulseaudio did not start: %s\n", log.readAll().data());
    end(pulse);
    return false;
}

void stopSoundServer() {
    end(pulse);
}

bool soundServerRunning() {
    return pulse > 0;
}

bool SinkRecorder::start() {
    char pattern[] = "/tmp/zorvan-rec-XXXXXX";  // a name of its own; parec's output goes there
    ::close(::mkstemp(pattern));
    file_ = pattern;
    pid_ = spawn({"parec", "-d", "test.monitor", "--raw", "--format=s16le",
                  "--rate=" + std::to_string(kRate), "--channels=1", "--latency-msec=20"},
                 file_);
    return pid_ > 0;
}

std::size_t SinkRecorder::samplesSoFar() const {
    return static_cast<std::size_t>(QFileInfo(QString::fromStdString(file_)).size()) / 2;
}

std::vector<std::int16_t> SinkRecorder::stop() {
    std::vector<std::int16_t> samples;
    if (pid_ <= 0) return samples;
    end(pid_);
    std::ifstream in(file_, std::ios::binary | std::ios::ate);
    samples.resize(static_cast<size_t>(in.tellg()) / 2);  // little-endian, as the machine
    in.seekg(0).read(reinterpret_cast<char*>(samples.data()), 2 * samples.size());
    ::unlink(file_.c_str());
    return samples;
}

ToneStats analyse(const std::vector<std::int16_t>& samples) {
    ToneStats stats;
    const size_t block = kRate / 50;
    double sumSquares = 0;
    size_t loud = 0, crossings = 0;
    for (std::int16_t s : samples) stats.peak = std::max(stats.peak, std::abs(s / 32768.0));
    for (size_t start = 0; start + block <= samples.size(); start += block) {
        double sq = 0;
        for (size_t i = start; i < start + block; ++i)
            sq += (samples[i] / 32768.0) * (samples[i] / 32768.0);
        if (std::sqrt(sq / block) <= 0.01) continue;
        sumSquares += sq;
        loud += block;
        for (size_t i = start + 1; i < start + block; ++i)
            if (samples[i - 1] < 0 && samples[i] >= 0) ++crossings;
    }
    if (loud > 0) {
        stats.seconds = static_cast<double>(loud) / kRate;
        stats.rms = std::sqrt(sumSquares / static_cast<double>(loud));
        stats.frequency = static_cast<double>(crossings) / stats.seconds;
    }
    return stats;
}
