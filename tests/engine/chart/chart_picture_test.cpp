// The chart's picture for a report: the plot, axes and legend with a caption, and none of what
// is only for the operator at the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QToolButton>

#include "engine/chart/strip_chart.h"

namespace {
bool holds(const QImage& image, QColor color) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color) return true;
    return false;
}
}  // namespace

TEST(ChartPicture, HoldsThePlotAndACaptionAndNoButtonBadgeOrHoverBox) {
    StripChart chart;
    QPalette marked = chart.palette();  // colours only the operator's furniture wears
    marked.setColor(QPalette::Highlight, Qt::green);
    marked.setColor(QPalette::HighlightedText, Qt::yellow);  // the FROZEN banner's words
    marked.setColor(QPalette::ToolTipText, Qt::cyan);        // the hover box's time
    chart.setPalette(marked);
    for (QToolButton* b : {chart.freezeButton(), chart.recordButton()})
        b->setStyleSheet("background: #ff00ff; border: none");
    chart.setBadge([] { return QString("\u25CF REC run.csv  0:00:01  1,000 scans"); });
    chart.setFileFacts([] {
        engine::RecordingFacts f;
        f.program = "zelmor 9.9";
        f.portBase = 0x378;
        f.backEnd = "Simulated converter \u2014 voltages generated, not measured";
        return f;
    });
    chart.bindRate([] { return 1000.0; });
    chart.resize(1000, 300);  // wide enough that the banner leaves the badge be
    chart.show();
    for (int i = 0; i < 1000; ++i) {
        const double scan[8] = {0.5 + 0.4 * (i % 100 < 50), 1, 1.5, 2, 0.25, 0.75, 1.25, 1.75};
        chart.appendScan(scan, 10 + 0.001 * i);
    }
    chart.setFrozen(true);
    // On the screen, each piece of furniture; the opaque hover box hides the badge beneath it.
    const QColor furniture[] = {Qt::magenta, Qt::green, Qt::yellow, QColor("#c9302c"), Qt::cyan};
    for (const QColor& c : furniture) {
        if (c == Qt::cyan) {
            const QPointF middle(chart.plotArea().right() - 10, chart.plotArea().center().y());
            QMouseEvent move(QEvent::MouseMove, middle, chart.mapToGlobal(middle), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(&chart, &move);
        }
        ASSERT_TRUE(holds(chart.grab().toImage(), c)) << c.name().toStdString();
    }

    for (QSize size : {QSize(), StripChart::kPictureSize}) {
        const QImage picture = chart.picture(size);
        EXPECT_EQ(picture.size(),
                  size.isEmpty() ? QSize(1000, 300 + 3 * chart.fontMetrics().height() + 12) : size);
        for (const QColor& c : furniture)
            EXPECT_FALSE(holds(picture, c)) << c.name().toStdString() << " at " << picture.width();
        for (int t = 0; t < 8; ++t) EXPECT_TRUE(holds(picture, chart.traceColor(t))) << t;
    }
    EXPECT_EQ(chart.size(), QSize(1000, 300));  // laid out as before
    const QStringList caption = chart.pictureCaption();
    ASSERT_EQ(caption.size(), 3);
    EXPECT_TRUE(
        QRegularExpression("^zelmor 9.9 \u2014 \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d to "
                           "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\(10 s shown\\)$")
            .match(caption[0])
            .hasMatch())
        << caption[0].toStdString();
    EXPECT_EQ(caption[1],
              "port base address 0x378 \u2014 SIMULATED CONVERTER: voltages generated, "
              "not measured");
    EXPECT_EQ(caption[2], "requested rate 1000 scans/s");
}
