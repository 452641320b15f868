#include "engine/panels/face.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QStyleOption>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "engine/chart/strip_chart.h"
#include "engine/ports/port_io.h"

namespace engine {
namespace {

// Sets the chart's least height so that its plot is at least kLeastPlotHeight at the width
// and font it has now. Only the plot changes with the height, so any height measures what
// lies around it.
void holdPlot(StripChart* chart) {
    const int around = chart->height() - static_cast<int>(std::floor(chart->plotArea().height()));
    const int least = kLeastPlotHeight + around;
    if (chart->minimumHeight() != least) chart->setMinimumHeight(least);
}

// Measures again once the chart has placed its buttons and legend for a new size or font.
class PlotHold : public QObject {
  public:
    explicit PlotHold(StripChart* chart) : QObject(chart), chart_(chart) {
        chart->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Resize:
            case QEvent::FontChange:
            case QEvent::StyleChange:
                QMetaObject::invokeMethod(
                    this, [this] { holdPlot(chart_); }, Qt::QueuedConnection);
                break;
            default:
                break;
        }
        return false;
    }

  private:
    StripChart* chart_;
};

// What a window manager's frame adds to a window: a title bar and thin borders, in device
// pixels; the window's own size is kept within the screen less this.
constexpr int kFrameWidth = 8, kFrameHeight = 40;

}  // namespace

void HoldChartPlots(QWidget* window) {
    const auto charts = window->findChildren<StripChart*>();
    if (charts.isEmpty()) return;
    // Laid out once at the size it will open at, so that each chart measures at its own width
    // (a hidden chart hears of its size only when shown: tell it now).
    window->adjustSize();
    if (window->layout()) window->layout()->activate();
    for (StripChart* chart : charts) {
        new PlotHold(chart);
        QResizeEvent placed(chart->size(), chart->size());
        QCoreApplication::sendEvent(chart, &placed);
        holdPlot(chart);
    }
    window->adjustSize();
}

void ShowPortCeilings(QWidget* window) {
    for (QWidget* entry : window->findChildren<QWidget*>()) {
        if (!entry->property("portCeiling").toBool() || !entry->parentWidget() ||
            !entry->parentWidget()->layout())
            continue;
        // The ceiling right under the entry, where the entry was: beside it would widen the
        // window past a small screen's.
        auto* pair = new QWidget;
        pair->setObjectName("enginePortCeilingPair");
        auto* column = new QVBoxLayout(pair);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(2);
        delete entry->parentWidget()->layout()->replaceWidget(entry, pair);
        auto* ceiling = new QLabel;
        ceiling->setObjectName("enginePortCeiling");
        column->addWidget(entry);
        column->addWidget(ceiling);
        // A back end learns its ceiling when it claims the port: looked at again each second.
        auto show = [ceiling] {
            const double most = ActiveBackendScanCeiling();
            ceiling->setVisible(most > 0);
            ceiling->setText(
                QObject::tr("port allows up to %1 scans/s").arg(static_cast<long>(most)));
        };
        show();
        auto* again = new QTimer(ceiling);
        QObject::connect(again, &QTimer::timeout, ceiling, show);
        again->start(1000);
    }
}

void ShowPortSource(QWidget* window) {
    const std::string source = ActiveBackendPortSource();
    if (source.empty()) return;  // no back end to ask: the resource's own words stay
    for (QLabel* heading : window->findChildren<QLabel*>())
        if (heading->property("portSource").toBool())
            heading->setText(QObject::tr("Parallel ports %1:").arg(QString::fromStdString(source)));
}

namespace {

// Centres a window on its screen; before it is first shown, its size kept within the screen.
void centre(QWidget* window, bool fit) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const qreal ratio = screen->devicePixelRatio();
    const QRect free = screen->availableGeometry();
    const QSize room(free.width() - static_cast<int>(std::ceil(kFrameWidth / ratio)),
                     free.height() - static_cast<int>(std::ceil(kFrameHeight / ratio)));
    if (fit && (window->width() > room.width() || window->height() > room.height()))
        window->resize(window->size().boundedTo(room).expandedTo(window->minimumSizeHint()));
    QRect placed(QPoint(), window->size());
    placed.moveCenter(free.center());
    window->move(std::max(placed.left(), free.left()), std::max(placed.top(), free.top()));
}

// The layout settles in the first moments after a window is shown (a chart's least height
// follows the width it gets): centred again at each size it takes then, never afterwards,
// when the operator may have moved it.
class CentredWhileSettling : public QObject {
  public:
    explicit CentredWhileSettling(QWidget* window) : QObject(window) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !shown_.isValid()) shown_.start();
        if (event->type() == QEvent::Resize && shown_.isValid()) {
            if (shown_.elapsed() > kSettlingMs) {
                deleteLater();
            } else {
                auto* window = static_cast<QWidget*>(watched);
                QMetaObject::invokeMethod(
                    window, [window] { centre(window, false); }, Qt::QueuedConnection);
            }
        }
        return false;
    }

  private:
    static constexpr int kSettlingMs = 1000;
    QElapsedTimer shown_;
};

}  // namespace

void PlaceOnScreen(QWidget* window) {
    window->adjustSize();
    centre(window, true);
    new CentredWhileSettling(window);
}

QSize StatusLabel::minimumSizeHint() const {
    // A few words: the rest elides, so the line never widens the window.
    const QMargins m = contentsMargins();
    return {fontMetrics().averageCharWidth() * 12 + m.left() + m.right(),
            QLabel::minimumSizeHint().height()};
}

bool StatusLabel::elided() const {
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void StatusLabel::paintEvent(QPaintEvent* event) {
    if (!elided()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &p, this);
    const QRect r = contentsRect();
    p.setPen(palette().color(foregroundRole()));
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
}

void StatusLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateTip();
}

void StatusLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) updateTip();
}

void StatusLabel::updateTip() {
    setToolTip(elided() ? text() : QString());
}

}  // namespace engine
