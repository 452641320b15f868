#include "engine/panels/recordings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <iostream>

#include "engine/chart/trigger_dialog.h"
#include "engine/escape.h"
#include "engine/panels/dispatch.h"
#include "engine/panels/settings.h"
#include "engine/ports/port_io.h"

namespace engine {
namespace {
// A hole in the scans: no scan for more than this many periods of the applied rate.
constexpr double kGapPeriods = 1.5;
// How long a passing word stays on the status line.
constexpr int kSayingSeconds = 6;

// The folder of the file chosen, for the next dialog (and the next run).
void rememberFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (folder == CurrentSettings().recordingFolder) return;
    if (!ChangeSettings([&](StoredSettings& s) { s.recordingFolder = folder; }))
        if (const QString why = TakeSettingsNotice(); !why.isEmpty()) ChartFeed::sayBriefly(why);
}
}  // namespace

ChartFeed::ChartFeed(StripChart* chart)
    : QObject(chart),
      chart_(chart),
      session_(ScanStartSeconds, [this](const QString& why) { stoppedOnItsOwn(why); }) {
    connect(chart, &StripChart::recordRequested, this, &ChartFeed::chooseAndRecord);
    // Every file dialog, the chart's own and the viewer's too, starts in the folder the last
    // file went to, and the next run's do as well.
    SetRecordingFolderKeeping([] { return CurrentSettings().recordingFolder; }, rememberFolder);
    connect(chart, &StripChart::noteRequested, this, &ChartFeed::addNote);
    connect(chart, &StripChart::triggerFired, this, [this](double seconds, const QString& what) {
        if (recording()) session_.triggerFired(seconds, what.toStdString());
    });
    applySettings();
    connect(chart, &StripChart::setupChanged, this, &ChartFeed::saveSettings);
    connect(chart, &StripChart::rateChanged, this, [this](double scansPerSecond) {
        session_.rateChanged(scansPerSecond);
        if (scansPerSecond > 0) longest_ = std::max(longest_, kGapPeriods / scansPerSecond);
    });
    chart->setBadge([this] { return session_.badge(); });
    chart->setFileFacts([] {
        RecordingFacts facts;
        facts.program = QCoreApplication::applicationName().toStdString() + " " + ZELMOR_VERSION;
        facts.portBase = LastPortWritten();
        // The status line, and the ceiling the panel shows beside Requested: a recording's
        // reader has neither in front of them.
        facts.backEnd = ActiveBackendDescription();
        if (const double most = ActiveBackendScanCeiling(); most > 0)
            facts.backEnd +=
                " \u2014 at most " + std::to_string(static_cast<long>(most)) + " scans/s";
        return facts;
    });
}

void ChartFeed::scan(const double* values, double seconds) {
    // Each board keeps its own channels: the port is known once the link has written to it.
    if (LastPortWritten() != channels_base_) applyChannels(LastPortWritten());
    auto before = TraceHistory::Before::scans;
    if (scanned_ && longest_ > 0 && seconds - last_ > longest_) {
        const bool popup = PopupOpenSince(last_);
        before = popup ? TraceHistory::Before::gapDuringPopup : TraceHistory::Before::gap;
        session_.gap(last_, seconds, popup);
    }
    chart_->appendScan(values, seconds, before);
    session_.append(seconds, values);
    last_ = seconds;
    scanned_ = true;
    const auto rate = chart_->requestedRate();
    longest_ = rate && *rate > 0 ? kGapPeriods / *rate : 0;
}

void ChartFeed::applySettings() {
    const StoredSettings& stored = CurrentSettings();
    applying_ = true;
    // What the file does not set stays as the panel's resource has it.
    if (!(stored.chart == ChartSetup{})) chart_->applySetup(stored.chart);
    if (stored.trigger.mode != TriggerMode::off) chart_->setTrigger(stored.trigger);
    applying_ = false;
}

void ChartFeed::applyChannels(unsigned base) {
    channels_base_ = base;
    const StoredSettings& stored = CurrentSettings();
    const auto kept = stored.channels.find(base);
    applying_ = true;
    chart_->setChannels(kept != stored.channels.end() ? kept->second : std::vector<ChannelSetup>{});
    applying_ = false;
}

void ChartFeed::saveSettings() {
    if (applying_) return;
    const bool saved = ChangeSettings([this](StoredSettings& s) {
        s.chart = chart_->setup();
        s.trigger = chart_->trigger();
        if (channels_base_ != 0) s.channels[channels_base_] = chart_->channels();
    });
    if (!saved)
        if (const QString why = TakeSettingsNotice(); !why.isEmpty()) sayBriefly(why);
}

