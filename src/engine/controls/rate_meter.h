// The achieved scan rate as a bar against its maximum and as a number. It turns to a warning
// colour when the rate falls under 90% of the rate the timer named by `rateOf` runs at: the
// applied rate, never one still being typed, or when that rate is beyond what the port allows
// (its back end's scan ceiling): the warning then says the most it allows.
#pragma once

#include <QPointer>
#include <QProgressBar>

#include "engine/controls/timer_control.h"

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
