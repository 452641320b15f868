// A converter that does not answer or a line that is not sound, as the operator meets it: the
// program on the simulated converter with each fault, an empty port, and a port lost mid-run;
// what the status line, the chart and a recording say.
#include "engine/ports/link_health.h"
#include "engine/panels/recordings.h"
#include "program_fixture.h"
#include "support/recorded_file.h"
#include "support/temp_folder.h"

using namespace engine::testing;
using engine::SimFault;
using zelmor::mainPanel;

namespace {

constexpr int kJudge = engine::LinkHealth::kScansToJudge;
const std::string kSim = engine::kSimulatedStatus, kLost = "ppdev: /dev/parport0 stopped answering";

StripChart& chart() {
    return *qobject_cast<StripChart*>(engine::FindControl(mainPanel, MAIN_CHART)->widget);
}

// The simulated converter behind a port that can be lost, as a card pulled out mid-run: the
// back end then says so in an alarm and the port reads as a floating bus.
class LosablePort final : public engine::PortBackend {
  public:
    explicit LosablePort(engine::SimulatedConverter& c) : c_(c) {}
    void write(std::uint16_t a, std::uint8_t v) override { c_.write(a, v); }
    std::uint8_t read(std::uint16_t a) override { return lost_ ? 0xFF : c_.read(a); }
    bool readPhysical(std::uint32_t a, void* b, std::size_t n) override {
        return c_.readPhysical(a, b, n);
    }
    void pause(double s) override { c_.pause(s); }
    engine::BackendStatus status() const override {
        return lost_ ? engine::BackendStatus{kLost, engine::BackendTone::alarm} : c_.status();
    }
    void lose() {
        lost_ = true;
        statusChanged();
        engine::SetStatusLine(kLost, engine::StatusTone::alarm);  // as start-up does
    }

  private:
    engine::SimulatedConverter& c_;
    bool lost_ = false;
};

class LinkHealthProgram : public Program {
  protected:
    // Chooses a port (0: LPT1, 1: LPT2) and makes `scans` scans a tenth of a second apart.
    void openAndScan(int port, int scans) {
        ChooseItem(zelmor::lptPanel, PORTS_SELECT, port);
        ASSERT_GE(zelmor::mainPanel, 1);
        for (int timer : {MAIN_TIMER, MAIN_STAT_TIMER})
            engine::FindControl(mainPanel, timer)->widget->setProperty("running", false);
        clock.set(0);  // the scans from 0.1 s on
        engine::SetScanClock([this] { return clock.now(); });
        scan(scans);
    }
    void scan(int scans) {
        for (int i = 0; i < scans && !engine::QuitRequested(); ++i) {
            clock.pause(0.1);
            FireTimer(mainPanel, MAIN_TIMER);
        }
    }
};

}  // namespace

TEST_F(LinkHealthProgram, EachFaultIsSaidWithItsCauseAndHatchedAndTheTimeOutsKeepTheirPopups) {
    struct Case {
        SimFault fault;
        int port;
        const char* status;  // after kSim or kLost and " — "; empty: the line stays as it was
        std::size_t popups;
        double hatchedFrom, hatchedTo;  // 0: nothing hatched
        bool lose = false;              // the port lost after the third scan
    };
    const Case cases[] = {
        {SimFault::unplugged, 0,
         "No converter answering on LPT1: every channel reads full scale \u2014 check the cable "
         "and the board's supply",
         0, 0.1, 1.6},
        {SimFault::none, 1,
         "No converter answering on LPT2: every channel reads full scale \u2014 check the cable "
         "and the board's supply",
         0, 0.1, 1.6},
        {SimFault::none, 0, "", 0, 0, 0},  // channel 7 near full scale is a signal
        {SimFault::unpowered, 0,
         "The converter on LPT1 does not answer: every conversion timed out \u2014 check the "
         "board's supply and the cable",
         8, 0.1, 0.1},
        {SimFault::strobeStuck, 0,
         "The converter on LPT1 never raised its strobe: conversions timed out \u2014 check the "
         "strobe line (pin 10)",
         8, 0.1, 0.1},
        {SimFault::noisy, 0,
         "Noisy data line on LPT1: bits the converter sends as zeros arrive as ones \u2014 check "
         "the cable (length, shielding) and its ground",
         0, 0.2, 1.6},  // the second scan is the first with a bit flipped
        {SimFault::none, 0,
         "LPT1 was lost: the scans since are not measurements \u2014 check the card and its "
         "driver",
         0, 0.4, 1.6, true},
    };
    for (const Case& c : cases) {
        ProgramOnSimulator program(clock);
        LosablePort port(program.converter);
        engine::UsePortBackend(&port);
        program.converter.setFault(c.fault);
        program.run([&] {
            openAndScan(c.port, c.lose ? 3 : 2 * kJudge);
            if (c.lose) port.lose(), scan(2 * kJudge - 3);
        });
        const std::string before = c.lose ? kLost : kSim;
        EXPECT_EQ(engine::StatusLineText(), *c.status ? before + " \u2014 " + c.status : before);
        EXPECT_EQ(engine::StatusLineTone(),
                  *c.status ? engine::StatusTone::alarm : engine::StatusTone::notice);
        ASSERT_EQ(engine::PopupLog().size(), c.popups) << c.status;
        for (const auto& popup : engine::PopupLog())
            EXPECT_EQ(popup.message, "Time out error - Program wil be terminated");
        EXPECT_EQ(program.endedByProgram, c.popups > 0);  // the time-out still ends the program
        const auto& marks = chart().suspectSpans();
        ASSERT_EQ(marks.size(), c.hatchedFrom > 0 ? 1u : 0u) << c.status;
        if (marks.empty()) continue;
        EXPECT_NEAR(marks[0].first, c.hatchedFrom, 1e-9) << c.status;
        EXPECT_NEAR(marks[0].second, c.hatchedTo, 1e-9) << c.status;
    }
}

TEST_F(LinkHealthProgram, RealReadingsClearTheWarningAndARecordingHasOneLineForEach) {
    TempFolder dir;
    const std::string file = dir.path + "/run.csv";
    converter.setFault(SimFault::unplugged);
    run([&] {
        openAndScan(0, 2);
        ASSERT_TRUE(engine::FeedOf(&chart()).startRecording(QString::fromStdString(file), false));
        scan(2 * kJudge);
        EXPECT_EQ(engine::StatusLineTone(), engine::StatusTone::alarm);
        converter.setFault(SimFault::none);  // the cable is back: readings as on LPT1
        scan(3);
        EXPECT_EQ(engine::StatusLineText(), kSim);
        EXPECT_EQ(engine::StatusLineTone(), engine::StatusTone::notice);
        converter.setFault(SimFault::unplugged);  // and off again: a second mark
        scan(kJudge);
        engine::FeedOf(&chart()).stopRecording();
    });
    const auto& marks = chart().suspectSpans();
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_NEAR(marks[0].second, 1.8, 1e-9);
    EXPECT_NEAR(marks[1].first, 2.2, 1e-9);
    std::vector<std::string> link;
    const RecordedFile recorded(file);
    for (const auto& c : recorded.comments)
        if (c.rfind("link: ", 0) == 0) link.push_back(c);
    // Times from the recording's start at 0.2 s; the first fault began before it.
    const std::vector<std::string> expected = {
        "link: No converter answering on LPT1: every channel reads full scale at -0.100000 s",
        "link: readings back at 1.700000 s",
        "link: No converter answering on LPT1: every channel reads full scale at 2.000000 s",
    };
    EXPECT_EQ(link, expected);
}
