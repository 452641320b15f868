// A converter that does not answer, as the operator meets it: the program on the simulated
// converter with each fault, an empty port, and a port lost mid-run; what the status line, the
// chart and a recording say.
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
const std::string kTimeOut = "Time out error - Program wil be terminated";

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
        if (lost_) return {"ppdev: /dev/parport0 stopped answering", engine::BackendTone::alarm};
        return c_.status();
    }
    void lose() {
        lost_ = true;
        statusChanged();
    }

  private:
    engine::SimulatedConverter& c_;
    bool lost_ = false;
};

}  // namespace

class LinkHealthProgram : public Program {
  protected:
    // Chooses a port (0: LPT1, 1: LPT2) and makes `scans` scans a tenth of a second apart.
    void openAndScan(int port, int scans) {
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, port);
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

TEST_F(LinkHealthProgram, EachFaultIsSaidOnTheStatusLineWithItsCauseAndTheTimeOutsKeepTheirPopups) {
    struct Case {
        SimFault fault;
        int port;
        int scans;
        const char* warning;  // empty: the status line stays as it was
        std::size_t popups;
    };
    const Case cases[] = {
        {SimFault::unplugged, 0, kJudge,
         "No converter answering on LPT1: every channel reads full scale \u2014 check the cable "
         "and the board's supply",
         0},
        {SimFault::none, 1, kJudge,
         "No converter answering on LPT2: every channel reads full scale \u2014 check the cable "
         "and the board's supply",
         0},
        {SimFault::none, 0, 2 * kJudge, "", 0},  // channel 7 near full scale is a signal
        {SimFault::unpowered, 0, 1,
         "The converter on LPT1 does not answer: every conversion timed out \u2014 check the "
         "board's supply and the cable",
         8},
        {SimFault::strobeStuck, 0, 1,
         "The converter on LPT1 never raised its strobe: conversions timed out \u2014 check the "
         "strobe line (pin 10)",
         8},
    };
    for (const Case& c : cases) {
        ProgramOnSimulator program(clock);
        program.converter.setFault(c.fault);
        program.run([&] { openAndScan(c.port, c.scans); });
        const std::string expected =
            *c.warning ? std::string(engine::kSimulatedStatus) + " \u2014 " + c.warning
                       : std::string(engine::kSimulatedStatus);
        EXPECT_EQ(engine::StatusLineText(), expected) << c.warning;
        EXPECT_EQ(engine::StatusLineTone(),
                  *c.warning ? engine::StatusTone::alarm : engine::StatusTone::notice);
        ASSERT_EQ(engine::PopupLog().size(), c.popups) << c.warning;
        for (const auto& popup : engine::PopupLog()) EXPECT_EQ(popup.message, kTimeOut);
        EXPECT_EQ(program.endedByProgram, c.popups > 0);  // the time-out still ends the program
        // The scans the fault touches are hatched on the chart: all of them here.
        const auto& marks = chart().suspectSpans();
        if (!*c.warning) {
            EXPECT_TRUE(marks.empty());
            continue;
        }
        ASSERT_EQ(marks.size(), 1u) << c.warning;
        EXPECT_NEAR(marks[0].first, 0.1, 1e-9);
        EXPECT_NEAR(marks[0].second, 0.1 * c.scans, 1e-9);
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
        EXPECT_EQ(engine::StatusLineText(), engine::kSimulatedStatus);
        EXPECT_EQ(engine::StatusLineTone(), engine::StatusTone::notice);
        converter.setFault(SimFault::unplugged);  // and off again: a second mark
        scan(kJudge);
        engine::FeedOf(&chart()).stopRecording();
    });
    const auto& marks = chart().suspectSpans();
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_NEAR(marks[0].first, 0.1, 1e-9);
    EXPECT_NEAR(marks[0].second, 0.1 * (2 + 2 * kJudge), 1e-9);
    EXPECT_NEAR(marks[1].first, 0.1 * (2 + 2 * kJudge + 3 + 1), 1e-9);
    const RecordedFile recorded(file);
    std::vector<std::string> link;
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

TEST_F(LinkHealthProgram, APortLostMidRunIsSaidAtTheFirstScanAfterAndMarkedFromThere) {
    LosablePort port(converter);
    engine::UsePortBackend(&port);
    run([&] {
        openAndScan(0, 3);
        EXPECT_EQ(engine::StatusLineText(), engine::kSimulatedStatus);
        port.lose();
        engine::SetStatusLine(port.status().text, engine::StatusTone::alarm);  // as start-up does
        scan(2);
        EXPECT_EQ(engine::StatusLineText(),
                  "ppdev: /dev/parport0 stopped answering \u2014 LPT1 was lost: the scans since "
                  "are not measurements \u2014 check the card and its driver");
        for (int ch = 0; ch < 8; ++ch) EXPECT_EQ(Value(mainPanel, MAIN_CH0 - ch), 0.0);
    });
    ASSERT_EQ(chart().suspectSpans().size(), 1u);
    EXPECT_NEAR(chart().suspectSpans()[0].first, 0.4, 1e-9);
    EXPECT_NEAR(chart().suspectSpans()[0].second, 0.5, 1e-9);
    engine::UsePortBackend(&converter);
}
