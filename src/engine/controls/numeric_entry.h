// An integer entry that commits on Enter, on an arrow step, and when focus leaves it edited.
// Typing past its maximum shows the maximum with a short notice instead of dropping the
// keystroke; with a unit, its tooltip gives the range.
#pragma once

#include <QSpinBox>

class NumericEntry : public QSpinBox {
    Q_OBJECT
    Q_PROPERTY(QString unit READ unit WRITE setUnit)
  public:
    explicit NumericEntry(QWidget* parent = nullptr);
    QString unit() const { return unit_; }
    void setUnit(const QString& unit) { unit_ = unit; }
    // What the last keystroke past the maximum was answered with ("at most 1000 scans/s");
    // empty once the text is edited within the range.
    QString notice() const { return notice_; }
    // Appends the range to the tooltip the resource gave (once loaded, and whenever the range
    // changes).
    void showRange();
  signals:
    void committed();

  protected:
    bool event(QEvent* event) override;
    void stepBy(int steps) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QValidator::State validate(QString& input, int& pos) const override;

  private:
    bool edited_ = false;
    QString unit_;
    QString tip_;  // the resource's own tooltip
    bool tipTaken_ = false;
    mutable QString notice_;
    mutable bool clamped_ = false;  // the keystroke under way went past the maximum
};
