#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLCDNumber>
#include <QLabel>
#include <QRegularExpression>
#include <QSpinBox>

#include <QTest>
#include <functional>
#include <set>

#include "engine/controls/controls.h"
#include "engine/panels/dispatch.h"
#include "engine/panels/loader.h"
#include "engine/panels/registry.h"
#include "program_fixture.h"

using namespace engine::testing;
using zelmor::mainPanel;

TEST_F(Program, EachTickShowsEveryChannelQuantisedTheChosenOneLargeAndOnePointPerTrace) {
    run([&] {
        openMainPanel();
        SetCtrlVal(mainPanel, MAIN_CHANNEL, 3);
        for (int tick = 1; tick <= 3; ++tick) {
            clock.pause(0.37);  // the inputs move between scans
            FireTimer(mainPanel, MAIN_TIMER);
            for (int ch = 0; ch < 8; ++ch) {
                EXPECT_EQ(Value(mainPanel, MAIN_CH0 - ch), expectedVolts(ch)) << "CH" << ch;
                const std::vector<double> trace = ChartTrace(mainPanel, MAIN_CHART, ch);
                ASSERT_EQ(trace.size(), static_cast<size_t>(tick));
                EXPECT_EQ(trace.back(), expectedVolts(ch));
            }
            EXPECT_EQ(Value(mainPanel, MAIN_VOLTAGE), Value(mainPanel, MAIN_CH3));
        }
        EXPECT_EQ(zelmor::index, 3);
        EXPECT_EQ(converter.conversions(), 24u);
        ChooseMenuItem(mainPanel, "Usci");
    });
    EXPECT_TRUE(endedByProgram);
}

TEST_F(Program, TheStatisticsTickShowsTheScansSinceTheLastOneAndStartsCountingAfresh) {
    run([&] {
        openMainPanel();
        for (int i = 0; i < 5; ++i) FireTimer(mainPanel, MAIN_TIMER);
        FireTimer(mainPanel, MAIN_STAT_TIMER);
        auto* meter = qobject_cast<RateMeter*>(engine::FindControl(mainPanel, MAIN_RATE)->widget);
        EXPECT_EQ(Value(mainPanel, MAIN_RATE), 5);
        EXPECT_EQ(ShownText(mainPanel, MAIN_RATE), "5 scans/s");
        EXPECT_TRUE(meter->warning());  // under 90% of the 10 asked for
        EXPECT_EQ(zelmor::index, 0);
        for (int i = 0; i < 9; ++i) FireTimer(mainPanel, MAIN_TIMER);
        FireTimer(mainPanel, MAIN_STAT_TIMER);
        EXPECT_FALSE(meter->warning());
        // A rate typed but not yet applied is no rate to fall short of.
        TypeInto(mainPanel, MAIN_SAMPLES, "100");
        FireTimer(mainPanel, MAIN_STAT_TIMER);
        EXPECT_EQ(Value(mainPanel, MAIN_RATE), 0);
        for (int i = 0; i < 10; ++i) FireTimer(mainPanel, MAIN_TIMER);
        FireTimer(mainPanel, MAIN_STAT_TIMER);
        EXPECT_FALSE(meter->warning());
        PressEnter(mainPanel, MAIN_SAMPLES);
        for (int i = 0; i < 10; ++i) FireTimer(mainPanel, MAIN_TIMER);
        FireTimer(mainPanel, MAIN_STAT_TIMER);
        EXPECT_TRUE(meter->warning());  // 10 made, 100 applied
    });
}