void ChartFeed::addNote() {
    if (!recording()) {
        sayBriefly(tr("Notes are written into a recording: start one first (Ctrl+R)"));
        return;
    }
    const double at = last_;  // when the operator asked, not when they finished typing
    const std::optional<QString> text = AskNote(chart_);
    if (!text) return;
    chart_->addNote(at, *text);
    if (!recording()) {
        sayBriefly(tr("The recording stopped before the note was written"));
        return;
    }
    session_.note(at, text->toStdString());
}

void ChartFeed::chooseAndRecord() {
    if (recording()) {
        stopRecording();
        return;
    }
    // The dialog asks before an existing file is replaced.
    const QString path = QFileDialog::getSaveFileName(
        chart_, tr("Record every scan to"), DefaultRecordingPath(), tr("CSV files (*.csv)"));
    if (path.isEmpty()) return;
    RecordingPathChosen(path);
    startRecording(path, QFileInfo::exists(path));
}

bool ChartFeed::startRecording(const QString& path, bool overwrite) {
    session_.stop();
    if (status_before_) {  // a new recording: the last one's failure is no longer news
        SetStatusLine(status_before_->first, status_before_->second);
        status_before_.reset();
    }
    const bool ok = session_.start(path, overwrite, chart_->fileFacts());
    if (!ok)
        showWarning(tr("Not recording"), session_.error() + tr("\nChoose another file or folder."));
    showState();
    return ok;
}

void ChartFeed::stopRecording() {
    if (!recording()) return;
    session_.stop();
    showState();
    if (!status_before_)  // a failure to close is already said, in red
        sayBriefly(tr("Saved %1 scans to %2")
                       .arg(session_.scans())
                       .arg(QDir::toNativeSeparators(session_.path())));
}

void ChartFeed::chooseAndSave(bool csv) {
    const QString start = QFileInfo(DefaultRecordingPath()).dir().path();
    const QString path = csv ? QFileDialog::getSaveFileName(chart_, tr("Save the shown span as"),
                                                            start, tr("CSV files (*.csv)"))
                             : QFileDialog::getSaveFileName(chart_, tr("Save the picture as"),
                                                            start, tr("Pictures (*.png *.svg)"));
    if (path.isEmpty()) return;
    RecordingPathChosen(path);
    QString error;
    if (!(csv ? chart_->exportShown(path, error) : chart_->savePicture(path, error))) {
        showWarning(tr("Not saved"), error);
        return;
    }
    const QString where = QDir::toNativeSeparators(path);
    if (!csv) {
        sayBriefly(tr("Saved the picture to %1").arg(where));
        return;
    }
    // The scans as the file holds them: its lines that are neither comments nor the heading.
    long scans = -1;
    if (QFile file(path); file.open(QIODevice::ReadOnly))
        while (!file.atEnd())
            if (const QByteArray line = file.readLine(); !line.startsWith('#')) ++scans;
    sayBriefly(tr("Saved %1 scans to %2").arg(std::max(scans, 0L)).arg(where));
}

void ChartFeed::sayBriefly(const QString& text) {
    const std::string before = StatusLineText();
    const StatusTone tone = StatusLineTone();
    const std::string said = (before.empty() ? "" : before + " \u2014 ") + text.toStdString();
    SetStatusLine(said, tone);
    QTimer::singleShot(kSayingSeconds * 1000, [before, tone, said] {
        if (StatusLineText() == said) SetStatusLine(before, tone);
    });
}

void ChartFeed::stoppedOnItsOwn(const QString& why) {
    showState();
    // Said on the status line, and once in a window that does not hold up the scans.
    if (!status_before_) status_before_ = {StatusLineText(), StatusLineTone()};
    SetStatusLine((status_before_->first.empty() ? "" : status_before_->first + " \u2014 ") +
                      why.toStdString(),
                  StatusTone::alarm);
    showWarning(tr("Recording stopped"), why + tr("\nScanning goes on."));
    TellRunFault(RunFault::recordingFailed);
}

void ChartFeed::showWarning(const QString& title, const QString& text) {
    if (PopupsGoToStandardError()) {  // no one to read a window
        std::cerr << "zelmor: "
                  << Printable((title + ": " + QString(text).replace('\n', ' ')).toStdString())
                  << std::endl;
        return;
    }
    // A window of its own, not a modal popup: the scans go on while it is open.
    if (warning_) warning_->close();
    warning_ = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, chart_);
    warning_->setAttribute(Qt::WA_DeleteOnClose);
    warning_->setWindowModality(Qt::NonModal);
    warning_->show();
}

void ChartFeed::showState() {
    chart_->showRecording(recording() ? session_.path() : QString());
}

ChartFeed& FeedOf(StripChart* chart) {
    auto* feed = chart->findChild<ChartFeed*>(QString(), Qt::FindDirectChildrenOnly);
    return feed ? *feed : *new ChartFeed(chart);
}

}  // namespace engine
