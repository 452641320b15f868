// An integer entry that commits on Enter, on an arrow step, and when focus leaves it edited.
#pragma once

#include <QSpinBox>

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
