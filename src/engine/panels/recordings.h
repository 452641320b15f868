// The engine's side of every strip chart: the scans the program plots go to the chart and,
// while one runs, to the recording beside it. The feed answers the chart's Record requests
// (asking for a file, the dialog asking before it replaces one), hands the recording the facts
// for its header, and when a recording stops on its own says why on the status line and once
// in a window that does not hold up the scans.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <optional>
#include <string>
#include <utility>

#include "engine/chart/strip_chart.h"
#include "engine/panels/registry.h"
#include "engine/recording/recording_session.h"

namespace engine {

class ChartFeed : public QObject {
    Q_OBJECT
  public:
    explicit ChartFeed(StripChart* chart);

    // One scan taken at `seconds`: to the chart, and to the recording when one runs. When
    // no scan was made for more than 1.5 of the applied periods before it, both mark the hole
    // (with its cause when a popup was open during it).
    void scan(const double* values, double seconds);

    // Asks for the file, then records to it; asked while recording, stops.
    void chooseAndRecord();
    // Starts recording; a file of that name is kept unless `overwrite` (the operator agreed).
    // False when it could not start, after saying why.
    bool startRecording(const QString& path, bool overwrite);
    // Stops, and says "Saved N scans to FILE" on the status line for a few seconds.
    void stopRecording();
    // Asks for a file and saves the span shown (csv) or the picture there, saying so.
    void chooseAndSave(bool csv);
    // A passing word after the status line, taken back after a few seconds unless the line
    // changed meanwhile.
    static void sayBriefly(const QString& text);
    bool recording() const { return session_.running(); }
    StripChart& chart() const { return *chart_; }
    const RecordingSession& session() const { return session_; }
    // Asks for a one-line note while recording, and writes it into the recording at the time of
    // asking, drawn on the chart as a flag there.
    void addNote();
    // A comment line in the running recording, at `seconds` of the scans' clock.
    void noteAt(const std::string& text, double seconds) { session_.noteAt(text, seconds); }

    // The "not a whole number of scans" line is said once per chart: whether it was.
    bool toldPartialScans = false;

  private:
    // The chart as the settings left it, each board's channels once its port is known, and
    // every change the operator makes saved (none of the settings' own applying).
    void applySettings();
    void applyChannels(unsigned base);
    void saveSettings();
    void stoppedOnItsOwn(const QString& why);
    void showWarning(const QString& title, const QString& text);
    void showState();

    StripChart* chart_;
    RecordingSession session_;
    double last_ = 0;  // when the last scan was taken
    bool scanned_ = false;
    unsigned channels_base_ = 0;  // the port whose channels the chart shows; 0: none yet
    bool applying_ = false;
    // The longest interval between two scans that is not a hole: 1.5 applied periods, of the
    // longer period for the first interval after the rate changed.
    double longest_ = 0;
    // The status line as it was before a failed recording added to it.
    std::optional<std::pair<std::string, StatusTone>> status_before_;
    QPointer<QMessageBox> warning_;
};

// The chart's feed, made with it on first asking; the loader asks for every chart it makes.
ChartFeed& FeedOf(StripChart* chart);

}  // namespace engine
