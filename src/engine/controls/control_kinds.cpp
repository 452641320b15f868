#include "engine/controls/control_kinds.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QProgressBar>
#include <QSpinBox>
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <utility>

#include "engine/chart/chart_limits.h"
#include "engine/chart/strip_chart.h"
#include "engine/controls/large_display.h"
#include "engine/controls/numeric_entry.h"
#include "engine/controls/numeric_indicator.h"
#include "engine/controls/program_change.h"
#include "engine/controls/rate_meter.h"
#include "engine/controls/timer_control.h"
#include "engine/user_interface.h"

namespace engine {
namespace {

int clampedInt(double value, int low, int high) {
    return static_cast<int>(std::clamp<double>(std::round(value), low, high));
}

template <typename W>
QWidget* make(QWidget* parent) {
    return new W(parent);
}

// The control of window a property names, of type T; a name the panel does not have (or
// not as that kind of control) is a fault of the resource.
template <typename T>
QString named(QWidget* w, QWidget* window, const char* property, T*& found) {
    const QString name = w->property(property).toString();
    found = name.isEmpty() ? nullptr : window->findChild<T*>(name);
    if (name.isEmpty() || found) return {};
    return QString("control %1 names %2 \"%3\", which the panel does not have")
        .arg(w->objectName(), property, name);
}

// ---- QComboBox: the index of the chosen item, -1 before any choice.

bool comboGet(const QWidget* w, double& v) {
    v = static_cast<const QComboBox*>(w)->currentIndex();
    return true;
}
int comboSet(QWidget* w, double v) {
    auto* combo = static_cast<QComboBox*>(w);
    if (v != std::floor(v) || v < -1 || v >= combo->count()) return kBadValue;
    const ProgramChange change;
    combo->setCurrentIndex(static_cast<int>(v));
    return kOk;
}
// On a closed list, the keys that would step through it (arrows, a letter) open it instead:
// browsing must not choose, for a choice can bind hardware. Enter or a click chooses.
class BrowseOpensTheList : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* combo = static_cast<QComboBox*>(watched);
        if (event->type() == QEvent::Wheel) return !combo->view()->isVisible();
        if (event->type() != QEvent::KeyPress || combo->view()->isVisible()) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool steps = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
                           key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown ||
                           key->key() == Qt::Key_Home || key->key() == Qt::Key_End ||
                           (!key->text().isEmpty() && key->text().at(0).isLetterOrNumber());
        if (!steps) return false;
        combo->showPopup();
        // The highlighted entry is the one Enter chooses: the current one, or the first
        // before any choice, never an unmarked row the next arrow would step past.
        const QModelIndex shown = combo->model()->index(
            std::max(combo->currentIndex(), 0), combo->modelColumn(), combo->rootModelIndex());
        combo->view()->setCurrentIndex(shown);
        combo->view()->selectionModel()->select(shown, QItemSelectionModel::ClearAndSelect);
        return true;
    }
};

void comboWire(QWidget* w, const ControlEvents& events) {
    auto* combo = static_cast<QComboBox*>(w);
    combo->installEventFilter(new BrowseOpensTheList(combo));
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [send = events.send] {
        if (!ProgramChanging()) send(EVENT_VAL_CHANGED);
    });
    QObject::connect(combo, &QComboBox::activated, combo,
                     [send = events.send] { send(EVENT_COMMIT); });
}
QString comboText(const QWidget* w) {
    auto* combo = static_cast<const QComboBox*>(w);
    return combo->currentIndex() < 0 ? combo->placeholderText() : combo->currentText();
}

// ---- QSpinBox and NumericEntry: a whole number within the box's range.

bool spinGet(const QWidget* w, double& v) {
    v = static_cast<const QSpinBox*>(w)->value();
    return true;
}
int spinSet(QWidget* w, double v) {
    auto* s = static_cast<QSpinBox*>(w);
    const ProgramChange change;
    s->setValue(clampedInt(v, s->minimum(), s->maximum()));
    return kOk;
}
bool spinMaximum(const QWidget* w, double& v) {
    v = static_cast<const QSpinBox*>(w)->maximum();
    return true;
}
int spinSetMaximum(QWidget* w, double max) {
    auto* s = static_cast<QSpinBox*>(w);
    if (max < s->minimum()) return kBadValue;
    const ProgramChange change;
    s->setMaximum(clampedInt(max, INT_MIN, INT_MAX));
    if (auto* entry = qobject_cast<NumericEntry*>(s)) entry->showRange();
    return kOk;
}
QString spinText(const QWidget* w) {
    return static_cast<const QAbstractSpinBox*>(w)->text();
}
void noEvents(QWidget*, const ControlEvents&) {}
void entryWire(QWidget* w, const ControlEvents& events) {
    auto* entry = static_cast<NumericEntry*>(w);
    entry->showRange();
    // A spin box repeats its value on Enter; only a different value is a change.
    auto last = std::make_shared<int>(entry->value());
    QObject::connect(entry, &QSpinBox::valueChanged, entry, [send = events.send, last](int v) {
        const bool changed = v != *last;
        *last = v;
        if (changed && !ProgramChanging()) send(EVENT_VAL_CHANGED);
    });
    QObject::connect(entry, &NumericEntry::committed, entry,
                     [send = events.send] { send(EVENT_COMMIT); });
}

