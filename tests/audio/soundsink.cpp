#include "soundsink.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

constexpr int kRate = SinkRecorder::kRate;
std::unique_ptr<QProcess> pulse;

// Starts a program with its output and errors in the file out. It ends with
// the test, also when a timeout kills the test before its clean-up.
std::unique_ptr<QProcess> spawn(const QStringList& args, const QString& out) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(out);
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process->start(args.first(), args.mid(1));
    return process;
}

// Ends a program with SIGTERM, or SIGKILL when that does not end it.
void end(std::unique_ptr<QProcess>& process) {
    if (process) {
        process->terminate();
        if (!process->waitForFinished(2000)) process->kill();
    }
    process.reset();
}

}  // namespace

bool startSoundServer(const QString& dir) {
    qputenv("XDG_RUNTIME_DIR", dir.toUtf8());
    const QString socket = dir + "/native";
    pulse = spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                   "--enable-memfd=no", "-n", "--load=module-null-sink sink_name=test",
                   "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1"},
                  dir + "/pulse.log");
    for (int i = 0; i < 1000 && pulse->state() != QProcess::NotRunning; ++i) {
        if (QFile::exists(socket)) return qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());
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
    return pulse != nullptr;
}

bool SinkRecorder::start() {
    char pattern[] = "/tmp/zorvan-rec-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0) return false;
    ::close(fd);
    file_ = pattern;
    parec_ = spawn({"parec", "-d", "test.monitor", "--raw", "--format=s16le",
                    "--rate=" + QString::number(kRate), "--channels=1", "--latency-msec=20"},
                   QString::fromStdString(file_));
    return parec_->waitForStarted();
}

std::size_t SinkRecorder::samplesSoFar() const {
    return file_.empty()
               ? 0
               : static_cast<std::size_t>(QFileInfo(QString::fromStdString(file_)).size()) / 2;
}

std::vector<std::int16_t> SinkRecorder::stop() {
    std::vector<std::int16_t> samples;
    if (!parec_) return samples;
    end(parec_);
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
