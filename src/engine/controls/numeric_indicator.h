// A read-only number that keeps the exact value it was given and shows it with
// displayDecimals decimals. It stays a spin box to Qt Designer (range, suffix, alignment), but
// paints its text itself, from the stored value, only when it is painted: a value set a
// thousand times a second is formatted at most once a display frame.
#pragma once

#include <QDoubleSpinBox>

#include "engine/display/number_text.h"
#include "engine/display/shown_per_frame.h"

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
    QString painted_;  // the text last painted: a frame that would not change it paints nothing
};
