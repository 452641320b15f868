// The engine's own controls, for what Qt's widgets lack. Panel resources name them as
// promoted widgets, so Qt Designer opens and saves the files.
#pragma once

#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <utility>
#include <vector>

#include "engine/trace_history.h"

// An integer entry that commits on Enter, on an arrow step, and when focus leaves it edited.
class NumericEntry : public QSpinBox {
    Q_OBJECT
  public:
    explicit NumericEntry(QWidget* parent = nullptr);
  signals:
    void committed();

  protected:
    void stepBy(int steps) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    bool edited_ = false;
};

// A read-only number that keeps the exact value it was given and shows it with
// displayDecimals decimals.
class NumericIndicator : public QDoubleSpinBox {
    Q_OBJECT
    Q_PROPERTY(int displayDecimals READ displayDecimals WRITE setDisplayDecimals)
  public:
    explicit NumericIndicator(QWidget* parent = nullptr);
    int displayDecimals() const { return display_decimals_; }
    void setDisplayDecimals(int d);
    QString textFromValue(double value) const override;

  private:
    int display_decimals_ = 4;
};

namespace engine {
// When the last callback (a popup inside it included) began and returned.
std::pair<std::chrono::steady_clock::time_point, std::chrono::steady_clock::time_point>
LastCallbackSpan();
}  // namespace engine

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
  signals:
    void due();

  private:
    using Clock = std::chrono::steady_clock;
    void arm();
    void expire();
    double interval_ = 1.0;
    bool running_ = true;
    Clock::time_point next_;
    QTimer timer_;
};

// A strip chart: one trace per input, scrolling left, newest point at the right edge.
class StripChart : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int traceCount READ traceCount WRITE setTraceCount)
    Q_PROPERTY(int history READ history WRITE setHistory)
    Q_PROPERTY(double yMinimum READ yMinimum WRITE setYMinimum)
    Q_PROPERTY(double yMaximum READ yMaximum WRITE setYMaximum)
    Q_PROPERTY(QStringList traceColors READ traceColors WRITE setTraceColors)
    Q_PROPERTY(QStringList traceNames READ traceNames WRITE setTraceNames)
    Q_PROPERTY(QString unit READ unit WRITE setUnit)
  public:
    explicit StripChart(QWidget* parent = nullptr);
    int traceCount() const { return history_.traces(); }
    void setTraceCount(int n);
    int history() const { return history_.capacity(); }
    void setHistory(int points);
    double yMinimum() const { return y_min_; }
    void setYMinimum(double v) {
        y_min_ = v;
        update();
    }
    double yMaximum() const { return y_max_; }
    void setYMaximum(double v) {
        y_max_ = v;
        update();
    }
    QStringList traceColors() const { return colors_; }
    void setTraceColors(const QStringList& c) {
        colors_ = c;
        update();
    }
    QStringList traceNames() const { return names_; }
    void setTraceNames(const QStringList& n) {
        names_ = n;
        update();
    }
    QString unit() const { return unit_; }
    void setUnit(const QString& u) {
        unit_ = u;
        update();
    }

    // One point on each trace; count must equal traceCount(). Never paints by itself.
    void appendScan(const double* values);
    const TraceHistory& data() const { return history_; }
    QColor traceColor(int trace) const;
    QSize sizeHint() const override { return {480, 220}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    TraceHistory history_{8, 500};
    double y_min_ = 0, y_max_ = 2.5;
    QStringList colors_, names_;
    QString unit_ = "V";
};
