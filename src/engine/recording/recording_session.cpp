#include "engine/recording/recording_session.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <cmath>
#include <cstdio>

namespace engine {

ScanRecorder::Header FileHeader(const std::string& what, const RecordingFacts& facts) {
    ScanRecorder::Header h;
    const QDateTime now = QDateTime::currentDateTime();
    h.comments.push_back(what);
    h.comments.push_back(
        "started " + now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString());
    h.comments.push_back("program " + facts.program);
    h.comments.push_back(PortLine(facts));
    if (facts.requestedRate) {
        char rate[64];
        std::snprintf(rate, sizeof rate, "requested rate %g scans/s", *facts.requestedRate);
        h.comments.push_back(rate);
    }
    h.comments.push_back("time_s: seconds since the start; values in " +
                         (facts.unit.empty() ? std::string("the chart's unit") : facts.unit) +
                         ", in full");
    if (!facts.channels.empty()) {
        for (int t = 0; t < facts.traces; ++t) {
            const auto i = static_cast<std::size_t>(t);
            ChannelSetup c = i < facts.channels.size() ? facts.channels[i] : DefaultChannel(t);
            if (CheckChannel(c)) c = DefaultChannel(t);
            h.comments.push_back(ChannelLine(t, c));
            h.channels.push_back(std::move(c));
        }
        h.comments.push_back(
            "a calibrated channel (gain not 1 or offset not 0) adds a column name_unit after the "
            "voltages: gain * volts + offset, in full");
    }
    h.comments.push_back(
        "a hole in the scans (none for over 1.5 periods) is marked before the first scan after "
        "it: gap of S s after T s, with (a popup was open) when one was");
    h.traces = facts.traces;
    h.unit = facts.unit;
    return h;
}

std::string PortLine(const RecordingFacts& facts) {
    char port[16];
    std::snprintf(port, sizeof port, "0x%X", facts.portBase);
    return "port base address " + std::string(port) +
           ", back end: " + (facts.backEnd.empty() ? std::string("hardware") : facts.backEnd);
}

RecordingFacts FactsFromHeader(const std::vector<std::string>& comments, std::string* started) {
    RecordingFacts facts;
    if (started) started->clear();
    auto after = [](const std::string& line,
                    const std::string& start) -> std::optional<std::string> {
        if (line.compare(0, start.size(), start) != 0) return std::nullopt;
        return line.substr(start.size());
    };
    for (const std::string& c : comments) {
        if (auto v = after(c, "program ")) facts.program = *v;
        if (auto v = after(c, "started "); v && started) *started = *v;
        if (auto v = after(c, "port base address 0x")) {
            const QString line = QString::fromStdString(*v);
            facts.portBase = line.left(line.indexOf(',')).toUInt(nullptr, 16);
            if (const auto at = v->find("back end: "); at != std::string::npos)
                facts.backEnd = v->substr(at + 10);
        }
        if (auto v = after(c, "requested rate ")) {
            bool number = false;
            const double rate = QString::fromStdString(*v).section(' ', 0, 0).toDouble(&number);
            if (number) facts.requestedRate = rate;
        }
        if (const ChannelLineRead read = ReadChannelLine(c);
            read.channel && read.number == static_cast<int>(facts.channels.size()))
            facts.channels.push_back(*read.channel);
    }
    return facts;
}

std::string GapComment(double length, double after, bool popupOpen) {
    char text[96];
    std::snprintf(text, sizeof text, "gap of %.3f s after %.6f s%s", length, after,
                  popupOpen ? " (a popup was open)" : "");
    return text;
}

namespace {
std::function<QString()> lastFolder;
std::function<void(const QString&)> pathChosen;
}  // namespace

void SetRecordingFolderKeeping(std::function<QString()> last,
                               std::function<void(const QString&)> chosen) {
    lastFolder = std::move(last);
    pathChosen = std::move(chosen);
}

void RecordingPathChosen(const QString& path) {
    if (pathChosen && !path.isEmpty()) pathChosen(path);
}

QString DefaultRecordingPath() {
    QString folder = lastFolder ? lastFolder() : QString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) folder = QDir::homePath();
    const QString stem = "zelmor-" + QDateTime::currentDateTime().toString("yyyy-MM-dd-HHmmss");
    QString path = QDir(folder).filePath(stem + ".csv");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(folder).filePath(stem + "-" + QString::number(n) + ".csv");
    return path;
}

RecordingSession::RecordingSession(std::function<double()> clock,
                                   std::function<void(const QString&)> stopped)
    : clock_(std::move(clock)), stopped_(std::move(stopped)) {
    flush_.setInterval(1000);
    QObject::connect(&flush_, &QTimer::timeout, [this] {
        if (!recorder_.flush()) stoppedOnItsOwn();
    });
}

bool RecordingSession::start(const QString& path, bool overwrite, const RecordingFacts& facts) {
    stop();
    const bool ok = recorder_.open(QFile::encodeName(path).toStdString(), overwrite, clock_(),
                                   FileHeader("Zelmor recording", facts));
    if (ok) flush_.start();
    return ok;
}

void RecordingSession::stop() {
    if (!running()) return;
    flush_.stop();
    if (!recorder_.close() && stopped_) stopped_(error());
}

void RecordingSession::stoppedOnItsOwn() {
    flush_.stop();
    recorder_.close();
    if (stopped_) stopped_(error());
}

QString RecordingSession::path() const {
    return QString::fromStdString(recorder_.path());
}

QString RecordingSession::error() const {
    return QString::fromStdString(recorder_.error());
}

void RecordingSession::rateChanged(double scansPerSecond) {
    if (!running()) return;
    char text[96];
    std::snprintf(text, sizeof text, "rate changed to %g scans/s at %.6f s", scansPerSecond,
                  clock_() - recorder_.begin());
    recorder_.comment(text);
}

void RecordingSession::gap(double last, double seconds, bool popupOpen) {
    if (running() && last >= recorder_.begin())
        recorder_.comment(GapComment(seconds - last, last - recorder_.begin(), popupOpen));
}

void RecordingSession::noteAt(const std::string& text, double seconds) {
    if (!running()) return;
    std::string line = text + " at ";
    ScanRecorder::formatTime(line, seconds - recorder_.begin());
    recorder_.comment(line + " s");
}

void RecordingSession::note(double seconds, const std::string& text) {
    if (running() && seconds >= recorder_.begin())
        recorder_.comment(NoteComment(seconds - recorder_.begin(), text));
}

void RecordingSession::triggerFired(double seconds, const std::string& what) {
    if (running() && seconds >= recorder_.begin())
        recorder_.comment(TriggerComment(seconds - recorder_.begin(), what));
}

QString RecordingSession::badge() const {
    if (!running()) return {};
    const long seconds = std::lround(std::max(0.0, clock_() - recorder_.begin()));
    return QCoreApplication::translate("StripChart", "\u25CF REC %1  %2:%3:%4  %5 scans")
        .arg(QFileInfo(path()).fileName())
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'))
        .arg(QLocale().toString(static_cast<qlonglong>(recorder_.scans())));
}

}  // namespace engine
