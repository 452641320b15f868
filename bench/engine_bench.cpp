// Cost of one tick through the engine: the bare dispatch, and the program's whole scan tick
// on the simulated bench (eight conversions, nine control updates, one chart append).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>

#include "engine/controls.h"

#include "bench_support.h"
#include "engine/dispatch.h"
#include "engine/loader.h"
#include "engine/ports/simulated_converter.h"
#include "engine/registry.h"
#include "engine/test_interface.h"
#include "ui/panel_ids.h"
#include "ui/zelmor.h"

namespace {

void BM_TickDispatch(benchmark::State& state) {
    engine::testing::ResetEngine(support::kTestPanelCallbacks);
    engine::SetResourceFolder(ZELMOR_TEST_PANELS);
    const int h = LoadPanel(0, "good.uir", 1);
    engine::FindControl(h, support::kTestPanelTimer)->widget->setProperty("running", false);
    for (auto _ : state) engine::testing::FireTimer(h, support::kTestPanelTimer);
    benchmark::DoNotOptimize(support::ticks);
    engine::DiscardAllPanels();
}
BENCHMARK(BM_TickDispatch);

void BM_ProgramScanTick(benchmark::State& state) {
    engine::SteadyClock clock;
    ProgramOnSimulator program(clock);
    zelmor::lptPanel = LoadPanel(0, "Parallela.uir", PORTS);
    zelmor::Inizialize();
    engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
    for (int t : {MAIN_TIMER, MAIN_STAT_TIMER})
        engine::FindControl(zelmor::mainPanel, t)->widget->setProperty("running", false);
    int n = 0;
    for (auto _ : state) {
        engine::testing::FireTimer(zelmor::mainPanel, MAIN_TIMER);
        if (++n % 1000 == 0) QCoreApplication::processEvents();  // let the chart paint
    }
}
BENCHMARK(BM_ProgramScanTick);

// One paint of a full chart on 1000x400 pixels, 8 traces: 10 s at 100 scans/s (1000 points),
// 10 s at 1000 scans/s (10,000), and ten minutes at 1000 scans/s (600,000), each over its
// whole time. Also the memory of the history.
void BM_ChartPaint(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    const double rate = points <= 1000 ? 100 : 1000;
    StripChart chart;
    chart.setTraceCount(8);
    chart.setHistory(points);
    chart.setSpan(points / rate);
    chart.resize(1000, 400);
    double scan[8];
    for (int i = 0; i < points; ++i) {
        for (int t = 0; t < 8; ++t) scan[t] = 1.25 + std::sin(i * 0.05 + t) * (0.3 + 0.1 * t);
        chart.appendScan(scan, i / rate);
    }
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) chart.render(&image);
    state.counters["history_MB"] = chart.data().bytes() / 1e6;
}
BENCHMARK(BM_ChartPaint)->Arg(1000)->Arg(10000)->Arg(600000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
