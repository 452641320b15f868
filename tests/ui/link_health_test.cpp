// A converter that does not answer or a line that is not sound, as the operator meets it; a
// port lost mid-run is met through the real back end in tests/kernel.
#include "engine/ports/link_health.h"
#include "engine/panels/recordings.h"
#include "program_fixture.h"
#include "support/recorded_file.h"
#include "support/temp_folder.h"

using namespace engine;
using zelmor::mainPanel;

namespace {

constexpr int kJudge = LinkHealth::kScansToJudge;
const std::string kSim = kSimulatedStatus;

StripChart& chart() {
    return *qobject_cast<StripChart*>(FindControl(mainPanel, MAIN_CHART)->widget);
}

// Scans a tenth of a second apart, the first at 0.1 s on the port chosen (0: LPT1, 1: LPT2).
void scan(ManualClock& clock, int scans, int port = -1) {
    if (port >= 0) {
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, port);
        for (int timer : {MAIN_TIMER, MAIN_STAT_TIMER})
            FindControl(mainPanel, timer)->widget->setProperty("running", false);
        clock.set(0);
        SetScanClock([&clock] { return clock.now(); });
    }
    for (int i = 0; i < scans && !QuitRequested(); ++i) {
        clock.pause(0.1);
        engine::testing::FireTimer(mainPanel, MAIN_TIMER);
    }
}

}  // namespace

TEST_F(Program, EachLinkFaultIsSaidWithItsCauseAndHatchedAndTheTimeOutsKeepTheirPopups) {
    struct Case {
        SimFault fault;
        int port;
        std::size_t popups;
        double hatchedFrom;  // to the last scan; 0: nothing hatched
        const char* status;  // after kSim and " — "; empty: nothing added
    };
    const Case cases[] = {
        {SimFault::none, 1, 0, 0.1,
         "No converter answering on LPT2: every channel reads full scale \u2014 check the cable "
         "and the board's supply"},
        {SimFault::unpowered, 0, 8, 0.1,
         "The converter on LPT1 does not answer: every conversion timed out \u2014 check the "
         "board's supply and the cable"},
        {SimFault::strobeStuck, 0, 8, 0.1,
         "The converter on LPT1 never raised its strobe: conversions timed out \u2014 check the "
         "strobe line (pin 10)"},
        {SimFault::noisy, 0, 0, 0.2,  // the second scan is the first with a bit flipped
         "Noisy data line on LPT1: bits the converter sends as zeros arrive as ones \u2014 check "
         "the cable (length, shielding) and its ground"},
    };
    for (const Case& c : cases) {
        ProgramOnSimulator program(clock);
        program.converter.setFault(c.fault);
        program.run([&] { scan(clock, 2 * kJudge, c.port); });
        EXPECT_EQ(StatusLineText(), *c.status ? kSim + " \u2014 " + c.status : kSim);
        EXPECT_EQ(StatusLineTone(), *c.status ? StatusTone::alarm : StatusTone::notice);
        ASSERT_EQ(PopupLog().size(), c.popups) << c.status;
        EXPECT_EQ(program.endedByProgram, c.popups > 0);  // the time-out still ends the program
        using Spans = std::vector<std::pair<double, double>>;
        EXPECT_EQ(chart().suspectSpans(),
                  (c.hatchedFrom > 0 ? Spans{{c.hatchedFrom, clock.now()}} : Spans{}));
    }
}

TEST_F(Program, RealReadingsClearTheLinkWarningAndARecordingHasOneLineForEachChange) {
    TempFolder dir;
    converter.setFault(SimFault::unplugged);
    run([&] {
        scan(clock, 2, 0);
        FeedOf(&chart()).startRecording(QString::fromStdString(dir.path + "/run.csv"), false);
        scan(clock, 2 * kJudge);
        converter.setFault(SimFault::none);  // the cable is back
        scan(clock, 3);
        EXPECT_EQ(StatusLineText(), kSim);
        converter.setFault(SimFault::unplugged);  // and off again: a second mark
        scan(clock, kJudge);
        FeedOf(&chart()).stopRecording();
    });
    std::vector<std::string> link;  // times from the recording's start at 0.2 s
    for (const auto& c : RecordedFile(dir.path + "/run.csv").comments)
        if (c.rfind("link: ", 0) == 0) link.push_back(c);
    const std::vector<std::string> expected = {
        "link: No converter answering on LPT1: every channel reads full scale at -0.100000 s",
        "link: readings back at 1.700000 s",
        "link: No converter answering on LPT1: every channel reads full scale at 2.000000 s"};
    EXPECT_EQ(link, expected);
}
