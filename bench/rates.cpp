// Achieved rates, offscreen, in real time:
//   engine  - ticks per second of an engine timer against a plain 1/r QTimer, for each rate r
//   program - the whole program on the simulated bench at each requested scan rate: scans
//             made, what MAIN_RATE showed, the process's CPU use and resident memory
//             at 10, 100 and 1000 scans/s (or the one rate given), then the floor beside it;
//             three such pairs in turn, each pair's ratio at 1000/s, and their median
//   floor   - a plain Qt program doing 1000 timer ticks a second, each one scan through the link
//             on the simulated converter, showing nothing: the least the program could cost
//   soak    - the program at 1000 scans/s (or the rate given), resident memory once a minute
//   record  - the program at 1000 scans/s without and with recording from the chart: scans,
//             CPU, resident memory, bytes written a second; then the intervals between the
//             recorded stamps at 100 and 1000 scans/s beside a plain QTimer's
//   grid    - the program recording at 1000 scans/s: the intervals between the recorded
//             stamps (least, 1st percentile, median, 99th, largest), the gaps the file marks
//             beside the intervals over 1.5 periods, and the scans made against those asked for
//   terms   - the program at 1000 scans/s, shown and recording, plain (A: volts on one fixed
//             axis, no trigger) and in the operator's terms (B: eight calibrated channels, a
//             lane each, a normal trigger on a 5 Hz sine on channel 0), A B A B A B: scans,
//             CPU, paints, firings, bytes recorded a second, the column line's fields; each
//             pair's B - A in % of a core, and last their median
// rates [engine|program|floor|all|soak|record|grid|terms] [seconds per rate, in all for soak
//        and grid, per part for record and terms] [program, soak: one rate; terms: the span]
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "engine/chart/strip_chart.h"
#include "engine/panels/recordings.h"
#include "engine/panels/settings.h"
#include "link/basicIO.h"
#include "ui/panel_ids.h"
#include "ui/zelmor.h"

namespace {

using support::cpuSeconds;
using support::Measured;
using support::measureFor;
using support::residentKiB;
using support::runFor;
using support::ticks;
const int kRates[] = {1, 10, 100, 500, 1000};
std::vector<int> programRateList = {10, 100, 1000};
void engineRates(double seconds) {
    engine::testing::ResetEngine(support::kTestPanelCallbacks);
    engine::SetResourceFolder(ZELMOR_TEST_PANELS);
    const int h = LoadPanel(0, "good.uir", 1);
    std::printf("rate/s  engine timer ticks/s  (%%)     plain QTimer ticks/s  (%%)\n");
    for (int r : kRates) {
        ticks = 0;
        SetCtrlAttribute(h, support::kTestPanelTimer, ATTR_INTERVAL, 1.0 / r);
        auto t0 = std::chrono::steady_clock::now();
        runFor(seconds);
        const double engineRate =
            ticks / std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        engine::FindControl(h, support::kTestPanelTimer)->widget->setProperty("running", false);

        long plain = 0;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [&] { ++plain; });
        timer.start(1000 / r);
        t0 = std::chrono::steady_clock::now();
        runFor(seconds);
        timer.stop();
        const double plainRate =
            plain / std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%6d  %20.1f  %6.1f   %20.1f  %6.1f\n", r, engineRate, 100 * engineRate / r,
                    plainRate, 100 * plainRate / r);
        engine::FindControl(h, support::kTestPanelTimer)->widget->setProperty("running", true);
        std::fflush(stdout);
    }
    engine::DiscardAllPanels();
}

