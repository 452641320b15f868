// The chart as a picture for a report: the plot, its axes and legend, and below them a caption
// saying what it shows and where it came from. Never the buttons, badges, overview strip or
// hover box: they are for the operator at the screen.
#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>
#include <cmath>

#include "engine/chart/strip_chart.h"

namespace {

// "port base address 0x378, back end: ..." as the caption says it: a simulated converter
// plainly, in capitals, first.
QString portLine(QString line) {
    if (line.contains("simulated", Qt::CaseInsensitive))
        return line.left(line.indexOf(", back end:")) +
               " \u2014 SIMULATED CONVERTER: voltages generated, not measured";
    return line;
}

}  // namespace

QStringList StripChart::pictureCaption() const {
    const TraceHistory& h = shown();
    const double from = shownEnd() - span_, to = shownEnd();
    const engine::RecordingFacts facts = fileFacts();
    const QString program = QString::fromStdString(facts.program);
    // A file that names no port leaves it unknown; a live chart always has one.
    const QString port = viewing_ && facts.portBase == 0 && facts.backEnd.empty()
                             ? QString()
                             : portLine(QString::fromStdString(engine::PortLine(facts)));
    const QString rate =
        facts.requestedRate ? tr("requested rate %1 scans/s").arg(*facts.requestedRate) : QString();
    QDateTime zero = viewed_start_;  // the wall clock at time 0 of the scans' clock
    // Live, the scans' clock runs with the wall clock: its newest scan is about now.
    if (!viewing_ && live_.size())
        zero = QDateTime::currentDateTime().addMSecs(
            -std::llround(live_.time(live_.size() - 1) * 1000));
    const QString when =
        zero.isValid() && h.size()
            ? tr("%1 to %2")
                  .arg(zero.addMSecs(std::llround(from * 1000)).toString("yyyy-MM-dd HH:mm:ss"))
                  .arg(zero.addMSecs(std::llround(to * 1000)).toString("yyyy-MM-dd HH:mm:ss"))
            : tr("%1 s to %2 s of the recording").arg(from - timeOrigin()).arg(to - timeOrigin());
    return {tr("%1 \u2014 %2 (%3 s shown)")
                .arg(program.isEmpty() ? tr("Zelmor") : program, when)
                .arg(span_),
            port.isEmpty() ? tr("port and back end not known") : port,
            rate.isEmpty() ? tr("no requested rate") : rate};
}

QSize StripChart::pictureSize() const {
    const QFontMetrics fm(font());
    return size() + QSize(0, 3 * fm.height() + 2 * kMargin);
}

QImage StripChart::picture(QSize size) {
    if (size.isEmpty()) size = pictureSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(palette().window().color());
    QPainter p(&image);
    paintPicture(p, size);
    return image;
}

void StripChart::paintPicture(QPainter& p, QSize size) {
    const QFontMetrics fm(font());
    const QStringList caption = pictureCaption();
    const int captionHeight = static_cast<int>(caption.size()) * fm.height() + 2 * kMargin;
    const QSize shownSize = this->size(), plotSize(size.width(), size.height() - captionHeight);
    // Laid out at the picture's size for as long as it is drawn.
    if (plotSize != shownSize) resize(plotSize);
    const double hover = hover_x_;
    picture_ = true;
    hover_x_ = -1;
    render(&p, QPoint(), QRegion(QRect(QPoint(), plotSize)), QWidget::DrawWindowBackground);
    picture_ = false;
    hover_x_ = hover;
    if (plotSize != shownSize) resize(shownSize);
    p.fillRect(QRect(0, plotSize.height(), size.width(), captionHeight), palette().window());
    p.setPen(palette().windowText().color());
    p.setFont(font());
    for (int i = 0; i < caption.size(); ++i)
        p.drawText(QPointF(kMargin, plotSize.height() + kMargin + fm.ascent() + i * fm.height()),
                   caption[i]);
}
