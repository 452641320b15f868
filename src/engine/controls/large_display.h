// The chosen channel in large LCD digits, with its unit beside them (never over them), in the
// colour its trace has on the chart: `selector` names the control that picks the channel,
// `colorSource` the chart. Before the first value it shows dashes, not a zero nobody measured.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QSpinBox>

#include "engine/chart/strip_chart.h"
#include "engine/display/shown_per_frame.h"

class QLCDNumber;
class QLabel;

class LargeDisplay : public QFrame, public engine::ShownPerFrame {
    Q_OBJECT
    Q_PROPERTY(QString unit READ unit WRITE setUnit)
    Q_PROPERTY(QString selector READ selector WRITE setSelector)
    Q_PROPERTY(QString colorSource READ colorSource WRITE setColorSource)
    Q_PROPERTY(int decimals READ decimals WRITE setDecimals)
  public:
    explicit LargeDisplay(QWidget* parent = nullptr);
    QString unit() const;
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
    QString digitsShown_;  // what the digits show: the same text again repaints nothing
    QLabel* unit_;
    QString selector_, color_source_;
    int decimals_ = 4;
    double value_ = 0;
    bool shown_ = false;  // a value has been given
    QPointer<QSpinBox> chooser_;
    QPointer<StripChart> chart_;
};
