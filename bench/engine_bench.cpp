// Cost of one tick through the engine: the bare dispatch, and the program's whole scan tick
// on the simulated bench (eight conversions, nine control updates, one chart append), in time
// and in allocations; and the cost of painting the chart.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "engine/controls/controls.h"
#include "engine/panels/settings.h"

#include "bench_support.h"
#include "engine/panels/dispatch.h"
#include "engine/panels/loader.h"
#include "engine/panels/registry.h"
#include "engine/panels/resource_check.h"
#include "engine/panels/test_interface.h"
#include "engine/ports/simulated_converter.h"
#include "ui/panel_ids.h"
#include "ui/zelmor.h"

// Every allocation of the process passes here while `counting` is set: these replace the C
// library's own for the whole program, Qt's allocations included.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
}
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
void count() {
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace
extern "C" void* malloc(std::size_t n) {
    count();
    return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t n, std::size_t size) {
    count();
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t n) {
    count();
    return __libc_realloc(p, n);
}
extern "C" void* memalign(std::size_t alignment, std::size_t n) {
    count();
    return __libc_memalign(alignment, n);
}
extern "C" void* aligned_alloc(std::size_t alignment, std::size_t n) {
    count();
    return __libc_memalign(alignment, n);
}
extern "C" int posix_memalign(void** p, std::size_t alignment, std::size_t n) {
    count();
    *p = __libc_memalign(alignment, n);
    return *p ? 0 : ENOMEM;
}

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
    allocations = 0;
    for (auto _ : state) {
        counting = true;
        engine::testing::FireTimer(zelmor::mainPanel, MAIN_TIMER);
        counting = false;
        if (++n % 1000 == 0) QCoreApplication::processEvents();  // let the chart paint
    }
    state.counters["allocations_per_tick"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ProgramScanTick);

// The whole path of a tick, from the timer firing (its timer file becoming readable) to the
// end of the program's callback: the program at 1000 scans/s for 3 s in real time, every
// allocation of the process counted while a tick runs. What the display frames allocate, in
// between, is not the ticks'.
void BM_ProgramTicksInRealTime(benchmark::State& state) {
    struct StartCounting : QObject {
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::SockAct) counting = true;
            return false;
        }
    } start;
    for (auto _ : state) {
        support::RunProgramOnSimulator([&](engine::SimulatedConverter& converter) {
            engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
            engine::testing::TypeInto(zelmor::mainPanel, MAIN_SAMPLES, "1000");
            engine::testing::PressEnter(zelmor::mainPanel, MAIN_SAMPLES);
            auto* timer = engine::FindControl(zelmor::mainPanel, MAIN_TIMER)->widget.data();
            for (QObject* o : timer->findChildren<QSocketNotifier*>())
                o->installEventFilter(&start);
            long ticks = 0;
            QObject::connect(static_cast<TimerControl*>(timer), &TimerControl::due, [&] {
                counting = false;  // after the program's callback, connected before this
                ++ticks;
            });
            QEventLoop settle;
            QTimer::singleShot(1000, &settle, &QEventLoop::quit);
            settle.exec();
            const auto conversions = converter.conversions();
            const long ticks0 = ticks;
            allocations = 0;
            QEventLoop loop;
            QTimer::singleShot(3000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec();
            counting = false;
            const double scans = static_cast<double>(converter.conversions() - conversions) / 8;
            state.counters["scans"] = scans;
            state.counters["ticks"] = static_cast<double>(ticks - ticks0);
            state.counters["allocations_per_tick"] =
                static_cast<double>(allocations) / static_cast<double>(ticks - ticks0);
            QuitUserInterface(0);
        });
    }
}
BENCHMARK(BM_ProgramTicksInRealTime)->Iterations(1)->Unit(benchmark::kMillisecond);

// One frame of a full chart, 8 traces: 10 s at 100 scans/s (1000 points), 10 s at 1000 scans/s
// (10,000), and ten minutes at 1000 scans/s (600,000), each over its whole time, on 1000x400
// and on 1600x900 pixels. Each frame first takes the scans of a sixtieth of a second, as a
// chart that goes on scanning does (a few microseconds of the figure). Also the memory of the
// history. The fourth figure: 1, a lane per trace; 2, each lane autoscaled; 3, one axis
// autoscaled.
void BM_ChartPaint(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    const double rate = points <= 1000 ? 100 : 1000;
    StripChart chart;
    chart.setTraceCount(8);
    chart.setHistory(points);
    chart.setSpan(points / rate);
    chart.resize(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    chart.setLanes(state.range(3) == 1 || state.range(3) == 2);
    chart.setAutoscale(state.range(3) > 1);
    double scan[8];
    long i = 0;
    auto append = [&](long n) {
        for (const long end = i + n; i < end; ++i) {
            for (int t = 0; t < 8; ++t) scan[t] = 1.25 + std::sin(i * 0.05 + t) * (0.3 + 0.1 * t);
            chart.appendScan(scan, i / rate);
        }
    };
    append(points);
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    chart.render(&image);
    for (auto _ : state) {
        append(std::lround(rate / 60));
        chart.render(&image);
    }
    state.counters["history_MB"] = chart.data().bytes() / 1e6;
}
BENCHMARK(BM_ChartPaint)
    ->Args({1000, 1000, 400, 0})
    ->Args({10000, 1000, 400, 0})
    ->Args({600000, 1000, 400, 0})
    ->Args({600000, 1600, 900, 0})
    ->Args({10000, 1000, 400, 1})
    ->Args({600000, 1600, 900, 1})
    ->Args({600000, 1600, 900, 2})
    ->Args({600000, 1600, 900, 3})
    ->Unit(benchmark::kMicrosecond);

// What checking the main panel's resource adds to loading it: the check alone, on the bytes
// read, and the whole load (read, check, Qt's loader, binding) beside it.
void BM_PanelCheck(benchmark::State& state) {
    QByteArray bytes;
    if (!engine::ReadResourceFile(ZELMOR_RESOURCES_DIR "/zelmor.uir", bytes).isEmpty())
        return state.SkipWithError("cannot read zelmor.uir");
    for (auto _ : state) benchmark::DoNotOptimize(engine::CheckPanelXml(bytes));
}
BENCHMARK(BM_PanelCheck)->Unit(benchmark::kMicrosecond);

void BM_PanelLoad(benchmark::State& state) {
    engine::SteadyClock clock;
    ProgramOnSimulator program(clock);
    engine::SetResourceFolder(ZELMOR_RESOURCES_DIR);
    for (auto _ : state) {
        const int panel = LoadPanel(0, "zelmor.uir", MAIN);
        state.PauseTiming();
        engine::DiscardAllPanels();
        state.ResumeTiming();
        if (panel < 0) return state.SkipWithError("zelmor.uir does not load");
    }
}
BENCHMARK(BM_PanelLoad)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    engine::PlaceSettings("", true);  // the user's settings neither read nor written
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
