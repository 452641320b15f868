#include "engine/recording/scan_recorder.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstring>

namespace engine {
namespace {

// Gathered lines are written out before they pass this, whatever the time: at 1000 scans a
// second of eight channels, about five seconds' worth.
constexpr std::size_t kBatch = 512 * 1024;

std::string reason(int error) {
    switch (error) {
        case ENOSPC:
            return "the disk is full";
        case EDQUOT:
            return "the disk quota is used up";
        case EFBIG:
            return "the file has reached the largest size allowed here";
        case EROFS:
            return "the file system is read-only";
        case EACCES:
        case EPERM:
            return "there is no permission to write there";
        case ENOENT:
            return "the folder does not exist";
        case EEXIST:
            return "a file of that name already exists, and is kept";
        case EISDIR:
            return "that is a folder";
        case EIO:
            return "the disk reported an input/output error";
        default:
            return std::strerror(error);
    }
}

// A write past the process's file size limit also raises SIGXFSZ, whose default action ends
// the program. Held back from this thread for the length of a write, the signal cannot end
// it: the write fails with EFBIG and the recording stops with a reason. The signal left
// pending is taken back before the thread sees it again, so nothing outside the recorder
// changes how the program handles signals.
class FileSizeSignalHeld {
  public:
    FileSizeSignalHeld() {
        sigemptyset(&signal_);
        sigaddset(&signal_, SIGXFSZ);
        pthread_sigmask(SIG_BLOCK, &signal_, &before_);
    }
    ~FileSizeSignalHeld() {
        sigset_t pending;
        if (!sigismember(&before_, SIGXFSZ) && sigpending(&pending) == 0 &&
            sigismember(&pending, SIGXFSZ)) {
            const timespec now{};
            sigtimedwait(&signal_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }
    FileSizeSignalHeld(const FileSizeSignalHeld&) = delete;
    FileSizeSignalHeld& operator=(const FileSizeSignalHeld&) = delete;

  private:
    sigset_t signal_, before_;
};

}  // namespace

ScanRecorder::ScanRecorder() {
    pending_.reserve(kBatch + 4096);
}

ScanRecorder::~ScanRecorder() {
    close();
}

void ScanRecorder::formatTime(std::string& out, double seconds) {
    char text[48];
    const auto r = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 6);
    out.append(text, r.ptr);
}

void ScanRecorder::formatValue(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += value != value ? "nan" : (value > 0 ? "inf" : "-inf");
        return;
    }
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    out.append(text, r.ptr);
}

bool ScanRecorder::open(const std::string& path, bool overwrite, double begin,
                        const Header& header) {
    close();
    error_.clear();
    path_ = path;
    scans_ = 0;
    scansWritten_ = 0;
    written_ = 0;
    begin_ = begin;
    traces_ = header.traces;
    calibrated_.clear();
    for (int t = 0; t < traces_ && t < static_cast<int>(header.channels.size()); ++t)
        if (const ChannelSetup& c = header.channels[static_cast<std::size_t>(t)]; c.calibrated())
            calibrated_.push_back({t, c.gain, c.offset});
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
    fd_ = ::open(path.c_str(), flags, 0644);
    if (fd_ < 0) {
        error_ = "Cannot record to " + path + ": " + reason(errno) + ".";
        return false;
    }
    pending_.clear();
    for (const std::string& c : header.comments) pending_ += "# " + c + "\n";
    pending_ += "time_s";
    for (int t = 0; t < header.traces; ++t)
        pending_ += ",ch" + std::to_string(t) + (header.unit.empty() ? "" : "_" + header.unit);
    for (const Calibrated& c : calibrated_)
        pending_ += "," + CalibratedColumn(header.channels[static_cast<std::size_t>(c.trace)]);
    pending_ += "\n";
    return flush();
}

void ScanRecorder::append(double seconds, const double* values) {
    if (fd_ < 0) return;
    formatTime(pending_, seconds - begin_);
    for (int t = 0; t < traces_; ++t) {
        pending_ += ',';
        formatValue(pending_, values[t]);
    }
    for (const Calibrated& c : calibrated_) {
        pending_ += ',';
        formatValue(pending_, c.gain * values[c.trace] + c.offset);
    }
    pending_ += '\n';
    ++scans_;
    if (pending_.size() >= kBatch) flush();
}

void ScanRecorder::comment(const std::string& text) {
    if (fd_ < 0) return;
    pending_ += "# " + text + "\n";
}

bool ScanRecorder::flush() {
    if (fd_ < 0) return error_.empty();
    std::size_t done = 0;
    const FileSizeSignalHeld held;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    written_ += static_cast<long long>(pending_.size());
    scansWritten_ = scans_;
    pending_.clear();
    // Written to a file nobody can reach any more: its folder or the file itself removed.
    struct stat st {};
    if (fstat(fd_, &st) == 0 && st.st_nlink == 0) {
        error_ = "Recording stopped: " + path_ +
                 " was deleted, or its folder removed, while recording; the scans since are "
                 "lost.";
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

void ScanRecorder::fail(int error) {
    // Cut back to the last whole line, so that the file still parses.
    if (ftruncate(fd_, static_cast<off_t>(written_)) != 0) {
        // Nothing more to do: the reader may then find a last line cut short.
    }
    ::close(fd_);
    fd_ = -1;
    pending_.clear();
    // Say what is left: at the very start (the header did not fit), nothing.
    if (written_ == 0)
        error_ = "Cannot record to " + path_ + ": " + reason(error) + "; nothing was written.";
    else if (scansWritten_ == 0)
        error_ = "Recording stopped: " + reason(error) + ". No scan was written to " + path_ +
                 ", only its header.";
    else
        error_ = "Recording stopped: " + reason(error) + ". The scans written before stay in " +
                 path_ + ".";
}

bool ScanRecorder::close() {
    if (fd_ < 0) return error_.empty();
    const bool ok = flush();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return ok;
}

}  // namespace engine
