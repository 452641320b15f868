#include "engine/controls/rate_meter.h"

#include <algorithm>

#include "engine/ports/port_io.h"

RateMeter::RateMeter(QWidget* parent) : QProgressBar(parent) {
    setFormat("%v scans/s");
    setValue(0);
}

void RateMeter::showRate(int value) {
    setValue(std::clamp(value, minimum(), maximum()));
    const double requested = timer_ ? 1 / timer_->interval() : 0;
    const double ceiling = engine::ActiveBackendScanCeiling();
    const bool beyond = ceiling > 0 && requested > ceiling;
    const bool warn = timer_ && (value < 0.9 * requested || beyond);
    const QString tip =
        !warn    ? tr("Scans made in the last second, against the requested rate")
        : beyond ? tr("Fewer scans than asked for: the port allows at most %1 scans/s")
                       .arg(static_cast<long>(ceiling))
                 : tr("Fewer scans than asked for: the computer or the port cannot keep up");
    if (warn == warning_ && tip == toolTip()) return;
    warning_ = warn;
    QPalette p = palette();
    if (warn)
        p.setColor(QPalette::Highlight, QColor("#d9534f"));
    else
        p = QPalette();
    setPalette(p);
    setToolTip(tip);
}
