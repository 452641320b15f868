#include "engine/panels/unattended.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <cmath>
#include <iostream>
#include <memory>
#include <utility>

#include "engine/chart/strip_chart.h"
#include "engine/controls/numeric_entry.h"
#include "engine/panels/recordings.h"
#include "engine/panels/registry.h"

namespace engine {
namespace {

bool refused = false;  // an option could not be acted on: the run ends with -1
// The run's timers live as long as the run: one that ended early leaves none behind.
std::unique_ptr<QObject> runContext;

void refuse(const std::string& line) {
    std::cerr << "zelmor: " << line << std::endl;
    refused = true;
    QuitUserInterface(0);
}

// The shown panels, newest last.
std::vector<Panel*> shownPanels() {
    std::vector<Panel*> shown;
    for (int handle = 1; handle < NextPanelHandle(); ++handle)
        if (Panel* p = FindPanel(handle); p && p->window && p->window->isVisible())
            shown.push_back(p);
    return shown;
}

// The selector offering `item`, on a shown panel, and the item's index.
QComboBox* selectorOffering(const QString& item, int& index) {
    for (Panel* p : shownPanels())
        for (auto& [id, c] : p->controls)
            if (auto* combo = qobject_cast<QComboBox*>(c.widget.data()))
                if ((index = combo->findText(item)) >= 0) return combo;
    return nullptr;
}

// The main panel: the shown panel with a strip chart, and its chart.
StripChart* shownChart() {
    for (Panel* p : shownPanels())
        for (auto& [id, c] : p->controls)
            if (auto* chart = qobject_cast<StripChart*>(c.widget.data())) return chart;
    return nullptr;
}

// The entry the operator finds by its label, "Requested".
NumericEntry* requestedEntry(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text().remove('&').startsWith(QLatin1String("Requested")))
            if (auto* entry = qobject_cast<NumericEntry*>(label->buddy())) return entry;
    return nullptr;
}

void pressEnter(QWidget* w) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent key(type, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &key);
    }
}

void actAtThePanels(const EngineOptions& options) {
    const QString port = QString("LPT%1").arg(options.port);
    int index = -1;
    QComboBox* selector = selectorOffering(port, index);
    if (!selector || !selector->isEnabled())
        return refuse("--port=" + port.toStdString() + ": no panel offers that choice");
    const std::size_t popupsBefore = PopupLog().size();
    // What a click on the item does: the value changes, then the choice is committed.
    selector->setCurrentIndex(index);
    emit selector->activated(index);
    StripChart* chart = shownChart();
    if (!chart) return TellRunFault(RunFault::noPort);
    // The main panel came up, yet a popup was shown on the way: the port was not claimed.
    if (PopupLog().size() > popupsBefore) TellRunFault(RunFault::claimRefused);
    if (QuitRequested()) return;

    if (options.rate) {
        NumericEntry* entry = requestedEntry(chart->window());
        if (!entry) return refuse("--rate: the main panel has no Requested entry");
        if (options.rate < entry->minimum() || options.rate > entry->maximum())
            return refuse("--rate=" + std::to_string(options.rate) + " is outside Requested's " +
                          "range, " + std::to_string(entry->minimum()) + " to " +
                          std::to_string(entry->maximum()) + " scans/s");
        entry->setValue(options.rate);
        pressEnter(entry);
    }
    if (!options.recordFile.empty()) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(options.recordFile));
        if (!FeedOf(chart).startRecording(path, options.overwrite))
            return TellRunFault(RunFault::recordingFailed);
    }
    if (options.seconds > 0) {
        // The same quit request as the Exit command, once the time is up.
        const auto ms = static_cast<int>(std::llround(options.seconds * 1000));
        QTimer::singleShot(ms, Qt::PreciseTimer, runContext.get(), [] { QuitUserInterface(0); });
    }
}

}  // namespace

void PlanUnattendedRun(const EngineOptions& options, bool noOperator) {
    refused = false;
    PopupsToStandardError(noOperator);
    if (options.seconds > 0)
        EndRunOnFaults({RunFault::timedOut, RunFault::portLost, RunFault::claimRefused,
                        RunFault::recordingFailed, RunFault::noPort});
    else if (noOperator && options.port)
        EndRunOnFaults({RunFault::noPort});  // else it would wait for ever at the port panel
    else
        EndRunOnFaults({});
    runContext = std::make_unique<QObject>();
    if (options.port)
        QTimer::singleShot(0, runContext.get(), [options] { actAtThePanels(options); });
}

int EndUnattendedRun(int programResult) {
    const RunFault fault = EndingFault();
    runContext.reset();
    PopupsToStandardError(false);
    EndRunOnFaults({});
    if (std::exchange(refused, false)) return -1;
    return fault != RunFault::none && programResult == 0 ? static_cast<int>(fault) : programResult;
}

}  // namespace engine