// ---- QDoubleSpinBox: the exact value given.

bool doubleGet(const QWidget* w, double& v) {
    v = static_cast<const QDoubleSpinBox*>(w)->value();
    return true;
}
int doubleSet(QWidget* w, double v) {
    if (std::isnan(v)) return kBadValue;
    const ProgramChange change;
    static_cast<QDoubleSpinBox*>(w)->setValue(v);
    return kOk;
}
bool doubleMaximum(const QWidget* w, double& v) {
    v = static_cast<const QDoubleSpinBox*>(w)->maximum();
    return true;
}
int doubleSetMaximum(QWidget* w, double max) {
    auto* d = static_cast<QDoubleSpinBox*>(w);
    if (max < d->minimum()) return kBadValue;
    const ProgramChange change;
    d->setMaximum(std::min(max, kMaxControlValue));
    return kOk;
}

// ---- NumericIndicator and LargeDisplay: the exact value given, stored, and shown once a
// display frame.

template <typename Shown>
bool storedGet(const QWidget* w, double& v) {
    v = static_cast<const Shown*>(w)->shownValue();
    return true;
}
template <typename Shown>
int storedSet(QWidget* w, double v) {
    if (std::isnan(v)) return kBadValue;
    static_cast<Shown*>(w)->showValue(v);
    return kOk;
}
template <typename Shown>
QString storedText(const QWidget* w) {
    return static_cast<const Shown*>(w)->shownText();
}
int indicatorSetMaximum(QWidget* w, double max) {
    auto* d = static_cast<NumericIndicator*>(w);
    const double shown = d->shownValue();
    const int result = doubleSetMaximum(w, max);
    if (result == kOk) d->showValue(shown);  // held to the new range
    return result;
}
// The channel selector and the chart whose colours the digits take.
QString largeBind(QWidget* w, QWidget* window) {
    QSpinBox* selector = nullptr;
    StripChart* chart = nullptr;
    QString fault = named(w, window, "selector", selector);
    if (fault.isEmpty()) fault = named(w, window, "colorSource", chart);
    if (fault.isEmpty()) static_cast<LargeDisplay*>(w)->bind(selector, chart);
    return fault;
}

// ---- QProgressBar and RateMeter: a whole number, pinned to the bar's range.

bool barGet(const QWidget* w, double& v) {
    v = static_cast<const QProgressBar*>(w)->value();
    return true;
}
int barSet(QWidget* w, double v) {
    if (std::isnan(v)) return kBadValue;
    auto* bar = static_cast<QProgressBar*>(w);
    bar->setValue(clampedInt(v, bar->minimum(), bar->maximum()));
    return kOk;
}
bool barMaximum(const QWidget* w, double& v) {
    v = static_cast<const QProgressBar*>(w)->maximum();
    return true;
}
int barSetMaximum(QWidget* w, double max) {
    auto* bar = static_cast<QProgressBar*>(w);
    if (max < bar->minimum()) return kBadValue;
    // QProgressBar empties itself when its value leaves the range: pin it instead.
    const int top = clampedInt(max, INT_MIN, INT_MAX);
    const int shown = std::max(std::min(bar->value(), top), bar->minimum());
    bar->setMaximum(top);
    if (auto* meter = qobject_cast<RateMeter*>(bar))
        meter->showRate(shown);
    else
        bar->setValue(shown);
    return kOk;
}
int meterSet(QWidget* w, double v) {
    if (std::isnan(v)) return kBadValue;
    static_cast<RateMeter*>(w)->showRate(clampedInt(v, INT_MIN, INT_MAX));
    return kOk;
}
QString barText(const QWidget* w) {
    return static_cast<const QProgressBar*>(w)->text();
}
// The timer whose rate the achieved one is held against.
QString meterBind(QWidget* w, QWidget* window) {
    TimerControl* timer = nullptr;
    QString fault = named(w, window, "rateOf", timer);
    if (fault.isEmpty()) static_cast<RateMeter*>(w)->bind(timer);
    return fault;
}

