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
#include <cstring>
#include <memory>

#include "engine/controls/controls.h"
#include "engine/panels/dispatch.h"

namespace engine {
namespace {

int clampedInt(double value, int low, int high) {
    return static_cast<int>(std::clamp<double>(std::round(value), low, high));
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
        return true;
    }
};

void comboWire(QWidget* w, std::function<void(int)> send) {
    auto* combo = static_cast<QComboBox*>(w);
    combo->installEventFilter(new BrowseOpensTheList(combo));
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [send] {
        if (!ProgramChanging()) send(EVENT_VAL_CHANGED);
    });
    QObject::connect(combo, &QComboBox::activated, combo, [send] { send(EVENT_COMMIT); });
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
    return kOk;
}
QString spinText(const QWidget* w) {
    return static_cast<const QAbstractSpinBox*>(w)->text();
}
void noEvents(QWidget*, std::function<void(int)>) {}
void entryWire(QWidget* w, std::function<void(int)> send) {
    auto* entry = static_cast<NumericEntry*>(w);
    // A spin box repeats its value on Enter; only a different value is a change.
    auto last = std::make_shared<int>(entry->value());
    QObject::connect(entry, &QSpinBox::valueChanged, entry, [send, last](int v) {
        const bool changed = v != *last;
        *last = v;
        if (changed && !ProgramChanging()) send(EVENT_VAL_CHANGED);
    });
    QObject::connect(entry, &NumericEntry::committed, entry, [send] { send(EVENT_COMMIT); });
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
    d->setMaximum(max);
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

// ---- TimerControl: no value; it sends ticks.

void timerWire(QWidget* w, std::function<void(int)> send) {
    auto* timer = static_cast<TimerControl*>(w);
    QObject::connect(timer, &TimerControl::due, timer, [send] { send(EVENT_TIMER_TICK); });
}

// ---- StripChart: no value; points are appended to it.

QString noText(const QWidget*) {
    return {};
}

const ControlKind kKinds[] = {
    {"QComboBox", comboGet, comboSet, nullptr, nullptr, comboWire, comboText},
    {"QSpinBox", spinGet, spinSet, spinMaximum, spinSetMaximum, noEvents, spinText},
    {"NumericEntry", spinGet, spinSet, spinMaximum, spinSetMaximum, entryWire, spinText},
    {"QDoubleSpinBox", doubleGet, doubleSet, doubleMaximum, doubleSetMaximum, noEvents, spinText},
    {"NumericIndicator", storedGet<NumericIndicator>, storedSet<NumericIndicator>, doubleMaximum,
     indicatorSetMaximum, noEvents, storedText<NumericIndicator>},
    {"QProgressBar", barGet, barSet, barMaximum, barSetMaximum, noEvents, barText},
    {"RateMeter", barGet, meterSet, barMaximum, barSetMaximum, noEvents, barText},
    {"LargeDisplay", storedGet<LargeDisplay>, storedSet<LargeDisplay>, nullptr, nullptr, noEvents,
     storedText<LargeDisplay>},
    {"TimerControl", nullptr, nullptr, nullptr, nullptr, timerWire, noText},
    {"StripChart", nullptr, nullptr, nullptr, nullptr, noEvents, noText},
};

}  // namespace

const ControlKind* KindOf(const QWidget* w) {
    for (const QMetaObject* m = w->metaObject(); m; m = m->superClass())
        for (const ControlKind& kind : kKinds)
            if (std::strcmp(kind.className, m->className()) == 0) return &kind;
    return nullptr;
}

const ControlKind* KindNamed(const QString& className) {
    for (const ControlKind& kind : kKinds)
        if (className == QLatin1String(kind.className)) return &kind;
    return nullptr;
}

}  // namespace engine
