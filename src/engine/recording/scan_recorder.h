// Scans written to a CSV file as they are made. Lines are gathered in memory and reach the
// file whenever flush() is called (a recording session calls it every second) or a large batch has
// built up, always as whole lines: a program killed mid-recording loses at most the last
// batch, and the file still parses. A write that fails closes the recording, cuts the file
// back to its last whole line, and says why in words an operator can act on.
//
// The format:
//   # comment lines: what was recorded, when, where, at what rate
//   time_s,ch0_V,...,ch7_V[,a column for each calibrated channel]
//   0.000000,1.25,0.0006103515625,...
// Times are seconds since the recording began, to the microsecond; values are written in
// full (the shortest decimal that reads back as the same number, which for a converter's
// codes is the exact value), so that every code can be recovered. A calibrated channel's column
// ("Supply_rail_V") follows the exact values and holds gain * value + offset, also in full.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/channels.h"

namespace engine {

class ScanRecorder {
  public:
    struct Header {
        std::vector<std::string> comments;  // each becomes a "# " line
        int traces = 8;
        std::string unit = "V";
        // The traces' channels, in order; none, or fewer than the traces: the rest are not
        // calibrated. Each calibrated one adds its CalibratedColumn.
        std::vector<ChannelSetup> channels = {};
    };
    ScanRecorder();
    ~ScanRecorder();
    ScanRecorder(const ScanRecorder&) = delete;
    ScanRecorder& operator=(const ScanRecorder&) = delete;

    // Starts a recording whose time zero is `begin` (seconds of the scans' clock). A file of
    // that name is refused unless `overwrite` (the operator was asked). False, with error()
    // set, when the file cannot be made or the header cannot be written.
    bool open(const std::string& path, bool overwrite, double begin, const Header& header);
    bool isOpen() const { return fd_ >= 0; }
    // One scan, stamped with `seconds` of the scans' clock: header.traces values (then the
    // calibrated channels' values, worked out here).
    void append(double seconds, const double* values);
    // A "# " line among the scans.
    void comment(const std::string& text);
    // Writes what has gathered. False when the write failed: the recording is then closed.
    bool flush();
    // Flushes and closes; false when that last flush failed.
    bool close();

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    long scans() const { return scans_; }  // appended since open
    long long bytesWritten() const { return written_; }
    double begin() const { return begin_; }

    // Seconds since `begin`, as written: six decimals. A value in full.
    static void formatTime(std::string& out, double seconds);
    static void formatValue(std::string& out, double value);

  private:
    void fail(int error);
    int fd_ = -1;
    std::string path_, error_, pending_;
    long scans_ = 0, scansWritten_ = 0;  // appended, and of those on the disk
    long long written_ = 0;              // bytes in the file, all whole lines
    double begin_ = 0;
    int traces_ = 0;
    struct Calibrated {
        int trace;
        double gain, offset;
    };
    std::vector<Calibrated> calibrated_;  // set at open(): append() only multiplies and adds
};

}  // namespace engine