// ---- TimerControl: no value; it sends ticks, and the dispatch answers when each one was
// delivered.

QString timerCheck(const ResourceProperties& p) {
    double interval = 1;
    if (!ResourceNumber(p, "interval", interval) || interval < TimerControl::kShortestInterval ||
        interval > TimerControl::kLongestInterval)
        return QString("its interval must be %1 to %2 seconds")
            .arg(TimerControl::kShortestInterval)
            .arg(TimerControl::kLongestInterval);
    return {};
}
void timerWire(QWidget* w, const ControlEvents& events) {
    auto* timer = static_cast<TimerControl*>(w);
    QObject::connect(timer, &TimerControl::due, timer,
                     [timer, tick = events.tick](TickTime) { timer->delivered(tick()); });
}

// ---- StripChart: no value; points are appended to it.

QString chartCheck(const ResourceProperties& p) {
    double traces = 8, history = 500, low = 0, high = 2.5;
    if (!ResourceNumber(p, "traceCount", traces) || traces != std::floor(traces) || traces < 1 ||
        traces > kMaxChartTraces)
        return QString("traceCount must be 1 to %1").arg(kMaxChartTraces);
    if (!ResourceNumber(p, "history", history) || history != std::floor(history) || history < 2 ||
        history > kMaxChartHistory)
        return QString("history must be 2 to %1 points").arg(kMaxChartHistory);
    if (traces * history > 8.0 * kMaxChartHistory)
        return QString("traceCount times history must be at most %1 points")
            .arg(8.0 * kMaxChartHistory, 0, 'f', 0);
    if (!ResourceNumber(p, "yMinimum", low) || !ResourceNumber(p, "yMaximum", high) ||
        !(high - low >= kMinChartRange) || std::fabs(low) > kMaxChartValue ||
        std::fabs(high) > kMaxChartValue)
        return QString(
                   "yMinimum and yMaximum must lie within +-%1, the maximum at least %2 above "
                   "the minimum")
            .arg(kMaxChartValue)
            .arg(kMinChartRange);
    if (double span = 10;
        !ResourceNumber(p, "span", span) || span < kMinChartSpan || span > kMaxChartSpan)
        return QString("span must be %1 to %2 seconds").arg(kMinChartSpan).arg(kMaxChartSpan);
    if (double step = kConverterStep; !ResourceNumber(p, "resolution", step) ||
                                      step < kMinChartResolution || step > kMaxChartResolution)
        return QString("resolution must be %1 to %2")
            .arg(kMinChartResolution)
            .arg(kMaxChartResolution);
    return {};
}
// The timer that paces it: the chart converts its span to points with the timer's rate and
// hears of each new rate.
QString chartBind(QWidget* w, QWidget* window) {
    auto* chart = static_cast<StripChart*>(w);
    TimerControl* timer = nullptr;
    QString fault = named(w, window, "rateOf", timer);
    if (!fault.isEmpty() || !timer) return fault;
    const QPointer<TimerControl> paced(timer);
    chart->bindRate([paced] { return paced ? 1.0 / paced->interval() : 0.0; });
    QObject::connect(timer, &TimerControl::intervalChanged, chart,
                     [chart](double seconds) { chart->rateChanged(1.0 / seconds); });
    return {};
}

QString noText(const QWidget*) {
    return {};
}

// The whole number the resource gives, or `value` when it gives none; false when it is not
// one within low..high.
bool wholeWithin(const ResourceProperties& p, const char* name, double low, double high,
                 double& value) {
    return ResourceNumber(p, name, value) && value == std::floor(value) && value >= low &&
           value <= high;
}

// Spin boxes and bars: a range within reach, its minimum no higher than its maximum.
QString rangeCheck(const ResourceProperties& p) {
    double low = -kMaxControlValue, high = kMaxControlValue, value = 0;
    const std::pair<const char*, double*> given[] = {
        {"minimum", &low}, {"maximum", &high}, {"value", &value}};
    for (const auto& [name, v] : given)
        if (!ResourceNumber(p, name, *v) || std::fabs(*v) > kMaxControlValue)
            return QString("%1 must be a number within +-%2").arg(name).arg(kMaxControlValue);
    if (low > high) return "its minimum must not be above its maximum";
    return {};
}
QString spinCheck(const ResourceProperties& p) {
    if (double base = 10; !wholeWithin(p, "displayIntegerBase", 2, 36, base))
        return "displayIntegerBase must be 2 to 36";
    return rangeCheck(p);
}
QString decimalsCheck(const ResourceProperties& p) {
    double decimals = 0;
    for (const char* name : {"decimals", "displayDecimals"})
        if (!wholeWithin(p, name, 0, 15, decimals)) return QString("%1 must be 0 to 15").arg(name);
    return {};
}
QString doubleCheck(const ResourceProperties& p) {
    const QString fault = decimalsCheck(p);
    return fault.isEmpty() ? rangeCheck(p) : fault;
}

