// The engine's own controls, for what Qt's widgets lack. Panel resources name them as
// promoted widgets, so Qt Designer opens and saves the files.
#pragma once

#include <QDoubleSpinBox>
#include <QPointer>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <utility>
#include <vector>

#include <QLCDNumber>
#include <QLabel>
#include <QProgressBar>

#include "engine/chart/strip_chart.h"
#include "engine/display/alarm.h"
#include "engine/display/number_text.h"
#include "engine/display/shown_per_frame.h"

// An integer entry that commits on Enter, on an arrow step, and when focus leaves it edited.
class NumericEntry : public QSpinBox {
    Q_OBJECT
  public:
    explicit NumericEntry(QWidget* parent = nullptr);
  signals:
    void committed();

  protected:
    bool event(QEvent* event) override;
    void stepBy(int steps) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    bool edited_ = false;
};

// A read-only number that keeps the exact value it was given and shows it with
// displayDecimals decimals. It stays a spin box to Qt Designer (range, suffix, alignment), but
// paints its text itself, from the stored value, only when it is painted: a value set a
// thousand times a second is formatted at most once a display frame.
class NumericIndicator : public QDoubleSpinBox, public engine::ShownPerFrame {
    Q_OBJECT
    Q_PROPERTY(int displayDecimals READ displayDecimals WRITE setDisplayDecimals)
  public:
    explicit NumericIndicator(QWidget* parent = nullptr);
    int displayDecimals() const { return display_decimals_; }
    void setDisplayDecimals(int d);
    QString textFromValue(double value) const override;
    // Stores the value, held to the indicator's range, and asks for a frame.
    void showValue(double value);
    // The value shown: the last one given, or the resource's until then.
    double shownValue() const { return given_ ? value_ : value(); }
    QString shownText() const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void showNewest() override;

  private:
    int display_decimals_ = 4;
    double value_ = 0;
    bool given_ = false;
    engine::NumberText text_;
};

// A timer as a control: invisible, with a period in seconds. It keeps its deadlines (each
// tick is due one period after the previous deadline, not after the moment it was handled),
// so a 1 ms period really gives 1000 ticks a second. A deadline that falls due while a
// callback runs is never delivered; one missed for any other reason (the window painting) is
// delivered late, up to kCatchUpLimit behind.
class TimerControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double interval READ interval WRITE setInterval)
    Q_PROPERTY(bool running READ running WRITE setRunning)
  public:
    explicit TimerControl(QWidget* parent = nullptr);
    double interval() const { return interval_; }
    void setInterval(double seconds);  // restarts the schedule from now
    bool running() const { return running_; }
    void setRunning(bool on);
    void setVisible(bool) override;  // never shown
    static constexpr std::chrono::milliseconds kCatchUpLimit{50};
    // Intervals are held to this range: one microsecond to one day.
    static constexpr double kShortestInterval = 1e-6, kLongestInterval = 86400.0;
  signals:
    void due();
    void intervalChanged(double seconds);

  private:
    using Clock = std::chrono::steady_clock;
    Clock::duration period() const;
    void restart();  // the next tick one period from now
    void arm();
    void expire();
    double interval_ = 1.0;
    bool running_ = true;
    Clock::time_point next_;
    engine::Alarm* alarm_;  // set to each deadline: re-arming allocates nothing
};

// The chosen channel in large LCD digits, with its unit beside them (never over them), in the
// colour its trace has on the chart: `selector` names the control that picks the channel,
// `colorSource` the chart. Before the first value it shows dashes, not a zero nobody measured.
class LargeDisplay : public QFrame, public engine::ShownPerFrame {
    Q_OBJECT
    Q_PROPERTY(QString unit READ unit WRITE setUnit)
    Q_PROPERTY(QString selector READ selector WRITE setSelector)
    Q_PROPERTY(QString colorSource READ colorSource WRITE setColorSource)
    Q_PROPERTY(int decimals READ decimals WRITE setDecimals)
  public:
    explicit LargeDisplay(QWidget* parent = nullptr);
    QString unit() const { return unit_->text(); }
    void setUnit(const QString& u);
    QString selector() const { return selector_; }
    void setSelector(const QString& s) { selector_ = s; }
    QString colorSource() const { return color_source_; }
    void setColorSource(const QString& s) { color_source_ = s; }
    int decimals() const { return decimals_; }
    void setDecimals(int d);
    // Stores the value; the digits and their colour follow in the next frame (present()).
    void showValue(double value);
    double shownValue() const { return value_; }
    QString shownText() const;
    QColor digitColor() const;
    // The controls named by selector and colorSource, found when the panel was loaded.
    void bind(QSpinBox* selector, StripChart* colorSource);

  protected:
    void resizeEvent(QResizeEvent*) override;
    void showNewest() override;

  private:
    void showText();
    QLCDNumber* digits_;
    QLabel* unit_;
    QString selector_, color_source_;
    int decimals_ = 4;
    double value_ = 0;
    bool shown_ = false;  // a value has been given
    QPointer<QSpinBox> chooser_;
    QPointer<StripChart> chart_;
};

// The achieved scan rate as a bar against its maximum and as a number. It turns to a warning
// colour when the rate falls under 90% of the rate the timer named by `rateOf` runs at: the
// applied rate, never one still being typed.
class RateMeter : public QProgressBar {
    Q_OBJECT
    Q_PROPERTY(QString rateOf READ rateOf WRITE setRateOf)
  public:
    explicit RateMeter(QWidget* parent = nullptr);
    QString rateOf() const { return rate_of_; }
    void setRateOf(const QString& name) { rate_of_ = name; }
    // The timer named by rateOf, found when the panel was loaded.
    void bind(TimerControl* timer) { timer_ = timer; }
    // Sets the value, kept within the range, and the colour that goes with it.
    void showRate(int value);
    bool warning() const { return warning_; }

  private:
    QString rate_of_;
    QPointer<TimerControl> timer_;
    bool warning_ = false;
};
