// The bytes as the settings file (zelmor.conf): whatever it holds, the reader gives settings
// the chart, the trigger and the channels can use as they stand, its notice is safe to print on
// one line, and what it gives is written and read back unchanged.
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/chart/chart_limits.h"
#include "engine/panels/settings.h"
#include "utf8_check.h"

namespace {

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "settings read: %s\n", what);
    std::abort();
}

bool usable(std::pair<double, double> r) {
    return std::isfinite(r.first) && std::isfinite(r.second) &&
           std::fabs(r.first) <= engine::kMaxChartValue &&
           std::fabs(r.second) <= engine::kMaxChartValue &&
           r.second - r.first >= engine::kMinChartRange;
}

void checkUsable(const engine::StoredSettings& s) {
    const engine::ChartSetup& c = s.chart;
    require(c.span >= 0.01 && c.span <= 600, "a span out of 0.01 to 600 s");
    require(usable(c.manual), "a range by hand that the chart cannot draw");
    require(c.hidden.size() <= 16 && c.laneRanges.size() <= 16, "more than 16 traces");
    for (const auto& r : c.laneRanges) require(usable(r), "a lane's range the chart cannot draw");
    const int traces = c.hidden.empty() ? 16 : static_cast<int>(c.hidden.size());
    require(!engine::CheckTrigger(s.trigger, traces), "a trigger refused");
    require(s.channels.size() <= 64, "more than 64 boards");
    for (const auto& [base, channels] : s.channels) {
        require(base <= 0xFFFF && !channels.empty() && channels.size() <= 16, "a board's channels");
        for (const auto& ch : channels) require(!engine::CheckChannel(ch), "a channel refused");
    }
    require(s.recordingFolder.isEmpty() || QFileInfo(s.recordingFolder).isDir(),
            "a recording folder that is none");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "settings_fuzzer", *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const QString folder = [] {
        char home[] = "/tmp/zelmor-settings-fuzz-XXXXXX";
        if (!mkdtemp(home)) std::abort();
        return QString(home);
    }();
    // A new name each time: the INI reader keeps what it read of a name it saw before.
    static long run = 0;
    ++run;
    const QString input = folder + QString("/in%1.conf").arg(run);
    const QString again = folder + QString("/again%1.conf").arg(run);
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly)) std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();

    const engine::SettingsRead read = engine::ReadSettings(input);
    fuzz::RequireSafe(read.notice, "ReadSettings");
    checkUsable(read.settings);
    require(read.writable || read.notice.find("newer version") != std::string::npos,
            "a file that was read left alone though no newer version wrote it");

    std::string error;
    require(engine::WriteSettings(again, read.settings, error), "what was read cannot be written");
    const engine::SettingsRead back = engine::ReadSettings(again);
    require(back.notice.empty(), "what was written reads back as damaged");
    require(back.settings == read.settings, "what was written reads back otherwise");
    QFile::remove(input);
    QFile::remove(again);
    return 0;
}
