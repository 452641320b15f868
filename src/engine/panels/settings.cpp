#include "engine/panels/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

#include "engine/chart/chart_limits.h"
#include "engine/chart/chart_scale.h"
#include "engine/escape.h"

namespace engine {
namespace {

constexpr int kVersion = 1;
// Far more than any file we write (16 channels on 64 boards): a bigger one is not ours.
constexpr qint64 kMostBytes = 1 << 20;
constexpr std::size_t kMostBoards = 64;
constexpr unsigned kMostPortBase = 0xFFFF;  // the port addresses a PC has
// The chart's spans (1 s to 10 min) and any between, down to its shortest.
constexpr double kShortestSpan = kMinChartSpan, kLongestSpan = 600;
constexpr double kMostLevel = 1e15;  // a trigger level: beyond any calibrated reading

template <typename T>
struct Word {
    T value;
    const char* word;
};
const Word<Look> kLookWords[] = {
    {Look::light, "light"}, {Look::dark, "dark"}, {Look::desktop, "desktop"}};
const Word<ChartRange> kRangeWords[] = {{ChartRange::fixed, "fixed"},
                                        {ChartRange::autoscale, "autoscale"},
                                        {ChartRange::manual, "manual"}};
const Word<TriggerMode> kModeWords[] = {
    {TriggerMode::off, "off"}, {TriggerMode::single, "single"}, {TriggerMode::normal, "normal"}};
const Word<TriggerEdge> kEdgeWords[] = {{TriggerEdge::rising, "rising"},
                                        {TriggerEdge::falling, "falling"}};

template <typename T, std::size_t N>
QString wordOf(const Word<T> (&table)[N], T value) {
    for (const Word<T>& w : table)
        if (w.value == value) return w.word;
    return table[0].word;
}

QString number(double v) {
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString quoted(const QString& path) {
    return "\"" + QString::fromStdString(Printable(QFile::encodeName(path).toStdString())) + "\"";
}

// Reads values from the file, each checked; the keys of those that cannot be used are kept
// for the notice.
class Reader {
  public:
    explicit Reader(QSettings& file) : file_(file) {}
    std::vector<QString> bad;

    std::optional<QString> text(const QString& key) {
        if (!file_.contains(key)) return std::nullopt;
        const QVariant v = file_.value(key);
        if (v.typeId() != QMetaType::QString) return refuse(key);  // a list, or a variant
        return v.toString();
    }
    std::optional<double> number(const QString& key, double low, double high) {
        const auto t = text(key);
        if (!t) return std::nullopt;
        bool ok = false;
        const double v = t->toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < low || v > high) return refuse(key);
        return v;
    }
    std::optional<int> whole(const QString& key, int low, int high) {
        const auto t = text(key);
        if (!t) return std::nullopt;
        bool ok = false;
        const int v = t->toInt(&ok);
        if (!ok || v < low || v > high) return refuse(key);
        return v;
    }
    // The value of `table` whose word the key holds.
    template <typename T, std::size_t N>
    std::optional<T> choice(const QString& key, const Word<T> (&table)[N]) {
        const auto t = text(key);
        if (!t) return std::nullopt;
        for (const Word<T>& w : table)
            if (*t == QLatin1String(w.word)) return w.value;
        return refuse(key);
    }
    std::optional<bool> yesNo(const QString& key) {
        const auto t = text(key);
        if (!t) return std::nullopt;
        if (*t == "true" || *t == "false") return *t == "true";
        return refuse(key);
    }
    // Both ends of a range, or nothing when neither is there.
    std::optional<std::pair<double, double>> range(const QString& lowKey, const QString& highKey) {
        const auto low = text(lowKey), high = text(highKey);
        if (!low && !high) return std::nullopt;
        bool lowOk = false, highOk = false;
        const std::pair r(low ? low->toDouble(&lowOk) : 0, high ? high->toDouble(&highOk) : 0);
        if (lowOk && highOk && !CheckChartRange(r)) return r;
        return refuse(lowKey.section('_', 0, 0));
    }
    std::nullopt_t refuse(const QString& key) {
        bad.push_back(file_.group().isEmpty() ? key : file_.group() + "/" + key);
        return std::nullopt;
    }

  private:
    QSettings& file_;
};

}  // namespace

const char* LookWord(Look look) {
    for (const auto& w : kLookWords)
        if (w.value == look) return w.word;
    return "desktop";
}

namespace {

void readChart(QSettings& file, Reader& in, ChartSetup& chart) {
    file.beginGroup("chart");
    if (auto v = in.number("span", kShortestSpan, kLongestSpan)) chart.span = *v;
    if (auto v = in.choice("range", kRangeWords)) chart.range = *v;
    if (auto v = in.range("manual_low", "manual_high")) chart.manual = *v;
    if (auto v = in.yesNo("lanes")) chart.lanes = *v;
    const auto traces = in.whole("traces", 1, kMaxChartTraces);
    if (auto hidden = in.text("hidden")) {
        std::vector<bool> flags(static_cast<std::size_t>(traces.value_or(0)), false);
        for (const QString& n : hidden->split(' ', Qt::SkipEmptyParts)) {
            bool ok = false;
            const int trace = n.toInt(&ok);
            if (!ok || trace < 0 || trace >= static_cast<int>(flags.size())) {
                flags.assign(flags.size(), false);  // every trace shown
                in.refuse("hidden");
                break;
            }
            flags[static_cast<std::size_t>(trace)] = true;
        }
        chart.hidden = flags;
    } else if (traces) {
        chart.hidden.assign(static_cast<std::size_t>(*traces), false);
    }
    // Lane by lane from the first; a lane that cannot be used takes the others with it.
    for (int lane = 0; lane < kMaxChartTraces; ++lane) {
        const QString low = QString("lane%1_low").arg(lane),
                      high = QString("lane%1_high").arg(lane);
        const std::size_t before = in.bad.size();
        const auto r = in.range(low, high);
        if (in.bad.size() != before) chart.laneRanges.clear();
        if (!r) break;
        chart.laneRanges.push_back(*r);
    }
    file.endGroup();
}

void readTrigger(QSettings& file, Reader& in, TriggerSetup& trigger) {
    file.beginGroup("trigger");
    if (auto v = in.choice("mode", kModeWords)) trigger.mode = *v;
    if (auto v = in.whole("channel", 0, kMaxChartTraces - 1)) trigger.channel = *v;
    if (auto v = in.choice("edge", kEdgeWords)) trigger.edge = *v;
    if (auto v = in.number("level", -kMostLevel, kMostLevel)) trigger.level = *v;
    if (auto v = in.number("position", 0, 1)) trigger.position = *v;
    file.endGroup();
}

// One board's channels: "ch0_name" to "ch15_offset" (counted as the program counts its
// inputs), from the first to the last given.
std::vector<ChannelSetup> readChannels(QSettings& file, Reader& in) {
    int count = 0;
    for (const QString& key : file.childKeys()) {
        bool ok = false;
        const int n = key.startsWith("ch") ? key.mid(2).section('_', 0, 0).toInt(&ok) : 0;
        if (ok && n >= 0 && n < kMaxChartTraces)
            count = std::max(count, n + 1);
        else
            in.refuse(key.left(40));
    }
    std::vector<ChannelSetup> channels;
    for (int i = 0; i < count; ++i) {
        ChannelSetup c = DefaultChannel(i);
        const QString ch = QString("ch%1_").arg(i);
        const std::size_t before = in.bad.size();
        if (auto v = in.text(ch + "name")) c.name = v->toStdString();
        if (auto v = in.text(ch + "unit")) c.unit = v->toStdString();
        if (auto v = in.number(ch + "gain", -kGainLimit, kGainLimit)) c.gain = *v;
        if (auto v = in.number(ch + "offset", -kOffsetLimit, kOffsetLimit)) c.offset = *v;
        if (in.bad.size() != before || CheckChannel(c)) {
            if (in.bad.size() == before) in.refuse(QString("ch%1").arg(i));
            c = DefaultChannel(i);
        }
        channels.push_back(c);
    }
    return channels;
}

// "channels_0x378": the port base address, or nothing.
std::optional<unsigned> portBaseOf(const QString& group) {
    const QString prefix = "channels_0x", hex = group.mid(prefix.size());
    if (!group.startsWith(prefix) || hex.isEmpty() || hex.size() > 4) return std::nullopt;
    for (QChar c : hex)
        if (!std::isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x')) return std::nullopt;
    const unsigned base = hex.toUInt(nullptr, 16);
    if (base > kMostPortBase) return std::nullopt;
    return base;
}

// Whether the file holds anything we keep: a file that holds only other things is not ours.
bool holdsOurs(QSettings& file) {
    if (file.contains("version") || file.contains("look")) return true;
    for (const QString& g : file.childGroups())
        if (g == "chart" || g == "trigger" || g == "recording" || g.startsWith("channels_"))
            return true;
    return false;
}

std::string damaged(const QString& path, const QString& what) {
    return ("Settings file " + quoted(path) + " is damaged: " + what).toStdString();
}

}  // namespace

SettingsRead ReadSettings(const QString& path, const QString& oldLooks) {
    SettingsRead read;
    if (path.isEmpty()) return read;
    const QFileInfo info(path);
    if (!info.exists()) {
        if (oldLooks.isEmpty() || !QFileInfo(oldLooks).isFile()) return read;
        QSettings old(oldLooks, QSettings::IniFormat);
        Reader in(old);
        if (old.status() == QSettings::NoError) read.settings.look = in.choice("look", kLookWords);
        return read;
    }
    QFile probe(path);
    if (info.isDir() || !probe.open(QIODevice::ReadOnly)) {
        read.writable = false;
        read.notice = "Settings file " + quoted(path).toStdString() +
                      " cannot be read: the defaults are used, and the file is left as it is";
        return read;
    }
    probe.close();
    if (info.size() == 0) return read;
    if (info.size() > kMostBytes) {
        read.notice = damaged(path, "the defaults are used");
        return read;
    }
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError || !holdsOurs(file)) {
        read.notice = damaged(path, "the defaults are used");
        return read;
    }
    Reader in(file);
    if (const auto version = in.text("version")) {
        bool ok = false;
        const int v = version->toInt(&ok);
        if (ok && v > kVersion) {
            read.writable = false;
            read.notice = "Settings file " + quoted(path).toStdString() +
                          " was written by a newer version of zelmor: the defaults are used, "
                          "and the file is left as it is";
            return read;
        }
        if (!ok || v < 1) in.refuse("version");
    }
    StoredSettings& s = read.settings;
    s.look = in.choice("look", kLookWords);
    readChart(file, in, s.chart);
    readTrigger(file, in, s.trigger);
    const int traces = s.chart.hidden.empty() ? kMaxChartTraces : int(s.chart.hidden.size());
    if (CheckTrigger(s.trigger, traces)) {
        in.bad.push_back("trigger");
        s.trigger = TriggerSetup{};
    }
    for (const QString& group : file.childGroups()) {
        if (!group.startsWith("channels_")) continue;
        const auto base = portBaseOf(group);
        if (!base || s.channels.size() >= kMostBoards) {
            in.bad.push_back(group.left(40));
            continue;
        }
        file.beginGroup(group);
        if (auto channels = readChannels(file, in); !channels.empty())
            s.channels[*base] = std::move(channels);
        file.endGroup();
    }
    file.beginGroup("recording");
    if (auto folder = in.text("folder")) {
        if (!QDir::isAbsolutePath(*folder) || folder->contains(QChar(0)))
            in.refuse("folder");
        else if (QFileInfo(*folder).isDir())  // a folder since removed is no damage
            s.recordingFolder = QDir::cleanPath(*folder);
    }
    file.endGroup();
    if (in.bad.size() == 1 && in.bad[0] == "look") {
        read.notice = "Settings file " + quoted(path).toStdString() + " names no look \"" +
                      Printable(file.value("look").toString().left(40).toStdString()) +
                      "\": the desktop's look is used";
    } else if (!in.bad.empty()) {
        const QString first = QString::fromStdString(Printable(in.bad[0].toStdString()));
        read.notice =
            damaged(path, in.bad.size() == 1 ? first + " is back to its default"
                                             : QString("%1 and %2 more are back to their defaults")
                                                   .arg(first)
                                                   .arg(in.bad.size() - 1));
    }
    return read;
}

bool WriteSettings(const QString& path, const StoredSettings& s, std::string& error) {
    const auto fail = [&](const QString& why) {
        error = ("Settings could not be saved to " + quoted(path) + ": " + why).toStdString();
        return false;
    };
    // QSettings writes the INI text (its quoting and escapes) to a file of its own; the file
    // itself is then replaced whole, so a reader never finds half of it.
    QTemporaryDir scratch;
    if (!scratch.isValid()) return fail(scratch.errorString());
    const QString rendered = scratch.filePath("zelmor.conf");
    {
        QSettings out(rendered, QSettings::IniFormat);
        out.setValue("version", kVersion);
        if (s.look) out.setValue("look", LookWord(*s.look));
        out.beginGroup("chart");
        out.setValue("span", number(s.chart.span));
        out.setValue("range", wordOf(kRangeWords, s.chart.range));
        out.setValue("manual_low", number(s.chart.manual.first));
        out.setValue("manual_high", number(s.chart.manual.second));
        out.setValue("lanes", s.chart.lanes ? "true" : "false");
        if (!s.chart.hidden.empty()) {
            out.setValue("traces", static_cast<int>(s.chart.hidden.size()));
            QStringList hidden;
            for (std::size_t i = 0; i < s.chart.hidden.size(); ++i)
                if (s.chart.hidden[i]) hidden << QString::number(i);
            out.setValue("hidden", hidden.join(' '));
        }
        for (std::size_t i = 0; i < s.chart.laneRanges.size(); ++i) {
            out.setValue(QString("lane%1_low").arg(i), number(s.chart.laneRanges[i].first));
            out.setValue(QString("lane%1_high").arg(i), number(s.chart.laneRanges[i].second));
        }
        out.endGroup();
        out.beginGroup("trigger");
        out.setValue("mode", wordOf(kModeWords, s.trigger.mode));
        out.setValue("channel", s.trigger.channel);
        out.setValue("edge", wordOf(kEdgeWords, s.trigger.edge));
        out.setValue("level", number(s.trigger.level));
        out.setValue("position", number(s.trigger.position));
        out.endGroup();
        for (const auto& [base, channels] : s.channels) {
            out.beginGroup("channels_0x" + QString::number(base, 16));
            for (std::size_t i = 0; i < channels.size(); ++i) {
                const QString ch = QString("ch%1_").arg(i);
                out.setValue(ch + "name", QString::fromStdString(channels[i].name));
                out.setValue(ch + "unit", QString::fromStdString(channels[i].unit));
                out.setValue(ch + "gain", number(channels[i].gain));
                out.setValue(ch + "offset", number(channels[i].offset));
            }
            out.endGroup();
        }
        if (!s.recordingFolder.isEmpty()) out.setValue("recording/folder", s.recordingFolder);
        out.sync();
        if (out.status() != QSettings::NoError)
            return fail("the settings could not be put in words");
    }
    QFile text(rendered);
    if (!text.open(QIODevice::ReadOnly)) return fail(text.errorString());
    const QByteArray bytes = text.readAll();
    if (!QDir().mkpath(QFileInfo(path).path())) return fail("its folder cannot be made");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return fail(file.errorString());
    return true;
}

namespace {

struct Store {
    std::string file;  // --settings=FILE
    bool none = false;
    std::optional<StoredSettings> current;
    bool writable = true;
    QString notice;
    bool failing = false;  // the last save failed: said once, until one succeeds
};
Store& store() {
    static Store s;
    return s;
}

// The user's config folder, as Qt finds it ($XDG_CONFIG_HOME, else ~/.config).
QString standardFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) folder = QDir::homePath() + "/.config";
    return folder + "/zelmor";
}

}  // namespace

