#include "soundsink.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

// Starts a program with its output in the file out. Everything is prepared
// before fork, so the child only calls what is safe in a threaded process.
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
    if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
    }
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

}  // namespace

PrivatePulse*& PrivatePulse::instance() {
    static PrivatePulse* pulse = nullptr;
    return pulse;
}

bool PrivatePulse::start(std::string* why) {
    char pattern[] = "/tmp/zorvan-pulse-XXXXXX";
    if (!::mkdtemp(pattern)) {
        *why = "cannot make a runtime folder";
        return false;
    }
    dir_ = pattern;
    ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    const std::string socket = dir_ + "/native";
    pid_ = spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                  "--enable-memfd=no", "-n", "--load=module-null-sink sink_name=test",
                  "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1"},
                 dir_ + "/pulse.log");
    for (int i = 0; i < 1000; ++i) {
        struct stat st {};
        if (::stat(socket.c_str(), &st) == 0) {
            ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
            return true;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream log(dir_ + "/pulse.log");
    *why = "pulseaudio did not start: " +
           std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
    stop();
    return false;
}

void PrivatePulse::stop() {
    endProcess(pid_);
    pid_ = -1;
    if (!dir_.empty()) {
        const std::string command = "rm -rf '" + dir_ + "'";
        [[maybe_unused]] const int rc = std::system(command.c_str());
        dir_.clear();
    }
}

SinkRecorder::~SinkRecorder() {
    stop();
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

std::size_t SinkRecorder::samplesSoFar() const {
    struct stat st {};
    if (file_.empty() || ::stat(file_.c_str(), &st) != 0) return 0;
    return static_cast<std::size_t>(st.st_size) / 2;
}

std::vector<std::int16_t> SinkRecorder::stop() {
    std::vector<std::int16_t> samples;
    if (pid_ <= 0) return samples;
    endProcess(pid_);
    pid_ = -1;
    std::ifstream in(file_, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    samples.resize(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                               (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    ::unlink(file_.c_str());
    return samples;
}

ToneStats analyse(const std::vector<std::int16_t>& samples, int rate, double silenceRms) {
    ToneStats stats;
    const size_t block = static_cast<size_t>(rate / 50);
    double sumSquares = 0;
    size_t loud = 0;
    size_t crossings = 0;
    for (std::int16_t s : samples) stats.peak = std::max(stats.peak, std::abs(s / 32768.0));
    for (size_t start = 0; start + block <= samples.size(); start += block) {
        double sq = 0;
        for (size_t i = start; i < start + block; ++i)
            sq += (samples[i] / 32768.0) * (samples[i] / 32768.0);
        if (std::sqrt(sq / block) <= silenceRms) continue;
        sumSquares += sq;
        loud += block;
        for (size_t i = start + 1; i < start + block; ++i)
            if (samples[i - 1] < 0 && samples[i] >= 0) ++crossings;
    }
    if (loud > 0) {
        stats.seconds = static_cast<double>(loud) / rate;
        stats.rms = std::sqrt(sumSquares / static_cast<double>(loud));
        stats.frequency = static_cast<double>(crossings) / stats.seconds;
    }
    return stats;
}
