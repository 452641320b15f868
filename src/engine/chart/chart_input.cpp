// The strip chart's input: the legend and hover under the mouse, the keys, the menu.
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>

#include "engine/chart/recording_viewer.h"
#include "engine/chart/strip_chart.h"

bool StripChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        for (int t = 0; t < traceCount(); ++t) {
            if (legendEntry(t).contains(help->pos())) {
                QToolTip::showText(help->globalPos(), legendToolTip(t), this, legendEntry(t));
                return true;
            }
        }
        // Over the plot the hover box says more than the chart's tooltip, and is not covered.
        if (plotArea().contains(help->pos())) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
    }
    // A menu or a dialog over the window takes the pointer's attention: the hover box goes
    // until the pointer moves over the plot again.
    if (event->type() == QEvent::WindowDeactivate && hover_x_ >= 0) {
        hover_x_ = -1;
        update();
    }
    return QWidget::event(event);
}

void StripChart::mousePressEvent(QMouseEvent* event) {
    for (int t = 0; t < traceCount(); ++t) {
        if (legendEntry(t).contains(event->position().toPoint())) {
            setTraceVisible(t, !traceVisible(t));
            return;
        }
    }
    if (viewDrag(event, true)) return;
    QWidget::mousePressEvent(event);
}

void StripChart::mouseMoveEvent(QMouseEvent* event) {
    hover_x_ = event->position().x();
    viewDrag(event, false);
    update();
}

void StripChart::leaveEvent(QEvent*) {
    hover_x_ = -1;
    update();
}

void StripChart::contextMenuEvent(QContextMenuEvent* event) {
    // Also opened from the keyboard (the menu key, or Shift+F10), with the chart focused. The
    // hover box goes while it is open, and stays gone until the pointer moves again.
    hover_x_ = -1;
    update();
    QMenu menu(this);
    // The range: three exclusive choices, then the lanes and the dialog for a range by hand.
    QAction* fixed = menu.addAction(
        lanes_ ? tr("&Fixed range (each lane %1 to %2 V through its calibration)")
                     .arg(y_min_)
                     .arg(y_max_)
               : tr("&Fixed range (%1 to %2 %3)").arg(y_min_).arg(y_max_).arg(unit_));
    QAction* automatic = menu.addAction(tr("&Autoscale\tA"));
    QAction* byHand = menu.addAction(tr("&By hand"));
    for (auto [action, mode] : {std::pair{fixed, engine::ChartRange::fixed},
                                {automatic, engine::ChartRange::autoscale},
                                {byHand, engine::ChartRange::manual}}) {
        action->setCheckable(true);
        action->setChecked(range_mode_ == mode);
    }
    QAction* setByHand = menu.addAction(tr("Set range by hand..."));
    QAction* lanes = menu.addAction(tr("One lane per channel"));
    lanes->setCheckable(true);
    lanes->setChecked(lanes_);
    QAction* channelsItem = menu.addAction(tr("C&hannels and calibration..."));
    QAction* triggerItem = menu.addAction(tr("&Trigger..."));
    triggerItem->setVisible(!viewing_);
    QAction* arm = menu.addAction(tr("Arm trigger"));
    arm->setVisible(trigger_.setup().mode == engine::TriggerMode::single && !viewing_);
    arm->setEnabled(!trigger_.armed());
    QAction* statistics = menu.addAction(tr("&Statistics of the span\tS"));
    statistics->setCheckable(true);
    statistics->setChecked(statistics_shown_);
    QAction* codes = menu.addAction(tr("Converter statistics of the span..."));
    QAction* note = menu.addAction(tr("Add a &note to the recording...\tN"));
    note->setVisible(recordingShown());
    menu.addSeparator();
    QAction* record =
        menu.addAction(recordingShown() ? tr("Stop &recording\tCtrl+R")
                                        : tr("&Record every scan to a file...\tCtrl+R"));
    record->setVisible(!viewing_);  // a recording opened again has no scans coming
    QAction* exportCsv = menu.addAction(tr("Save the shown span as &CSV..."));
    QAction* picture = menu.addAction(tr("Save the &picture (PNG or SVG)..."));
    QAction* open = menu.addAction(tr("&Open a recording...\tCtrl+O"));
    menu.addSeparator();
    std::vector<std::pair<QAction*, double>> spans;
    for (double seconds : kSpans) {
        QAction* a = menu.addAction(seconds < 60 ? tr("Last %1 s").arg(seconds)
                                                 : tr("Last %1 min").arg(seconds / 60));
        a->setCheckable(true);
        a->setChecked(seconds == span_);
        spans.push_back({a, seconds});
    }
    menu.addSeparator();
    std::vector<QAction*> traces;
    for (int t = 0; t < traceCount(); ++t) {
        QAction* a = menu.addAction(tr("Show %1").arg(traceName(t)) +
                                    (t < 10 ? QString("\t%1").arg(t) : QString()));
        a->setCheckable(true);
        a->setChecked(traceVisible(t));
        traces.push_back(a);
    }
    const QPoint at = event->reason() == QContextMenuEvent::Mouse
                          ? event->globalPos()
                          : mapToGlobal(plotArea().center().toPoint());
    // The hover box goes while the menu is open: the pointer may well not come back.
    hover_x_ = -1;
    update();
    QAction* chosen = menu.exec(at);
    if (chosen == fixed) setAutoscale(false);
    if (chosen == automatic) setAutoscale(true);
    if (chosen == byHand) setRangeMode(engine::ChartRange::manual);
    if (chosen == setByHand) editRange(mapFromGlobal(at));
    if (chosen == channelsItem) editChannels();
    if (chosen == triggerItem) editTrigger();
    if (chosen == codes) showCodeStatistics();
    if (chosen == note) emit noteRequested();
    if (chosen == lanes) setLanes(!lanes_);
    if (chosen == arm) rearmTrigger();
    if (chosen == statistics) setStatisticsShown(!statistics_shown_);
    if (chosen == record) requestRecording();
    if (chosen == exportCsv || chosen == picture) saveFromMenu(chosen == exportCsv);
    if (chosen == open) OpenRecordingFromDialog(this);
    for (const auto& [action, seconds] : spans)
        if (chosen == action) setSpan(seconds);
    for (int t = 0; t < static_cast<int>(traces.size()); ++t)
        if (chosen == traces[static_cast<std::size_t>(t)]) setTraceVisible(t, !traceVisible(t));
}

void StripChart::keyPressEvent(QKeyEvent* event) {
    // With the chart focused: a digit shows or hides that trace, A switches autoscale, S the
    // statistics of the span, N writes a note while recording, Ctrl+O opens a recording.
    const int key = event->key();
    if (viewKey(event)) return;
    if (event->modifiers() == Qt::NoModifier && key >= Qt::Key_0 && key <= Qt::Key_9 &&
        key - Qt::Key_0 < traceCount()) {
        setTraceVisible(key - Qt::Key_0, !traceVisible(key - Qt::Key_0));
        return;
    }
    if (event->modifiers() == Qt::NoModifier && key == Qt::Key_A) {
        setAutoscale(!autoscale());
        return;
    }
    if (event->modifiers() == Qt::NoModifier && key == Qt::Key_S) {
        setStatisticsShown(!statistics_shown_);
        return;
    }
    if (event->modifiers() == Qt::NoModifier && key == Qt::Key_N && recordingShown()) {
        emit noteRequested();
        return;
    }
    if (event->modifiers() == Qt::ControlModifier && key == Qt::Key_O) {
        OpenRecordingFromDialog(this);
        return;
    }
    QWidget::keyPressEvent(event);
}