const char kSpinProperties[] =
    "minimum:number maximum:number value:number prefix:string suffix:string readOnly:bool "
    "buttonSymbols:enum focusPolicy:enum displayIntegerBase:number";
const char kEntryProperties[] =
    "minimum:number maximum:number value:number prefix:string suffix:string readOnly:bool "
    "buttonSymbols:enum focusPolicy:enum displayIntegerBase:number unit:string portCeiling:bool";
const char kBarProperties[] = "minimum:number maximum:number value:number format:string";

// Our own widgets are made here; Qt's loader makes its own. Every kind needs an ID: a control
// the program cannot address would be dead on the panel.
const ControlKind kKinds[] = {
    {"QComboBox", &QComboBox::staticMetaObject, nullptr, true,
     "currentIndex:number placeholderText:string", nullptr, nullptr, comboGet, comboSet, nullptr,
     nullptr, comboWire, comboText},
    {"QSpinBox", &QSpinBox::staticMetaObject, nullptr, true, kSpinProperties, spinCheck, nullptr,
     spinGet, spinSet, spinMaximum, spinSetMaximum, noEvents, spinText},
    {"NumericEntry", &NumericEntry::staticMetaObject, make<NumericEntry>, true, kEntryProperties,
     spinCheck, nullptr, spinGet, spinSet, spinMaximum, spinSetMaximum, entryWire, spinText},
    {"QDoubleSpinBox", &QDoubleSpinBox::staticMetaObject, nullptr, true,
     "minimum:double maximum:double value:double decimals:number prefix:string suffix:string",
     doubleCheck, nullptr, doubleGet, doubleSet, doubleMaximum, doubleSetMaximum, noEvents,
     spinText},
    {"NumericIndicator", &NumericIndicator::staticMetaObject, make<NumericIndicator>, true,
     "minimum:double maximum:double displayDecimals:number suffix:string", doubleCheck, nullptr,
     storedGet<NumericIndicator>, storedSet<NumericIndicator>, doubleMaximum, indicatorSetMaximum,
     noEvents, storedText<NumericIndicator>},
    {"QProgressBar", &QProgressBar::staticMetaObject, nullptr, true, kBarProperties, rangeCheck,
     nullptr, barGet, barSet, barMaximum, barSetMaximum, noEvents, barText},
    {"RateMeter", &RateMeter::staticMetaObject, make<RateMeter>, true,
     "minimum:number maximum:number value:number format:string rateOf:string", rangeCheck,
     meterBind, barGet, meterSet, barMaximum, barSetMaximum, noEvents, barText},
    {"LargeDisplay", &LargeDisplay::staticMetaObject, make<LargeDisplay>, true,
     "decimals:number unit:string selector:string colorSource:string", decimalsCheck, largeBind,
     storedGet<LargeDisplay>, storedSet<LargeDisplay>, nullptr, nullptr, noEvents,
     storedText<LargeDisplay>},
    {"TimerControl", &TimerControl::staticMetaObject, make<TimerControl>, true,
     "interval:double running:bool", timerCheck, nullptr, nullptr, nullptr, nullptr, nullptr,
     timerWire, noText},
    {"StripChart", &StripChart::staticMetaObject, make<StripChart>, true,
     "traceCount:number history:number yMinimum:double yMaximum:double span:double "
     "resolution:double unit:string rateOf:string",
     chartCheck, chartBind, nullptr, nullptr, nullptr, nullptr, noEvents, noText},
};

}  // namespace

bool ResourceNumber(const ResourceProperties& properties, const QString& name, double& value) {
    auto it = properties.find(name);
    if (it == properties.end()) return true;
    if (it->second.type != "number" && it->second.type != "double") return false;
    bool ok = false;
    const double given = it->second.text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(given)) return false;
    value = given;
    return true;
}

const ControlKind* KindOf(const QWidget* w) {
    for (const QMetaObject* m = w->metaObject(); m; m = m->superClass())
        for (const ControlKind& kind : kKinds)
            if (kind.widgetClass == m) return &kind;
    return nullptr;
}

const ControlKind* KindNamed(const QString& className) {
    for (const ControlKind& kind : kKinds)
        if (className == QLatin1String(kind.className)) return &kind;
    return nullptr;
}

}  // namespace engine