TEST_F(Program, ACommittedRateSetsTheIntervalAndTheMeterAndNothingElse) {
    run([&] {
        openMainPanel();
        EXPECT_EQ(Interval(mainPanel, MAIN_TIMER), 0.1);
        EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), 11);
        FireTimer(mainPanel, MAIN_TIMER);
        FireTimer(mainPanel, MAIN_TIMER);

        TypeInto(mainPanel, MAIN_SAMPLES, "20");  // typed, not yet committed
        EXPECT_EQ(Interval(mainPanel, MAIN_TIMER), 0.1);
        EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), 11);
        PressEnter(mainPanel, MAIN_SAMPLES);
        EXPECT_EQ(Interval(mainPanel, MAIN_TIMER), 0.05);
        EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), 22);
        EXPECT_EQ(zelmor::index, 2);  // the count goes on
        EXPECT_EQ(ChartTrace(mainPanel, MAIN_CHART, 0).size(), 2u);

        TypeInto(mainPanel, MAIN_SAMPLES, "1");
        PressEnter(mainPanel, MAIN_SAMPLES);
        EXPECT_EQ(Interval(mainPanel, MAIN_TIMER), 1.0);
        EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), 1);
        PressKey(mainPanel, MAIN_SAMPLES, Qt::Key_Up);  // an arrow step commits too
        EXPECT_EQ(Interval(mainPanel, MAIN_TIMER), 0.5);
        EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), 2);
    });
}

TEST_F(Program, AnUnpoweredConverterTimesOutEveryConversionThenEndsTheProgramWithZero) {
    converter.setFault(engine::SimFault::unpowered);
    const int rc = run([&] {
        openMainPanel();
        FireTimer(mainPanel, MAIN_TIMER);
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(endedByProgram);
    ASSERT_EQ(engine::PopupLog().size(), 8u);
    for (const auto& popup : engine::PopupLog()) {
        EXPECT_EQ(popup.title, "Error");
        EXPECT_EQ(popup.message, "Time out error - Program wil be terminated");
    }
    for (int ch = 0; ch < 8; ++ch) EXPECT_EQ(Value(mainPanel, MAIN_CH0 - ch), 0.0);
    EXPECT_EQ(ChartTrace(mainPanel, MAIN_CHART, 0).size(), 1u);  // the scan still completed
}

TEST_F(Program, OutOfRangeChannelAndRateNeverReachPastTheScanOrANonPositiveInterval) {
    run([&] {
        openMainPanel();
        // Widen the controls beyond what the resource allows, as a bad resource might.
        auto* channel =
            qobject_cast<QSpinBox*>(engine::FindControl(mainPanel, MAIN_CHANNEL)->widget);
        auto* samples =
            qobject_cast<QSpinBox*>(engine::FindControl(mainPanel, MAIN_SAMPLES)->widget);
        channel->setRange(-1000, 1000);
        samples->setRange(INT_MIN, INT_MAX);
        for (int sel : {8, 1000, -1}) {
            SetCtrlVal(mainPanel, MAIN_CHANNEL, sel);
            FireTimer(mainPanel, MAIN_TIMER);
            EXPECT_EQ(Value(mainPanel, MAIN_VOLTAGE), -1.0);
        }
        for (int n : {0, -5}) {
            SetCtrlVal(mainPanel, MAIN_SAMPLES, n);
            PressEnter(mainPanel, MAIN_SAMPLES);
            EXPECT_EQ(Interval(mainPanel, MAIN_TIMER), 0.1);
            EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), 11);
        }
        SetCtrlVal(mainPanel, MAIN_SAMPLES, INT_MAX);
        PressEnter(mainPanel, MAIN_SAMPLES);
        EXPECT_GT(Interval(mainPanel, MAIN_TIMER), 0.0);
        EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), INT_MAX);
    });
}

