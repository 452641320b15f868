#include "engine/panels/link_watch.h"

#include <array>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <utility>

#include "engine/chart/chart_limits.h"
#include "engine/dialogs.h"
#include "engine/panels/recordings.h"
#include "engine/ports/link_health.h"
#include "engine/ports/port_io.h"

namespace engine {
namespace {

struct FaultWords {
    LinkFault fault;
    const char* what;   // the likely cause; %s is the port
    const char* check;  // what to check
};
constexpr FaultWords kWords[] = {
    {LinkFault::fullScale, "No converter answering on %s: every channel reads full scale",
     "check the cable and the board's supply"},
    {LinkFault::zero, "No converter answering on %s: every channel reads 0 V",
     "check the board's supply and its ground"},
    {LinkFault::noConversion, "The converter on %s does not answer: every conversion timed out",
     "check the board's supply and the cable"},
    {LinkFault::noStrobe, "The converter on %s never raised its strobe: conversions timed out",
     "check the strobe line (pin 10)"},
    {LinkFault::portLost, "%s was lost: the scans since are not measurements",
     "check the card and its driver"},
    {LinkFault::noisy, "Noisy data line on %s: bits the converter sends as zeros arrive as ones",
     "check the cable (length, shielding) and its ground"},
};

// The port as the operator chose it: its LPT name from the BIOS table, else its address.
std::string portName() {
    const unsigned base = LastPortWritten();
    for (unsigned i = 0; i < 3; ++i) {
        unsigned char word[2] = {0, 0};
        if (ReadFromPhysicalMemory(0x408 + 2 * i, word, 2) &&
            static_cast<unsigned>(word[0] | word[1] << 8) == base && base != 0)
            return "LPT" + std::to_string(i + 1);
    }
    char text[40];
    std::snprintf(text, sizeof text, "the port at 0x%X", base);
    return text;
}

// One chart's watch, kept as a child of the chart so that it goes with its panel.
class LinkWatch : public QObject {
  public:
    explicit LinkWatch(StripChart* chart) : QObject(chart) {
        setObjectName(QStringLiteral("engineLinkWatch"));
        lost_ = ActiveBackendStatus().tone == BackendTone::alarm;
    }

    void scan(ChartFeed& feed, const double* values, int traces, double seconds) {
        if (BackendStatusChanges() != status_changes_) {  // rare: ask the back end itself
            status_changes_ = BackendStatusChanges();
            lost_ = ActiveBackendStatus().tone == BackendTone::alarm;
        }
        if (health_.scan(values, traces, seconds, TakeWireTally(), lost_)) {
            if (commented_) feed.noteAt("link: readings back", seconds);
            commented_ = false;
            if (health_.fault() == LinkFault::none)
                clear();
            else
                raise();
        }
        if (health_.fault() == LinkFault::none) return;
        feed.chart().markSuspect(health_.since(), seconds);
        if (!commented_ && feed.recording()) {
            feed.noteAt("link: " + what_, health_.since());
            commented_ = true;
        }
    }

  private:
    void raise() {
        const FaultWords* words = nullptr;
        for (const FaultWords& w : kWords)
            if (w.fault == health_.fault()) words = &w;
        char what[160];
        std::snprintf(what, sizeof what, words->what, portName().c_str());
        what_ = what;
        // Said on standard error too, which outlives a program a time-out ends; a lost port
        // the back end has said there already.
        if (health_.fault() != LinkFault::portLost)
            std::cerr << "zelmor: " << what_ << " \u2014 " << words->check << std::endl;
        if (!before_) before_ = {StatusLineText(), StatusLineTone()};
        shown_ = (before_->first.empty() ? "" : before_->first + " \u2014 ") + what_ + " \u2014 " +
                 words->check;
        SetStatusLine(shown_, StatusTone::alarm);
        if (health_.fault() == LinkFault::noConversion || health_.fault() == LinkFault::noStrobe)
            TellRunFault(RunFault::timedOut);
        if (health_.fault() == LinkFault::portLost) TellRunFault(RunFault::portLost);
    }
    void clear() {
        // Put back what the line said, unless something has said more since.
        if (before_ && StatusLineText() == shown_) SetStatusLine(before_->first, before_->second);
        before_.reset();
    }

    LinkHealth health_;
    std::uint64_t status_changes_ = BackendStatusChanges();
    bool lost_ = false;
    bool commented_ = false;
    std::string what_, shown_;
    std::optional<std::pair<std::string, StatusTone>> before_;
};

}  // namespace

void WatchLink(ChartFeed& feed, const double* first, int points, int skipCount, double seconds) {
    StripChart* chart = &feed.chart();
    auto* watch = static_cast<LinkWatch*>(
        chart->findChild<QObject*>(QStringLiteral("engineLinkWatch"), Qt::FindDirectChildrenOnly));
    if (!watch) watch = new LinkWatch(chart);
    const int traces = chart->traceCount();
    std::array<double, kMaxChartTraces> scan{};
    const long stride = static_cast<long>(skipCount) + 1;
    for (int i = 0; i < points; i += traces) {
        for (int t = 0; t < traces; ++t)
            scan[static_cast<std::size_t>(t)] = first[(i + t) * stride];
        watch->scan(feed, scan.data(), traces, seconds);
    }
}

}  // namespace engine
