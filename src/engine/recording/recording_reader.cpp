#include "engine/recording/recording_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/escape.h"
#include "engine/recording/recording_lines.h"

namespace engine {
namespace {

constexpr std::size_t kBlock = 1 << 20;

// Takes the lines one by one, as the recorder wrote them.
class Lines {
  public:
    Lines(const std::string& name, const RecordingSink& sink) : name_(name), sink_(sink) {}

    // Nothing when the line is taken, else the refusal.
    std::optional<std::string> take(std::string_view line, long scansAtMost) {
        ++number_;
        if (!line.empty() && line[0] == '#') {
            std::string_view text = line.substr(1);
            if (!text.empty() && text[0] == ' ') text.remove_prefix(1);
            if (header_.traces == 0) {
                header_.comments.emplace_back(text);
                return channelLine(text);
            }
            gapLine(text);
            if (sink_.comment) sink_.comment(text, any_ ? std::optional(last_) : std::nullopt);
            return std::nullopt;
        }
        if (header_.traces == 0) return columns(line, scansAtMost);
        return scan(line);
    }
    std::optional<std::string> finish() {
        if (header_.traces == 0)
            return refuse(number_ == 0 ? "the file is empty" : "no column line (time_s,ch0,...)",
                          false);
        return std::nullopt;
    }
    std::optional<std::string> refuse(const std::string& what, bool withLine = true) const {
        return "Cannot open " + Printable(name_) +
               (withLine ? ", line " + std::to_string(number_) : std::string()) + ": " + what + ".";
    }
    void skip() { ++number_; }

  private:
    static std::string quoted(std::string_view field) {
        return "\"" + Printable(field.substr(0, 40)) + (field.size() > 40 ? "...\"" : "\"");
    }

    // "channel 2: name ...": the header's channels, 0, 1, ... in order, as the columns count.
    std::optional<std::string> channelLine(std::string_view text) {
        ChannelLineRead read = ReadChannelLine(text);
        if (read.refusal) return refuse(*read.refusal);
        if (!read.channel) return std::nullopt;
        const int expected = static_cast<int>(header_.channels.size());
        if (expected >= kRecordingTraceLimit)
            return refuse("more than " + std::to_string(kRecordingTraceLimit) + " channels");
        if (read.number != expected)
            return refuse("channel " + std::to_string(read.number) + " where channel " +
                          std::to_string(expected) + " was expected");
        header_.channels.push_back(std::move(*read.channel));
        return std::nullopt;
    }

    // The traces' columns "ch0_V", ...: as many as the header's channel lines, or with none,
    // every column. Then each calibrated channel's column, in order.
    std::optional<std::string> columns(std::string_view line, long scansAtMost) {
        std::size_t comma = line.find(',');
        if (line.substr(0, comma) != "time_s")
            return refuse("expected the column line time_s,ch0,... but found " + quoted(line));
        const std::size_t described = header_.channels.size();
        std::vector<std::string> extra;
        for (const ChannelSetup& c : header_.channels)
            if (c.calibrated()) extra.push_back(CalibratedColumn(c));
        int traces = 0;
        std::size_t extras = 0;
        while (comma != std::string_view::npos) {
            const std::size_t next = line.find(',', comma + 1);
            const std::string_view field =
                line.substr(comma + 1, next == std::string_view::npos ? next : next - comma - 1);
            const std::string column = std::to_string(traces + 2 + static_cast<int>(extras));
            comma = next;
            if (described > 0 && static_cast<std::size_t>(traces) == described) {
                if (extras == extra.size())
                    return refuse("column " + column + " is " + quoted(field) +
                                  ", past the calibrated channels' columns");
                if (field != extra[extras])
                    return refuse("column " + column + " is " + quoted(field) + ", not " +
                                  Printable(extra[extras]));
                ++extras;
                continue;
            }
            const std::string name = "ch" + std::to_string(traces);
            if (field.substr(0, name.size()) != name ||
                (field.size() > name.size() && field[name.size()] != '_'))
                return refuse("column " + column + " is " + quoted(field) + ", not " + name);
            const std::string_view unit =
                field.size() > name.size() ? field.substr(name.size() + 1) : std::string_view();
            if (traces > 0 && unit != header_.unit)
                return refuse("the columns name two units, " + quoted(header_.unit) + " and " +
                              quoted(unit));
            header_.unit = std::string(unit);
            if (++traces > kRecordingTraceLimit)
                return refuse("more than " + std::to_string(kRecordingTraceLimit) + " channels");
        }
        if (traces == 0) return refuse("the column line names no channel");
        if (static_cast<std::size_t>(traces) < described)
            return refuse("the header describes " + std::to_string(described) +
                          " channels, the column line only " + std::to_string(traces));
        if (extras < extra.size())
            return refuse("the column line ends before the column " + Printable(extra[extras]));
        header_.traces = traces;
        header_.scansAtMost = scansAtMost;
        values_.assign(static_cast<std::size_t>(traces), 0);
        extras_ = extras;
        if (sink_.header)
            if (auto refused = sink_.header(header_)) return refuse(*refused);
        return std::nullopt;
    }

