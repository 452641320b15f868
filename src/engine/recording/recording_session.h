// A recording while it runs: every scan to a ScanRecorder, the lines flushed to the disk every
// second, a comment when the scan rate changes, and the REC badge the chart shows. The session
// knows nothing of panels or charts: the engine hands it the facts for the file's header, the
// scans' clock, and what to do when the recording stops on its own (a full disk, a size limit,
// a folder gone).
#pragma once

#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/channels.h"
#include "engine/recording/recording_lines.h"  // ParseNoteComment, ParseTriggerComment
#include "engine/recording/scan_recorder.h"

namespace engine {

// What a file of scans says about where they came from.
struct RecordingFacts {
    std::string program;  // name and version: "zelmor 1.0"
    unsigned portBase = 0;
    std::string backEnd;                  // the port back end in words; empty: real hardware
    std::optional<double> requestedRate;  // scans a second; none when no timer paces the scans
    int traces = 8;
    std::string unit = "V";  // empty: values in the chart's own unit
    // The traces' names, units and calibrations; empty: the traces' defaults, and no channel
    // lines in the header.
    std::vector<ChannelSetup> channels;
};

// The header of a file of scans: `what` it holds first, then when it started, the program,
// the port and its back end, the requested rate and the columns' meaning; with channels, a
// ChannelLine for each trace (a channel that fails CheckChannel, or one missing, as its default,
// so that the file always reads back) and the calibrated channels' columns.
ScanRecorder::Header FileHeader(const std::string& what, const RecordingFacts& facts);
// The header's port line: "port base address 0x378, back end: ...".
std::string PortLine(const RecordingFacts& facts);
// What the comments of a header FileHeader wrote say again: the program, the port and back end
// (base 0 and no back end when the file names none), the requested rate; and in `started`, when
// given, the time of its "started" line, empty when it has none; the channels of its channel
// lines (the reader refuses a file whose lines are not channel 0, 1, ... each passing
// CheckChannel; here such lines are left out).
RecordingFacts FactsFromHeader(const std::vector<std::string>& comments,
                               std::string* started = nullptr);

// The line that marks a hole in the scans: no scan for `length` seconds after the one taken
// at `after` (seconds of the file's times), and the cause when it is known:
// "gap of 3.180 s after 17.990000 s (a popup was open)".
std::string GapComment(double length, double after, bool popupOpen);

// A new, dated file name, not taken yet, in the folder the last recording or save went to while
// it is there, else in the user's documents folder.
QString DefaultRecordingPath();
// The folder file dialogs start in (what the engine's settings keep; empty: none), and what to
// do with the path the operator chose in one (remember its folder). Set once by the engine.
void SetRecordingFolderKeeping(std::function<QString()> last,
                               std::function<void(const QString&)> chosen);
// A dialog gave this path: its folder is the one the next starts in.
void RecordingPathChosen(const QString& path);

class RecordingSession {
  public:
    // `clock` gives the scans' clock, in seconds; `stopped` is told why when a recording
    // stops on its own, after it has stopped.
    RecordingSession(std::function<double()> clock, std::function<void(const QString&)> stopped);
    RecordingSession(const RecordingSession&) = delete;
    RecordingSession& operator=(const RecordingSession&) = delete;

    // Starts recording to a new file, or replaces one when `overwrite` (the operator agreed).
    // False, with error() set, when it cannot start.
    bool start(const QString& path, bool overwrite, const RecordingFacts& facts);
    // Stops; `stopped` hears of a last write that failed.
    void stop();
    bool running() const { return recorder_.isOpen(); }
    QString path() const;
    QString error() const;
    long scans() const { return recorder_.scans(); }
    long long bytesWritten() const { return recorder_.bytesWritten(); }

    void append(double seconds, const double* values) { recorder_.append(seconds, values); }
    // No scan between the one taken at `last` and the next, at `seconds`: a comment line, when
    // both lie in this recording.
    void gap(double last, double seconds, bool popupOpen);
    // A comment line at the time of the change.
    void rateChanged(double scansPerSecond);
    // A comment line "<text> at <t> s", t the scans' clock `seconds` since the start.
    void noteAt(const std::string& text, double seconds);
    // The operator's note, "note at 12.345678 s: <text>" (NoteComment), and a trigger's firing,
    // "trigger fired at 12.345678 s: <what>" (TriggerComment): `seconds` of the scans' clock,
    // written as the recording's time. Nothing when not recording, or for a time before the
    // recording began.
    void note(double seconds, const std::string& text);
    void triggerFired(double seconds, const std::string& what);
    // "● REC name  0:01:23  83,000 scans" while running; empty otherwise.
    QString badge() const;

  private:
    void stoppedOnItsOwn();
    ScanRecorder recorder_;
    QTimer flush_;  // every second while running
    std::function<double()> clock_;
    std::function<void(const QString&)> stopped_;
};

}  // namespace engine
