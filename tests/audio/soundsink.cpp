#include "soundsink.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

constexpr int kRate = 44100;
int pulsePid = -1;

// Starts a program with its output in the file out. Everything is prepared
// before fork, so the child only calls what is safe in a threaded process.
int spawn(const std::vector<std::string>& args, const std::string& out) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = ::fork();
    if (pid != 0) {
        ::close(fd);
        return pid;
    }
    // Ends with the test, also when a timeout kills it before its clean-up.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

void endProcess(int pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Starts the server in the folder dir and points this process
// (PULSE_SERVER) at it; false when it does not come up.
bool startPulse(const std::string& dir) {
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    const std::string socket = dir + "/native";
    pulsePid = spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                      "--enable-memfd=no", "-n", "--load=module-null-sink sink_name=test",
                      "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1"},
                     dir + "/pulse.log");
    for (int i = 0; i < 1000 && ::waitpid(pulsePid, nullptr, WNOHANG) == 0; ++i) {
        struct stat st {};
        if (::stat(socket.c_str(), &st) == 0)
            return ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream log(dir + "/pulse.log");
    std::fprintf(stderr, "audio tests: pulseaudio did not start: %s\n",
                 std::string(std::istreambuf_iterator<char>(log), {}).c_str());
    endProcess(pulsePid);
    pulsePid = -1;
    return false;
}

}  // namespace

bool soundServerRunning() {
    return pulsePid > 0;
}

bool SinkRecorder::start() {
    char pattern[] = "/tmp/zorvan-rec-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0) return false;
    ::close(fd);
    file_ = pattern;
    pid_ = spawn({"parec", "-d", "test.monitor", "--raw", "--format=s16le",
                  "--rate=" + std::to_string(kRate), "--channels=1", "--latency-msec=20"},
                 file_);
    return pid_ > 0;
}

std::vector<std::int16_t> SinkRecorder::stop() {
    std::vector<std::int16_t> samples;
    if (pid_ <= 0) return samples;
    endProcess(pid_);
    pid_ = -1;
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

// The suite's main: the sound server before anything touches the sound
// system (listing the tests needs none), then an offscreen QApplication.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    char dir[] = "/tmp/zorvan-pulse-XXXXXX";
    const bool made = !testing::GTEST_FLAG(list_tests) && ::mkdtemp(dir);
    if (made) startPulse(dir);
    int rc;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    endProcess(pulsePid);
    if (made && std::system(("rm -rf '" + std::string(dir) + "'").c_str()) != 0) return 1;
    return rc;
}