    std::optional<std::string> scan(std::string_view line) {
        const auto traces = static_cast<std::size_t>(header_.traces);
        const std::size_t expected = traces + 1 + extras_;
        std::size_t fields = 0, start = 0;
        double seconds = 0;
        while (true) {
            const std::size_t comma = line.find(',', start);
            const std::string_view field =
                line.substr(start, comma == std::string_view::npos ? comma : comma - start);
            if (++fields > expected)
                return refuse("too many fields: the column line names " + std::to_string(expected));
            const std::optional<double> v = ParseRecordedNumber(field);
            if (!v) return refuse(quoted(field) + " is not a number");
            if (fields == 1) {
                if (!std::isfinite(*v)) return refuse("the time " + quoted(field) + " is no time");
                if (any_ && *v < last_)
                    return refuse("the time " + quoted(field) +
                                  " s goes back before the line above's");
                seconds = *v;
            } else if (fields - 2 < traces) {
                values_[fields - 2] = *v;
            }
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        if (fields < expected)
            return refuse(std::to_string(fields) + " fields where the column line names " +
                          std::to_string(expected));
        // More scans than the file had lines: it was written to while it was read.
        if (++scans_ > header_.scansAtMost) return refuse("the file grew while it was read");
        last_ = seconds;
        any_ = true;
        if (sink_.scan) sink_.scan(seconds, values_.data(), before_);
        before_ = ScanBefore::scans;
        return std::nullopt;
    }

    // "gap of 3.180 s after 17.990000 s", perhaps with " (a popup was open)": the next scan
    // follows a hole. Other comments among the scans only reach the sink.
    void gapLine(std::string_view text) {
        static constexpr std::string_view kGap = "gap of ", kPopup = " (a popup was open)";
        if (text.substr(0, kGap.size()) != kGap || text.find(" s after ") == text.npos) return;
        const bool popup =
            text.size() >= kPopup.size() && text.substr(text.size() - kPopup.size()) == kPopup;
        before_ = popup ? ScanBefore::gapDuringPopup : ScanBefore::gap;
    }

    const std::string& name_;
    const RecordingSink& sink_;
    RecordingHeader header_;
    std::vector<double> values_;
    std::size_t extras_ = 0;  // the calibrated channels' columns, after the traces'
    long number_ = 0, scans_ = 0;
    double last_ = 0;
    bool any_ = false;
    ScanBefore before_ = ScanBefore::scans;
};

// Splits blocks into lines for `lines`, holding at most one line across blocks.
class Splitter {
  public:
    Splitter(Lines& lines, long scansAtMost) : lines_(lines), scansAtMost_(scansAtMost) {}
    std::optional<std::string> feed(std::string_view block) {
        while (!block.empty()) {
            const std::size_t end = block.find('\n');
            const std::string_view part = block.substr(0, end);
            if (carry_.size() + part.size() > kRecordingLineLimit) {
                lines_.skip();  // counted, to be named
                return lines_.refuse("a line longer than " + std::to_string(kRecordingLineLimit) +
                                     " bytes");
            }
            if (end == std::string_view::npos) {
                carry_.append(part);
                return std::nullopt;
            }
            std::optional<std::string> refused;
            if (carry_.empty()) {
                refused = lines_.take(part, scansAtMost_);
            } else {
                carry_.append(part);
                refused = lines_.take(carry_, scansAtMost_);
                carry_.clear();
            }
            if (refused) return refused;
            block.remove_prefix(end + 1);
        }
        return std::nullopt;
    }
    std::optional<std::string> finish() {
        if (!carry_.empty()) {
            lines_.skip();
            return lines_.refuse("the last line is cut short (no end of line)");
        }
        return lines_.finish();
    }

