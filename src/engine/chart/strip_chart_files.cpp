// The strip chart's files: recording every scan as it comes, and saving what is shown.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QToolButton>
#include <cmath>

#include "engine/chart/strip_chart.h"
#include "engine/panels/dispatch.h"
#include "engine/panels/registry.h"
#include "engine/ports/port_io.h"

QString StripChart::defaultRecordingPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) folder = QDir::homePath();
    const QString stem = "zelmor-" + QDateTime::currentDateTime().toString("yyyy-MM-dd-HHmmss");
    QString path = QDir(folder).filePath(stem + ".csv");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(folder).filePath(stem + "-" + QString::number(n) + ".csv");
    return path;
}

engine::ScanRecorder::Header StripChart::fileHeader(const QString& what) const {
    engine::ScanRecorder::Header h;
    const QDateTime now = QDateTime::currentDateTime();
    h.comments.push_back(what.toStdString());
    h.comments.push_back(
        "started " + now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString());
    h.comments.push_back("program " + QCoreApplication::applicationName().toStdString() + " " +
                         ZELMOR_VERSION);
    const std::string backEnd = engine::StatusLineText();
    char port[16];
    std::snprintf(port, sizeof port, "0x%X", engine::LastPortWritten());
    h.comments.push_back("port base address " + std::string(port) +
                         ", back end: " + (backEnd.empty() ? std::string("hardware") : backEnd));
    if (rate_) {
        char rate[64];
        std::snprintf(rate, sizeof rate, "requested rate %g scans/s", rate_());
        h.comments.push_back(rate);
    }
    h.comments.push_back("time_s: seconds since the start; values in " +
                         (unit_.isEmpty() ? std::string("the chart's unit") : unit_.toStdString()) +
                         ", in full");
    h.traces = traceCount();
    h.unit = unit_.toStdString();
    return h;
}

void StripChart::showRecordButton() {
    const QSignalBlocker block(record_);
    record_->setChecked(recording());
    record_->setText(recording() ? tr("\u25A0 Stop") : tr("\u25CF Record"));
    record_->setToolTip(
        recording()
            ? tr("Recording to %1 (Ctrl+R stops)").arg(QString::fromStdString(recorder_.path()))
            : tr("Record every scan to a CSV file (Ctrl+R)"));
    placeButtons();
}

void StripChart::chooseAndRecord() {
    if (recording()) {
        stopRecording();
        return;
    }
    showRecordButton();  // unchecked until a file is chosen
    // The dialog asks before an existing file is replaced.
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Record every scan to"), defaultRecordingPath(), tr("CSV files (*.csv)"));
    if (!path.isEmpty()) startRecording(path, QFileInfo::exists(path));
}

bool StripChart::startRecording(const QString& path, bool overwrite) {
    stopRecording();
    if (status_before_) {  // a new recording: the last one's failure is no longer news
        engine::SetStatusLine(status_before_->first, status_before_->second);
        status_before_.reset();
    }
    const bool ok = recorder_.open(QFile::encodeName(path).toStdString(), overwrite,
                                   engine::ScanStartSeconds(), fileHeader("Zelmor recording"));
    if (!ok) {
        tell(tr("Not recording"),
             QString::fromStdString(recorder_.error()) + tr("\nChoose another file or folder."));
    } else {
        flush_.start();
    }
    showRecordButton();
    update();
    return ok;
}

void StripChart::stopRecording() {
    if (!recording()) return;
    flush_.stop();
    const bool ok = recorder_.close();
    showRecordButton();
    update();
    if (!ok) recordingFailed(QString::fromStdString(recorder_.error()));
}

void StripChart::rateChanged(double scansPerSecond) {
    if (!recording()) return;
    char text[96];
    std::snprintf(text, sizeof text, "rate changed to %g scans/s at %.6f s", scansPerSecond,
                  engine::ScanStartSeconds() - recorder_.begin());
    recorder_.comment(text);
}

void StripChart::recordingFailed(const QString& why) {
    flush_.stop();
    recorder_.close();
    showRecordButton();
    update();
    // Said on the status line, and once in a window that does not hold up the scans.
    if (!status_before_) status_before_ = {engine::StatusLineText(), engine::StatusLineTone()};
    engine::SetStatusLine(
        (status_before_->first.empty() ? "" : status_before_->first + " \u2014 ") +
            why.toStdString(),
        engine::StatusTone::alarm);
    tell(tr("Recording stopped"), why + tr("\nScanning goes on."));
}

void StripChart::tell(const QString& title, const QString& text) {
    // A window of its own, not a modal popup: the scans go on while it is open.
    if (failure_) failure_->close();
    failure_ = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    failure_->setAttribute(Qt::WA_DeleteOnClose);
    failure_->setWindowModality(Qt::NonModal);
    failure_->show();
}

QString StripChart::recordingText() const {
    if (!recording()) return {};
    const long seconds = std::lround(std::max(0.0, engine::ScanStartSeconds() - recorder_.begin()));
    return tr("\u25CF REC %1  %2:%3:%4  %5 scans")
        .arg(QFileInfo(QString::fromStdString(recorder_.path())).fileName())
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'))
        .arg(QLocale().toString(static_cast<qlonglong>(recorder_.scans())));
}

bool StripChart::exportShown(const QString& path, QString& error) const {
    const TraceHistory& h = shown();
    const double start = end() - span_;
    engine::ScanRecorder file;
    if (!file.open(QFile::encodeName(path).toStdString(), true, start,
                   fileHeader(QString("Zelmor chart: the span shown, %1 s, %2")
                                  .arg(span_)
                                  .arg(frozen_ ? "frozen" : "live")))) {
        error = QString::fromStdString(file.error());
        return false;
    }
    std::vector<double> scan(static_cast<std::size_t>(h.traces()));
    for (int i = h.firstAtOrAfter(start); i < h.size(); ++i) {
        for (int t = 0; t < h.traces(); ++t) scan[static_cast<std::size_t>(t)] = h.at(t, i);
        file.append(h.time(i), scan.data());
    }
    if (!file.close()) {
        error = QString::fromStdString(file.error());
        return false;
    }
    return true;
}

bool StripChart::savePicture(const QString& path, QString& error) {
    bool saved = false;
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size());
        svg.setViewBox(rect());
        svg.setTitle(tr("Zelmor chart"));
        QPainter p;
        saved = p.begin(&svg);
        if (saved) {
            render(&p);
            saved = p.end();
        }
        saved = saved && QFileInfo(path).size() > 0;
    } else {
        saved = grab().save(path, "PNG");
    }
    if (!saved)
        error = tr("Cannot save the picture to %1: check that the folder exists and can be "
                   "written.")
                    .arg(path);
    return saved;
}