TEST_F(Program, EveryControlIdOfTheHeaderIsTheControlOfThatNameInItsResource) {
    QFile header(ZELMOR_SOURCE_DIR "/src/ui/panel_ids.h");
    ASSERT_TRUE(header.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(header.readAll());
    const int ports = LoadPanel(0, "Parallela.uir", PORTS);
    const int main = LoadPanel(0, "zelmor.uir", MAIN);
    ASSERT_GE(ports, 1);
    ASSERT_GE(main, 1);
    int checked = 0;
    QRegularExpression entry(R"(\b((PORTS|MAIN)_\w+)\s*=\s*(\d+))");
    for (auto it = entry.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const int panel = m.captured(2) == "PORTS" ? ports : main;
        auto* w = engine::FindPanel(panel)->window->findChild<QWidget*>(m.captured(1));
        ASSERT_TRUE(w) << m.captured(1).toStdString() << " is not in its resource";
        EXPECT_EQ(w->property("controlId").toInt(), m.captured(3).toInt())
            << m.captured(1).toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 4 + 15);
    // And no control in the resources lacks its name in the header.
    for (int panel : {ports, main})
        for (auto& [id, control] : engine::FindPanel(panel)->controls)
            EXPECT_TRUE(text.contains(control.widget->objectName() + " = " + QString::number(id)))
                << control.widget->objectName().toStdString();
}

TEST_F(Program, SoakOfAHundredThousandTicks) {
    converter.recordAccesses(false);  // 57 million accesses would be a log of their own
    run([&] {
        openMainPanel();
        for (int i = 1; i <= 100000; ++i) {
            clock.pause(0.001);
            FireTimer(mainPanel, MAIN_TIMER);
            if (i % 1000 == 0) QCoreApplication::processEvents();
        }
        // Nothing drifted over the run: the panel shows the converter's inputs of this
        // moment, and the chart holds every scan, the first from 100 s ago.
        for (int ch = 0; ch < 8; ++ch)
            EXPECT_EQ(Value(mainPanel, MAIN_CH0 - ch), expectedVolts(ch)) << "CH" << ch;
        const std::vector<double> ramp = ChartTrace(mainPanel, MAIN_CHART, 4);
        ASSERT_EQ(ramp.size(), 100000u);
        EXPECT_EQ(ramp.back(), expectedVolts(4));
        const double first =
            engine::SimulatedConverter::quantise(converter.input(4, 0.001)) * 2.5 / 4096;
        EXPECT_NEAR(ramp.front(), first, 2.5 / 4096);
        EXPECT_TRUE(engine::PopupLog().empty());
    });
}

TEST_F(Program, TheLargeDisplayShowsTheChosenChannelInItsTraceColour) {
    run([&] {
        openMainPanel();
        auto* big =
            qobject_cast<LargeDisplay*>(engine::FindControl(mainPanel, MAIN_VOLTAGE)->widget);
        auto* chart = qobject_cast<StripChart*>(engine::FindControl(mainPanel, MAIN_CHART)->widget);
        for (int channel : {3, 6}) {
            SetCtrlVal(mainPanel, MAIN_CHANNEL, channel);
            FireTimer(mainPanel, MAIN_TIMER);
            // The digits and their colour are made for the next display frame.
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    return big->palette().color(QPalette::WindowText) == chart->traceColor(channel);
                },
                500))
                << "channel " << channel;
            EXPECT_EQ(ShownText(mainPanel, MAIN_VOLTAGE),
                      QString::number(Value(mainPanel, MAIN_CH0 - channel), 'f', 4).toStdString());
        }
    });
}

TEST_F(Program, SpaceFreezesTheChartFromAnywhereInThePanelWhileScanningGoesOn) {
    run([&] {
        openMainPanel();
        auto* chart = qobject_cast<StripChart*>(engine::FindControl(mainPanel, MAIN_CHART)->widget);
        QWidget* window = engine::FindPanel(mainPanel)->window.get();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QWidget* samples = engine::FindControl(mainPanel, MAIN_SAMPLES)->widget;
        samples->setFocus();
        FireTimer(mainPanel, MAIN_TIMER);
        QTest::keyClick(samples, Qt::Key_Space);
        ASSERT_TRUE(chart->frozen());
        clock.pause(0.5);
        FireTimer(mainPanel, MAIN_TIMER);
        EXPECT_EQ(chart->data().size() - chart->shown().size(), 1);
        EXPECT_EQ(Value(mainPanel, MAIN_CH1), expectedVolts(1));  // the indicators go on
        EXPECT_EQ(Value(mainPanel, MAIN_SAMPLES), 10);            // the space typed nothing
    });
}