  private:
    Lines& lines_;
    long scansAtMost_;
    std::string carry_;
};

long countLines(std::string_view text) {
    long n = 0;
    for (const char *p = text.data(), *end = p + text.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))));
         ++p)
        ++n;
    return n;
}

class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
    ~ReadOnlyFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    int fd() const { return fd_; }
    // Bytes read into `buffer`; 0 at the end, -1 on an error.
    long read(std::string& buffer) {
        while (true) {
            const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            return static_cast<long>(n);
        }
    }

  private:
    int fd_;
};

}  // namespace

std::optional<double> ParseRecordedNumber(std::string_view f) {
    // The common case, fixed decimals of a few digits, at once: an integer of at most 19
    // digits over a power of ten both exact in a double divides to the nearest double.
    static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    std::size_t i = 0;
    const bool negative = !f.empty() && f[0] == '-';
    i += negative;
    std::uint64_t m = 0;
    int digits = 0, decimals = 0;
    bool point = false, fast = i < f.size();
    for (; fast && i < f.size(); ++i) {
        const char c = f[i];
        if (c >= '0' && c <= '9' && digits < 19) {
            m = m * 10 + static_cast<unsigned>(c - '0');
            ++digits;
            decimals += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            fast = false;
        }
    }
    if (fast && digits > 0 && m < (std::uint64_t{1} << 53) && decimals <= 22) {
        const double v = static_cast<double>(m) / kTens[decimals];
        return negative ? -v : v;
    }
    double v = 0;
    const auto r = std::from_chars(f.data(), f.data() + f.size(), v, std::chars_format::general);
    if (f.empty() || r.ec != std::errc() || r.ptr != f.data() + f.size()) return std::nullopt;
    return v;
}

std::optional<std::string> ReadRecordingText(const std::string& name, std::string_view text,
                                             const RecordingSink& sink, std::size_t block) {
    Lines lines(name, sink);
    Splitter split(lines, countLines(text));
    for (block = block ? block : text.size(); !text.empty(); text.remove_prefix(block)) {
        block = std::min(block, text.size());
        if (auto refused = split.feed(text.substr(0, block))) return refused;
    }
    return split.finish();
}

std::optional<std::string> ReadRecording(const std::string& path, const RecordingSink& sink) {
    ReadOnlyFile file(path);
    auto cannot = [&](int error) {
        return "Cannot open " + Printable(path) + ": " +
               (error == ENOENT   ? std::string("there is no such file")
                : error == EISDIR ? std::string("that is a folder")
                : error == EACCES ? std::string("there is no permission to read it")
                                  : std::string(std::strerror(error))) +
               ".";
    };
    if (file.fd() < 0) return cannot(errno);
    // Only a plain file: a named pipe or a device could hold the reading forever.
    struct stat st {};
    if (fstat(file.fd(), &st) != 0) return cannot(errno);
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? cannot(EISDIR)
                                   : "Cannot open " + Printable(path) + ": it is not a file.";
    const int flags = fcntl(file.fd(), F_GETFL);
    if (flags >= 0) fcntl(file.fd(), F_SETFL, flags & ~O_NONBLOCK);
    std::string buffer(kBlock, '\0');
    long lines = 0;
    for (long n; (n = file.read(buffer)) != 0;) {
        if (n < 0) return cannot(errno);
        lines += countLines(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    if (lseek(file.fd(), 0, SEEK_SET) != 0) return cannot(errno);
    Lines reader(path, sink);
    Splitter split(reader, lines);
    for (long n; (n = file.read(buffer)) != 0;) {
        if (n < 0) return cannot(errno);
        if (auto refused = split.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return refused;
    }
    return split.finish();
}

}  // namespace engine