// CPU % of one core of the floor at 1000 scans/s.
double floorCpu(double seconds) {
    engine::SteadyClock clock;
    engine::SimulatedConverter converter(clock);
    engine::UsePortBackend(&converter);
    inizializeBus(0x378);
    // A repeating 1 ms QTimer makes fewer than 900 ticks a second (each period starts when the
    // last tick is handled): keep deadlines instead, as the engine's timer does.
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now();
    double sum = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (unsigned char ch = 0; ch < 8; ++ch) sum += getVolt(ch);
        next += std::chrono::milliseconds(1);
        const auto wait = std::chrono::duration<double, std::milli>(next - Clock::now()).count();
        timer.start(wait <= 0 ? 0 : static_cast<int>(std::lround(wait)));
    });
    timer.start(1);
    runFor(1);
    const Measured m = measureFor(seconds, converter);
    timer.stop();
    engine::UsePortBackend(nullptr);
    const double cpu = m.cpu;
    std::printf("floor: plain QTimer, one scan a tick, nothing shown: %.1f scans/s, CPU %.1f%%%s\n",
                m.scansPerSecond, cpu, sum < 0 ? "!" : "");
    std::fflush(stdout);
    return cpu;
}

// CPU % of one core of the program at the last rate of the list (1000 scans/s unless one is
// given).
double programRates(double seconds) {
    double cpuAtLast = 0;
    std::printf(
        "requested/s  scans/s  (%%)     MAIN_RATE readings          CPU %%  chart paints/s  "
        "RSS start..end KiB\n");
    support::RunProgramOnSimulator([&](engine::SimulatedConverter& bench) {
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
        const int panel = zelmor::mainPanel;
        for (int r : programRateList) {
            engine::testing::TypeInto(panel, MAIN_SAMPLES, std::to_string(r));
            engine::testing::PressEnter(panel, MAIN_SAMPLES);
            runFor(1.5);  // settle, and let one statistics period pass
            std::vector<int> shown;
            QTimer poll;  // read the meter half-way between statistics ticks
            QObject::connect(&poll, &QTimer::timeout, [&] {
                shown.push_back(static_cast<int>(engine::testing::Value(panel, MAIN_RATE)));
            });
            QTimer::singleShot(500, [&] { poll.start(1000); });
            const long rss0 = residentKiB();
            const double cpu0 = cpuSeconds();
            const auto conv0 = bench.conversions();
            auto* chart = qobject_cast<StripChart*>(engine::FindControl(panel, MAIN_CHART)->widget);
            const long paints0 = chart->paints();
            const auto t0 = std::chrono::steady_clock::now();
            runFor(seconds);
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            poll.stop();
            const double scans = (bench.conversions() - conv0) / 8.0 / elapsed;
            const double cpu = 100 * (cpuSeconds() - cpu0) / elapsed;
            char readings[64] = "";
            int used = 0;
            for (size_t i = 0; i < shown.size() && i < 6 && used < 56; ++i)
                used += std::snprintf(readings + used, sizeof readings - used, "%d ", shown[i]);
            std::printf("%11d  %7.1f  %6.1f   %-26s  %5.1f  %14.1f  %ld..%ld\n", r, scans,
                        100 * scans / r, readings, cpu, (chart->paints() - paints0) / elapsed, rss0,
                        residentKiB());
            std::fflush(stdout);
            cpuAtLast = cpu;
        }
        QuitUserInterface(0);
    });
    return cpuAtLast;
}

// The program at one rate for a long while: resident memory once a minute.
void soak(double seconds, int rate) {
    support::RunProgramOnSimulator([&](engine::SimulatedConverter& bench) {
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
        engine::FindPanel(zelmor::mainPanel)->window->show();
        engine::testing::TypeInto(zelmor::mainPanel, MAIN_SAMPLES, std::to_string(rate));
        engine::testing::PressEnter(zelmor::mainPanel, MAIN_SAMPLES);
        const double cpu0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        std::printf("minute  RSS KiB  scans so far  MAIN_RATE\n");
        for (int minute = 0; minute * 60 < seconds; ++minute) {
            runFor(std::min(60.0, seconds - minute * 60));
            std::printf("%6d  %7ld  %12.0f  %9.0f\n", minute + 1, residentKiB(),
                        bench.conversions() / 8.0,
                        engine::testing::Value(zelmor::mainPanel, MAIN_RATE));
            std::fflush(stdout);
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("CPU %.1f%% of one core over %.0f s\n", 100 * (cpuSeconds() - cpu0) / elapsed,
                    elapsed);
        QuitUserInterface(0);
    });
}

// Median, 99th percentile and largest of the gaps between successive times, in ms.
void printIntervals(const char* what, int rate, std::vector<double> times) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back(1000 * (times[i] - times[i - 1]));
    if (gaps.empty()) return;
    std::sort(gaps.begin(), gaps.end());
    std::printf("%-22s %5d/s  %7zu gaps  median %.3f ms  p99 %.3f ms  largest %.3f ms\n", what,
                rate, gaps.size(), gaps[gaps.size() / 2], gaps[gaps.size() * 99 / 100],
                gaps.back());
}