TEST_F(Program, EveryFrameShowsOneScanInTheIndicatorsTheLargeDisplayAndTheChart) {
    // What each widget last painted. After a scan, once the indicator has painted it, the
    // chart and the large display must show that same scan: a chart painted on a clock of its
    // own would still show an older one.
    struct Painted : QObject {
        std::function<double()> value;
        double last = -1;
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                last = value();
                ++paints;
            }
            return false;
        }
    };
    run([&] {
        openMainPanel();
        SetCtrlVal(mainPanel, MAIN_CHANNEL, 4);
        auto* chart = qobject_cast<StripChart*>(engine::FindControl(mainPanel, MAIN_CHART)->widget);
        Painted inChart, inIndicator, inLarge;
        inChart.value = [chart] {
            return chart->data().size() ? chart->data().trace(4).back() : -1;
        };
        inIndicator.value = [&] { return Value(mainPanel, MAIN_CH4); };
        inLarge.value = [&] { return Value(mainPanel, MAIN_VOLTAGE); };
        chart->installEventFilter(&inChart);
        engine::FindControl(mainPanel, MAIN_CH4)->widget->installEventFilter(&inIndicator);
        engine::FindControl(mainPanel, MAIN_VOLTAGE)
            ->widget->findChild<QLCDNumber*>()
            ->installEventFilter(&inLarge);
        QTest::qWait(50);
        for (int scan = 0; scan < 30; ++scan) {
            clock.pause(0.0137);  // the ramp moves on every scan
            FireTimer(mainPanel, MAIN_TIMER);
            const int before = inIndicator.paints;
            QElapsedTimer waited;
            waited.start();
            while (inIndicator.paints == before && waited.elapsed() < 200)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            ASSERT_GT(inIndicator.paints, before);
            EXPECT_EQ(inIndicator.last, Value(mainPanel, MAIN_CH4));
            EXPECT_EQ(inChart.last, inIndicator.last) << "scan " << scan;
            EXPECT_EQ(inLarge.last, inIndicator.last) << "scan " << scan;
        }
    });
}

TEST_F(Program, AnEnlargedWindowGoesToTheChartAndTheLargeDisplayNeverHidesADigit) {
    run([&] {
        openMainPanel();
        QWidget* window = engine::FindPanel(mainPanel)->window.get();
        QWidget* large = engine::FindControl(mainPanel, MAIN_VOLTAGE)->widget;
        EXPECT_EQ(ShownText(mainPanel, MAIN_VOLTAGE), "-.----");  // nothing measured yet
        const QSize small = window->size();
        window->resize(1100, 850);
        QCoreApplication::processEvents();
        QWidget* chart = engine::FindControl(mainPanel, MAIN_CHART)->widget;
        EXPECT_GT(chart->height(), 850 - small.height() + 200);  // the chart took the height
        EXPECT_LT(engine::FindControl(mainPanel, MAIN_CHANNEL)->widget->width(), 100);
        EXPECT_LT(engine::FindControl(mainPanel, MAIN_SAMPLES)->widget->width(), 150);
        FireTimer(mainPanel, MAIN_TIMER);
        // The unit sits beside the digits, at any width.
        for (int width : {1100, 700}) {
            window->resize(width, 850);
            QCoreApplication::processEvents();
            const QRect digits = large->findChild<QLCDNumber*>()->geometry();
            const QRect unit = large->findChild<QLabel*>()->geometry();
            EXPECT_GE(unit.left(), digits.right()) << width;
            EXPECT_LE(unit.right(), large->contentsRect().right()) << width;
        }
    });
}
