#include "engine/panels/test_interface.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTest>
#include <stdexcept>

#include "engine/chart/strip_chart.h"
#include "engine/controls/control_kinds.h"
#include "engine/controls/numeric_entry.h"
#include "engine/controls/timer_control.h"

namespace engine::testing {
namespace {

QWidget* widget(int panel, int control) {
    Control* c = FindControl(panel, control);
    if (!c)
        throw std::invalid_argument("no control " + std::to_string(control) + " on panel " +
                                    std::to_string(panel));
    return c->widget.data();
}

template <typename T>
T* widgetAs(int panel, int control) {
    auto* w = qobject_cast<T*>(widget(panel, control));
    if (!w)
        throw std::invalid_argument("control " + std::to_string(control) + " is not a " +
                                    T::staticMetaObject.className());
    return w;
}

Panel& panelOf(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) throw std::invalid_argument("no panel " + std::to_string(panel));
    return *p;
}

}  // namespace

void ResetEngine(const CallbackTable& callbacks) {
    DiscardAllPanels();
    ClearPopupLog();
    ClearQuitRequest();
    RegisterCallbacks(callbacks);
    InstallQtFront();
    SetPopupResponder([](const PopupRecord&) {});
    SetScanClock(nullptr);
    SetTickClock(nullptr);
}

void ChooseItem(int panel, int control, int index) {
    auto* combo = widgetAs<QComboBox>(panel, control);
    if (!combo->isEnabled()) return;
    // What a click on an item of the open list does.
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void TypeInto(int panel, int control, const std::string& text) {
    auto* spin = widgetAs<QAbstractSpinBox>(panel, control);
    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Backspace);
    QTest::keyClicks(spin, QString::fromStdString(text));
}

void PressEnter(int panel, int control) {
    PressKey(panel, control, Qt::Key_Return);
}

void PressKey(int panel, int control, int qtKey) {
    QTest::keyClick(widget(panel, control), static_cast<Qt::Key>(qtKey));
}

void LeaveControl(int panel, int control) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(widget(panel, control), &out);
}

void ClosePanel(int panel) {
    panelOf(panel).window->close();
}

bool ChooseMenuItem(int panel, const std::string& callbackName) {
    for (QAction* a : panelOf(panel).window->findChildren<QAction*>()) {
        if (a->property("callback").toString().toStdString() == callbackName) {
            a->trigger();
            return true;
        }
    }
    return false;
}

void FireTimer(int panel, int control) {
    // A tick off the timer's grid: it answers for no deadline, so it is never a late one.
    emit widgetAs<TimerControl>(panel, control)->due(TickTime::min());
}

std::string ShownText(int panel, int control) {
    Control* c = FindControl(panel, control);
    if (!c) throw std::invalid_argument("no control " + std::to_string(control));
    return c->kind->text(c->widget).toStdString();
}

double Value(int panel, int control) {
    double v = 0;
    if (GetCtrlVal(panel, control, &v) != kOk)
        throw std::invalid_argument("control has no numeric value");
    return v;
}

bool IsDimmed(int panel, int control) {
    return !widget(panel, control)->isEnabled();
}

TickTime TimerDeadline(int panel, int control) {
    return widgetAs<TimerControl>(panel, control)->nextDeadline();
}

void RingTimer(int panel, int control) {
    widgetAs<TimerControl>(panel, control)->ring();
}

double Interval(int panel, int control) {
    return widgetAs<TimerControl>(panel, control)->interval();
}

double MaxValue(int panel, int control) {
    Control* c = FindControl(panel, control);
    double max = 0;
    if (!c || !c->kind->maximum || !c->kind->maximum(c->widget, max))
        throw std::invalid_argument("control has no maximum");
    return max;
}

std::string Title(int panel) {
    return panelOf(panel).window->windowTitle().toStdString();
}
bool IsShown(int panel) {
    return panelOf(panel).window->isVisible();
}