std::vector<double> recordedTimes(const std::string& file) {
    std::ifstream in(file);
    std::vector<double> t;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#' && line.rfind("time_s", 0) != 0)
            t.push_back(std::atof(line.c_str()));
    return t;
}

// One recording of `seconds` at 1000 scans/s, every interval between its stamps.
void gridBench(double seconds) {
    char folder[] = "/tmp/zelmor-grid-XXXXXX";
    if (!mkdtemp(folder)) return;
    const std::string file = std::string(folder) + "/scans.csv";
    support::RunProgramOnSimulator([&](engine::SimulatedConverter&) {
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
        const int panel = zelmor::mainPanel;
        engine::ChartFeed& chart = engine::FeedOf(
            qobject_cast<StripChart*>(engine::FindControl(panel, MAIN_CHART)->widget));
        engine::testing::TypeInto(panel, MAIN_SAMPLES, "1000");
        engine::testing::PressEnter(panel, MAIN_SAMPLES);
        runFor(1.5);
        chart.startRecording(QString::fromStdString(file), true);
        const auto t0 = std::chrono::steady_clock::now();
        runFor(seconds);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        chart.stopRecording();
        const std::vector<double> times = recordedTimes(file);
        std::vector<double> ms;
        for (std::size_t i = 1; i < times.size(); ++i)
            ms.push_back(1000 * (times[i] - times[i - 1]));
        std::sort(ms.begin(), ms.end());
        long marked = 0;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) marked += line.rfind("# gap", 0) == 0;
        if (ms.empty()) {
            QuitUserInterface(0);
            return;
        }
        const auto over = ms.end() - std::upper_bound(ms.begin(), ms.end(), 1.5);
        std::printf(
            "1000/s for %.1f s: %zu intervals, ms: least %.3f  p1 %.3f  median %.3f  "
            "p99 %.3f  largest %.3f\n",
            elapsed, ms.size(), ms.front(), ms[ms.size() / 100], ms[ms.size() / 2],
            ms[ms.size() * 99 / 100], ms.back());
        std::printf(
            "under 0.5 ms: %ld  over 1.5 ms: %ld  gaps marked: %ld  achieved %.1f%% of "
            "requested\n",
            static_cast<long>(std::lower_bound(ms.begin(), ms.end(), 0.5) - ms.begin()),
            static_cast<long>(over), marked, 100.0 * times.size() / (elapsed * 1000));
        std::fflush(stdout);
        QuitUserInterface(0);
    });
    std::remove(file.c_str());
    rmdir(folder);
}

