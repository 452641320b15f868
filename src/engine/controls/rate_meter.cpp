#include "engine/controls/rate_meter.h"

#include <algorithm>

RateMeter::RateMeter(QWidget* parent) : QProgressBar(parent) {
    setFormat("%v scans/s");
    setValue(0);
}

void RateMeter::showRate(int value) {
    setValue(std::clamp(value, minimum(), maximum()));
    const bool warn = timer_ && value < 0.9 / timer_->interval();
    if (warn == warning_) return;
    warning_ = warn;
    QPalette p = palette();
    if (warn)
        p.setColor(QPalette::Highlight, QColor("#d9534f"));
    else
        p = QPalette();
    setPalette(p);
    setToolTip(warn ? tr("Fewer scans than asked for: the computer or the port cannot keep up")
                    : tr("Scans made in the last second, against the requested rate"));
}