void PlaceSettings(const std::string& file, bool none) {
    store() = Store{};
    store().file = file;
    store().none = none;
}

QString SettingsPath() {
    if (store().none) return QString();
    if (!store().file.empty()) return QFile::decodeName(QByteArray::fromStdString(store().file));
    return standardFolder() + "/zelmor.conf";
}

SettingsRead ReadPlacedSettings() {
    const bool standard = !store().none && store().file.empty();
    return ReadSettings(SettingsPath(), standard ? standardFolder() + "/zelmor.ini" : QString());
}

const StoredSettings& CurrentSettings() {
    Store& s = store();
    if (!s.current) {
        SettingsRead read = ReadPlacedSettings();
        s.current = std::move(read.settings);
        s.writable = read.writable;
        s.notice = QString::fromStdString(read.notice);
    }
    return *s.current;
}

QString TakeSettingsNotice() {
    CurrentSettings();
    return std::exchange(store().notice, QString());
}

bool ChangeSettings(const std::function<void(StoredSettings&)>& change) {
    CurrentSettings();
    Store& s = store();
    change(*s.current);
    if (s.none) return true;
    if (!s.writable) return false;
    std::string error;
    if (WriteSettings(SettingsPath(), *s.current, error)) {
        s.failing = false;
        return true;
    }
    if (!s.failing) s.notice = QString::fromStdString(error);
    s.failing = true;
    return false;
}

namespace testing {
void ForgetSettings() {
    store().current.reset();
    store().notice.clear();
    store().failing = false;
    store().writable = true;
}
}  // namespace testing

}  // namespace engine