void recordBench(double seconds) {
    char folder[] = "/tmp/zelmor-rates-XXXXXX";
    if (!mkdtemp(folder)) return;
    const std::string file = std::string(folder) + "/scans.csv";
    support::RunProgramOnSimulator([&](engine::SimulatedConverter& converter) {
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
        const int panel = zelmor::mainPanel;
        engine::ChartFeed& chart = engine::FeedOf(
            qobject_cast<StripChart*>(engine::FindControl(panel, MAIN_CHART)->widget));
        auto rate = [&](int r) {
            engine::testing::TypeInto(panel, MAIN_SAMPLES, std::to_string(r));
            engine::testing::PressEnter(panel, MAIN_SAMPLES);
            runFor(1.5);
        };
        rate(1000);
        std::printf("at 1000/s for %.0f s  scans/s     CPU %%  RSS start..end KiB  bytes/s\n",
                    seconds);
        for (bool recording : {false, true}) {
            if (recording) chart.startRecording(QString::fromStdString(file), true);
            const long rss0 = residentKiB();
            const Measured m = measureFor(seconds, converter);
            const long rss1 = residentKiB();
            chart.stopRecording();
            const double bytes = recording ? chart.session().bytesWritten() / m.elapsed : 0;
            std::printf("%-20s  %7.1f  %8.1f  %8ld..%-8ld  %7.0f\n",
                        recording ? "recording" : "not recording", m.scansPerSecond, m.cpu, rss0,
                        rss1, bytes);
            std::fflush(stdout);
        }
        for (int r : {100, 1000}) {
            rate(r);
            const double span = std::max(5.0, seconds / 6);
            chart.startRecording(QString::fromStdString(file), true);
            runFor(span);
            chart.stopRecording();
            printIntervals("recorded scan stamps", r, recordedTimes(file));
            std::vector<double> ticks;
            QTimer plain;
            plain.setTimerType(Qt::PreciseTimer);
            QObject::connect(&plain, &QTimer::timeout, [&] {
                ticks.push_back(std::chrono::duration<double>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count());
            });
            plain.start(1000 / r);
            runFor(span);
            plain.stop();
            printIntervals("plain QTimer ticks", r, ticks);
            std::fflush(stdout);
        }
        QuitUserInterface(0);
    });
    std::remove(file.c_str());
    rmdir(folder);
}

// The fields of a recording's column line ("time_s,ch0_V,..."), and the line itself.
std::pair<int, std::string> columnLine(const std::string& file) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("time_s", 0) == 0)
            return {static_cast<int>(std::count(line.begin(), line.end(), ',')) + 1, line};
    return {0, ""};
}