std::string StatusLine(int panel) {
    Panel& p = panelOf(panel);
    return p.statusLine ? p.statusLine->text().toStdString() : std::string();
}

std::string PortListHeading(int panel) {
    for (QLabel* label : panelOf(panel).window->findChildren<QLabel*>())
        if (label->property("portSource").toBool()) return label->text().toStdString();
    return {};
}

std::string ToolTip(int panel, int control) {
    return widget(panel, control)->toolTip().toStdString();
}

std::string EntryNotice(int panel, int control) {
    return widgetAs<NumericEntry>(panel, control)->notice().toStdString();
}

std::vector<std::string> FileMenu(int panel) {
    std::vector<std::string> items;
    auto* bar = panelOf(panel).window->findChild<QMenuBar*>();
    for (QAction* menu : bar ? bar->actions() : QList<QAction*>()) {
        if (!menu->menu()) continue;
        emit menu->menu()->aboutToShow();
        for (QAction* a : menu->menu()->actions())
            items.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        break;
    }
    return items;
}

int HighlightedItem(int panel, int control) {
    const QAbstractItemView* list = widgetAs<QComboBox>(panel, control)->view();
    if (!list->isVisible()) return -1;
    const QModelIndexList marked = list->selectionModel()->selectedIndexes();
    return marked.size() == 1 && marked.front() == list->currentIndex() ? marked.front().row() : -1;
}

std::vector<double> ChartTrace(int panel, int control, int trace) {
    return widgetAs<StripChart>(panel, control)->data().trace(trace);
}

}  // namespace engine::testing

namespace engine::testing {
namespace {

std::string nameOf(const QWidget* w) {
    return w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName().toStdString();
}

// A label whose text is wider than the label, or taller once wrapped.
bool textCut(const QWidget* w) {
    const auto* label = qobject_cast<const QLabel*>(w);
    if (!label || label->text().isEmpty()) return false;
    if (label->wordWrap()) return label->heightForWidth(label->width()) > label->height();
    return label->minimumSizeHint().width() > label->width();
}

}  // namespace

SmallestLayout ShrinkToSmallest(int panel) {
    Panel& p = panelOf(panel);
    QWidget* window = p.window.get();
    // Until it holds: a chart's least height follows the width it is given.
    for (int pass = 0; pass < 6; ++pass) {
        for (int round = 0; round < 3; ++round) QCoreApplication::sendPostedEvents();
        if (window->layout()) window->layout()->activate();
        window->resize(window->minimumSizeHint().expandedTo(window->minimumSize()));
    }
    QCoreApplication::sendPostedEvents();
    SmallestLayout out;
    out.width = window->width();
    out.height = window->height();
    if (auto* chart = window->findChild<StripChart*>())
        out.plotHeight = static_cast<int>(chart->plotArea().height());
    if (QLabel* status = p.statusLine)
        out.statusLineInside =
            status->isVisibleTo(window) &&
            window->rect().contains(QRect(status->mapTo(window, QPoint()), status->size()));
    // Only widgets that lay others out (and the chart, which places its buttons): the inside
    // of a spin box or a list is Qt's own.
    QList<QWidget*> parents = window->findChildren<QWidget*>();
    parents.prepend(window);
    for (QWidget* parent : parents) {
        if (!parent->isVisibleTo(window) ||
            (!parent->layout() && !qobject_cast<StripChart*>(parent)))
            continue;
        QList<QWidget*> shown;
        for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!w->isWindow() && w->isVisibleTo(window)) shown << w;
        for (int i = 0; i < shown.size(); ++i) {
            if (!parent->rect().contains(shown[i]->geometry()) || textCut(shown[i]))
                out.faults.push_back(nameOf(shown[i]) + " cut");
            for (int j = i + 1; j < shown.size(); ++j)
                if (shown[i]->geometry().intersects(shown[j]->geometry()))
                    out.faults.push_back(nameOf(shown[i]) + " over " + nameOf(shown[j]));
        }
    }
    return out;
}

}  // namespace engine::testing
