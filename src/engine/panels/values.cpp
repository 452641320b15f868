// The program's value operations on controls: each goes through the control's kind.
#include <QDoubleSpinBox>
#include <cmath>
#include <iostream>
#include <utility>
#include <vector>

#include "engine/chart/strip_chart.h"
#include "engine/controls/control_kinds.h"
#include "engine/controls/timer_control.h"
#include "engine/panels/dispatch.h"
#include "engine/panels/link_watch.h"
#include "engine/panels/recordings.h"
#include "engine/panels/registry.h"

using namespace engine;

namespace {

// The control, or nullptr with the error to return.
Control* control(int panel, int id, int& error) {
    Control* c = FindControl(panel, id);
    error = c ? kOk : (FindPanel(panel) ? kBadControl : kBadPanel);
    return c;
}

template <typename T>
T* as(int panel, int id, int& error) {
    Control* c = control(panel, id, error);
    if (!c) return nullptr;
    auto* w = qobject_cast<T*>(c->widget.data());
    if (!w) error = kWrongControlKind;
    return w;
}

int getNumeric(int panel, int id, double& value) {
    int error = kOk;
    Control* c = control(panel, id, error);
    if (!c) return error;
    return c->kind->get && c->kind->get(c->widget, value) ? kOk : kWrongControlKind;
}

int setNumeric(int panel, int id, double value) {
    if (std::isnan(value)) return kBadValue;
    int error = kOk;
    Control* c = control(panel, id, error);
    if (!c) return error;
    return c->kind->set ? c->kind->set(c->widget, value) : kWrongControlKind;
}

}  // namespace

int GetCtrlVal(int panel, int control, int* value) {
    double v = 0;
    const int r = getNumeric(panel, control, v);
    if (r == kOk && value) *value = static_cast<int>(std::lround(v));
    return r;
}

int GetCtrlVal(int panel, int control, double* value) {
    double v = 0;
    const int r = getNumeric(panel, control, v);
    if (r == kOk && value) *value = v;
    return r;
}

int SetCtrlVal(int panel, int control, int value) {
    return setNumeric(panel, control, value);
}
int SetCtrlVal(int panel, int control, double value) {
    return setNumeric(panel, control, value);
}

int SetCtrlAttribute(int panel, int id, int attribute, double value) {
    int error = kOk;
    switch (attribute) {
        case ATTR_DIMMED: {
            Control* c = control(panel, id, error);
            if (!c) return error;
            c->widget->setEnabled(value == 0);
            return kOk;
        }
        case ATTR_INTERVAL: {
            auto* timer = as<TimerControl>(panel, id, error);
            if (!timer) return error;
            if (!(value > 0) || !std::isfinite(value)) return kBadValue;
            timer->setInterval(value);
            return kOk;
        }
        case ATTR_MAX_VALUE: {
            if (!std::isfinite(value)) return kBadValue;
            Control* c = control(panel, id, error);
            if (!c) return error;
            return c->kind->setMaximum ? c->kind->setMaximum(c->widget, value) : kWrongControlKind;
        }
        default:
            return kBadAttribute;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    return SetCtrlAttribute(panel, control, attribute, static_cast<double>(value));
}

int PlotStripChart(int panel, int control, const double* array, int numberOfPoints,
                   int startingIndex, int skipCount, int dataType) {
    int error = kOk;
    auto* chart = as<StripChart>(panel, control, error);
    if (!chart) return error;
    ChartFeed& feed = FeedOf(chart);
    const int traces = chart->traceCount();
    if (dataType != VAL_DOUBLE || !array || numberOfPoints <= 0 || startingIndex < 0 ||
        skipCount < 0)
        return kBadValue;
    if (numberOfPoints % traces != 0) {
        // Said once per chart: a chart built for another number of traces would otherwise
        // simply stay empty.
        if (!std::exchange(feed.toldPartialScans, true))
            std::cerr << "zelmor engine: chart " << chart->objectName().toStdString() << " has "
                      << traces << " traces; " << numberOfPoints
                      << " values are not a whole number of scans, and nothing is plotted"
                      << std::endl;
        return kBadValue;
    }
    const double* first = array + startingIndex;
    const double taken = ScanStartSeconds();
    WatchLink(feed, first, numberOfPoints, skipCount, taken);
    if (skipCount == 0) {
        // The usual case, one scan after another: append straight from the caller's array.
        for (int i = 0; i < numberOfPoints; i += traces) feed.scan(first + i, taken);
        return kOk;
    }
    std::vector<double> scan(static_cast<std::size_t>(traces));
    const long stride = static_cast<long>(skipCount) + 1;
    for (int i = 0; i < numberOfPoints; ++i) {
        scan[static_cast<std::size_t>(i % traces)] = first[i * stride];
        if (i % traces == traces - 1) feed.scan(scan.data(), taken);
    }
    return kOk;
}