// The plain program (A) and the operator's terms (B) in turn in one run at 1000 scans/s, each
// recording every scan: B with all eight channels calibrated, a lane each and a normal trigger
// on a 5 Hz sine on channel 0. A normal trigger holds each firing's window until it is complete,
// half a span later, and takes no firing meanwhile: about one firing per half span is seen.
// Returns the median of the pairs' B - A, in % of one core.
double termsBench(double seconds, double span) {
    char folder[] = "/tmp/zelmor-terms-XXXXXX";
    if (!mkdtemp(folder)) return 0;
    const std::string file = std::string(folder) + "/scans.csv";
    std::vector<double> costs;
    support::RunProgramOnSimulator([&](engine::SimulatedConverter& converter) {
        converter.setInput(0, [](double t) { return 1.25 + std::sin(6.283185307179586 * 5 * t); });
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
        const int panel = zelmor::mainPanel;
        engine::FindPanel(panel)->window->show();
        engine::testing::TypeInto(panel, MAIN_SAMPLES, "1000");
        engine::testing::PressEnter(panel, MAIN_SAMPLES);
        auto* chart = qobject_cast<StripChart*>(engine::FindControl(panel, MAIN_CHART)->widget);
        engine::ChartFeed& feed = engine::FeedOf(chart);
        if (span > 0) chart->setSpan(span);
        long firings = 0;
        QObject::connect(chart, &StripChart::triggerFired, [&] { ++firings; });
        const char* units[] = {"V", "°C", "kPa", "mA"};
        std::vector<engine::ChannelSetup> calibrated;
        for (int c = 0; c < 8; ++c)
            calibrated.push_back(
                {"Sensor " + std::to_string(c), units[c % 4], 1.5 + c, 0.25 * (c + 1)});
        engine::TriggerSetup trigger;  // rising through the sine's middle, in the channel's unit
        trigger.level = calibrated[0].value(1.25);
        trigger.mode = engine::TriggerMode::normal;
        char title[64];
        std::snprintf(title, sizeof title, "1000/s, span %.0f s, %.0f s a part", chart->span(),
                      seconds);
        std::printf("%-34s  scans/s   CPU %%  paints/s  firings  bytes/s  columns\n", title);
        std::string columnsB;
        for (int pair = 1; pair <= 3; ++pair) {
            double cpu[2] = {0, 0};
            for (bool terms : {false, true}) {
                chart->setTrigger({});  // off
                chart->setChannels(terms ? calibrated : std::vector<engine::ChannelSetup>{});
                chart->setLanes(terms);
                chart->setRangeMode(engine::ChartRange::fixed);
                if (terms) chart->setTrigger(trigger);
                feed.startRecording(QString::fromStdString(file), true);
                const long firingsAtStart = firings;
                runFor(1.5);
                const long paints0 = chart->paints(), firings0 = firings;
                const long long bytes0 = feed.session().bytesWritten();
                const Measured m = measureFor(seconds, converter);
                const double bytes = (feed.session().bytesWritten() - bytes0) / m.elapsed;
                feed.stopRecording();
                const auto [fields, line] = columnLine(file);
                if (terms) columnsB = line;
                // B must fire and record the calibrated columns, A neither.
                const bool right =
                    fields == (terms ? 17 : 9) && (firings > firingsAtStart) == terms;
                std::printf("pair %d %-27s%9.1f%8.1f%10.1f%9ld%9.0f%9d%s\n", pair,
                            terms ? "B operator's terms" : "A plain", m.scansPerSecond, m.cpu,
                            (chart->paints() - paints0) / m.elapsed, firings - firings0, bytes,
                            fields, right ? "" : "  WRONG SETUP");
                cpu[terms] = m.cpu;
            }
            costs.push_back(cpu[1] - cpu[0]);
            std::printf("pair %d: B - A = %+.1f%% of a core\n", pair, costs.back());
            std::fflush(stdout);
        }
        std::printf("B's column line: %s\n", columnsB.c_str());
        QuitUserInterface(0);
    });
    std::remove(file.c_str());
    rmdir(folder);
    std::sort(costs.begin(), costs.end());
    return costs.size() == 3 ? costs[1] : 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    engine::PlaceSettings("", true);  // the user's settings neither read nor written
    const char* what = argc > 1 ? argv[1] : "all";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    if (argc > 3) programRateList = {std::clamp(std::atoi(argv[3]), 1, 100'000)};
    if (!std::strcmp(what, "engine") || !std::strcmp(what, "all")) engineRates(seconds);
    if (!std::strcmp(what, "program") || !std::strcmp(what, "all")) {
        // The program and the floor in turn, A B A B A B: what the machine's other work does
        // to one of a pair it does to the other alike, and the median drops the odd pair out.
        std::vector<double> ratios;
        for (int pair = 1; pair <= 3; ++pair) {
            const double program = programRates(seconds);
            const double floor = floorCpu(seconds);
            ratios.push_back(floor > 0 ? program / floor : 0.0);
            std::printf("pair %d: the program at %d scans/s costs %.2fx the floor\n", pair,
                        programRateList.back(), ratios.back());
            std::fflush(stdout);
        }
        std::sort(ratios.begin(), ratios.end());
        std::printf("at %d scans/s the program costs %.1fx the floor\n", programRateList.back(),
                    ratios[1]);
    }
    if (!std::strcmp(what, "floor")) floorCpu(seconds);
    if (!std::strcmp(what, "terms"))
        std::printf(
            "with lanes, a normal trigger and calibrated columns at 1000 scans/s the program "
            "costs %+.1f%% of a core (median of three pairs)\n",
            termsBench(seconds, argc > 3 ? std::clamp(std::atof(argv[3]), 1.0, 600.0) : 0));
    if (!std::strcmp(what, "record")) recordBench(argc > 2 ? seconds : 60);
    if (!std::strcmp(what, "grid")) gridBench(argc > 2 ? seconds : 60);
    if (!std::strcmp(what, "soak"))
        soak(argc > 2 ? seconds : 600, argc > 3 ? programRateList.front() : 1000);
    return 0;
}
