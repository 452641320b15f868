#include "engine/chart/statistics_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace engine {
namespace {

// Decimals enough to tell one converter step from the next in the channel's unit.
int DecimalsOfStep(double step) {
    if (!(step > 0) || !std::isfinite(step)) return 4;
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 9);
}

QString InUnit(double value, int decimals, const ChannelSetup& channel) {
    QString text = QString::number(value, 'f', decimals);
    if (!channel.unit.empty()) text += ' ' + QString::fromStdString(channel.unit);
    return text;
}

// The lowest and highest converter code seen; low > high when none was.
std::pair<int, int> CodeRange(const CodeStatistics& s) {
    int low = kConverterCodes, high = -1;
    for (int c = 0; c < static_cast<int>(s.histogram.size()); ++c)
        if (s.histogram[static_cast<std::size_t>(c)] != 0) {
            low = std::min(low, c);
            high = c;
        }
    return {low, high};
}

QString HistogramSummary(const CodeStatistics& s) {
    const auto [low, high] = CodeRange(s);
    if (low > high) return QObject::tr("No converter codes in the span.");
    int mode = low;
    QStringList missing;
    for (int c = low; c <= high; ++c) {
        const auto n = s.histogram[static_cast<std::size_t>(c)];
        if (n > s.histogram[static_cast<std::size_t>(mode)]) mode = c;
        if (n == 0 && missing.size() < 10) missing << QString::number(c);
    }
    QString text = QObject::tr("Codes %1 to %2: %3 codes, the most often %4 (%5 scans).")
                       .arg(low)
                       .arg(high)
                       .arg(high - low + 1)
                       .arg(mode)
                       .arg(s.histogram[static_cast<std::size_t>(mode)]);
    if (s.missingCodes > 0) {
        text += QObject::tr(" Missing: %1").arg(missing.join(", "));
        if (s.missingCodes > missing.size())
            text += QObject::tr(" and %1 more").arg(s.missingCodes - missing.size());
        text += '.';
    }
    if (s.steady())
        text += QObject::tr(" Steady: noise %1 steps, %2 effective bits.")
                    .arg(s.noiseSteps(), 0, 'f', 2)
                    .arg(s.effectiveBits(), 0, 'f', 1);
    if (s.stuckHigh | s.stuckLow) text += QObject::tr(" Stuck: %1.").arg(StuckBitsText(s));
    if (s.outOfRange > 0)
        text += QObject::tr(" %1 values out of the converter's range.").arg(s.outOfRange);
    return text;
}

}  // namespace

QString StuckBitsText(const CodeStatistics& s) {
    QStringList bits;
    for (int b = 0; b < kConverterBits; ++b) {
        if (s.stuckLow & (1u << b)) bits << QObject::tr("bit %1 stuck at 0").arg(b);
        if (s.stuckHigh & (1u << b)) bits << QObject::tr("bit %1 stuck at 1").arg(b);
    }
    return bits.isEmpty() ? QObject::tr("none") : bits.join(", ");
}

CodeHistogram::CodeHistogram(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(160);
    summary_ = HistogramSummary(stats_);
}

void CodeHistogram::setStatistics(const CodeStatistics& s) {
    stats_ = s;
    summary_ = HistogramSummary(s);
    update();
}

void CodeHistogram::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics metrics = fontMetrics();
    const QRect plot = rect().adjusted(8, metrics.height() + 4, -8, -2 * metrics.height() - 6);
    const auto [low, high] = CodeRange(stats_);
    if (low > high || plot.width() < 2 || plot.height() < 2) {
        p.drawText(rect(), Qt::AlignCenter, summary_);
        return;
    }
    const int codes = high - low + 1;
    const int columns = std::min(codes, plot.width());
    // Each pixel column's codes, its highest count and whether any of its codes is missing.
    std::vector<std::uint32_t> tallest(static_cast<std::size_t>(columns), 0);
    std::vector<bool> missing(static_cast<std::size_t>(columns), false);
    std::uint32_t most = 1;
    for (int c = low; c <= high; ++c) {
        const auto k = static_cast<std::size_t>(static_cast<long>(c - low) * columns / codes);
        const auto n = stats_.histogram[static_cast<std::size_t>(c)];
        tallest[k] = std::max(tallest[k], n);
        if (n == 0) missing[k] = true;
        most = std::max(most, n);
    }
    const double width = double(plot.width()) / columns;
    const QColor bars = palette().color(QPalette::Highlight);
    for (int k = 0; k < columns; ++k) {
        const double x = plot.left() + k * width;
        const double h = double(plot.height()) * tallest[static_cast<std::size_t>(k)] / most;
        p.fillRect(QRectF(x, plot.bottom() + 1 - h, std::max(1.0, width - (width > 3)), h), bars);
        if (missing[static_cast<std::size_t>(k)])
            p.fillRect(QRectF(x, plot.bottom() + 2, std::max(1.0, width), 4), Qt::red);
    }
    p.setPen(palette().color(QPalette::Text));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    const QRect labels(plot.left(), plot.bottom() + 8, plot.width(), metrics.height());
    p.drawText(labels, Qt::AlignLeft, QString::number(low));
    p.drawText(labels, Qt::AlignRight, QString::number(high));
    p.drawText(labels.translated(0, metrics.height()), Qt::AlignHCenter, tr("code"));
    p.drawText(QRect(plot.left(), 2, plot.width(), metrics.height()), Qt::AlignLeft,
               tr("%1 scans").arg(most));
}

StatisticsWindow::StatisticsWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Statistics of the span"));
    setModal(false);
    table_ = new QTableWidget(0, kColumns, this);
    table_->setHorizontalHeaderLabels({tr("Channel"), tr("Scans"), tr("Mean"), tr("Minimum"),
                                       tr("Maximum"), tr("Peak to peak"), tr("Standard deviation"),
                                       tr("Noise (steps)"), tr("Effective bits"),
                                       tr("Missing codes"), tr("Stuck bits")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    histogram_ = new CodeHistogram(this);
    summary_ = new QLabel(this);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(histogram_, 1);
    layout->addWidget(summary_);
    connect(table_, &QTableWidget::currentCellChanged, this, [this] { showHistogram(); });
    resize(900, 520);
}

void StatisticsWindow::refresh(const std::vector<ChannelStatistics>& channels, double resolution) {
    channels_ = channels;
    const int chosen = std::max(0, table_->currentRow());
    table_->setRowCount(static_cast<int>(channels.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const ChannelSetup& ch = channels[static_cast<std::size_t>(row)].channel;
        const CodeStatistics& s = channels[static_cast<std::size_t>(row)].codes;
        const double step = std::fabs(ch.gain) * resolution;
        const int decimals = DecimalsOfStep(step);
        // A code's value; with a negative gain the lowest code gives the highest value.
        auto value = [&](double code) { return ch.value(code * resolution); };
        auto codeCell = [&](double v, double code, int codeDecimals) {
            return InUnit(v, decimals, ch) + " (" + QString::number(code, 'f', codeDecimals) + ")";
        };
        const int lowCode = ch.gain < 0 ? s.high : s.low, highCode = ch.gain < 0 ? s.low : s.high;
        QString cells[kColumns];
        cells[kName] = QString::fromStdString(ch.name);
        if (s.count == 0) {
            cells[kCount] = tr("no scans");
        } else {
            cells[kCount] = QString::number(s.count);
            if (s.outOfRange > 0) cells[kCount] += tr(" (%1 out of range)").arg(s.outOfRange);
            cells[kMean] = codeCell(value(s.mean), s.mean, 1);
            cells[kMinimum] = codeCell(value(lowCode), lowCode, 0);
            cells[kMaximum] = codeCell(value(highCode), highCode, 0);
            cells[kPeakToPeak] = codeCell(step * (s.high - s.low), s.high - s.low, 0);
            cells[kDeviation] = codeCell(step * s.deviation, s.deviation, 2);
            cells[kNoise] = s.steady() ? QString::number(s.noiseSteps(), 'f', 2) : tr("not steady");
            cells[kEffectiveBits] =
                s.steady() ? QString::number(s.effectiveBits(), 'f', 1) : tr("not steady");
            cells[kMissing] = QString::number(s.missingCodes);
            cells[kStuck] = StuckBitsText(s);
        }
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c != kName && c != kStuck)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, c, item);
        }
    }
    table_->resizeColumnsToContents();
    if (table_->rowCount() > 0) chooseRow(std::min(chosen, table_->rowCount() - 1));
    showHistogram();
}

QString StatisticsWindow::cell(int row, Column column) const {
    const QTableWidgetItem* item = table_->item(row, column);
    return item ? item->text() : QString();
}

int StatisticsWindow::rows() const {
    return table_->rowCount();
}

void StatisticsWindow::chooseRow(int row) {
    table_->setCurrentCell(row, 0);
    showHistogram();
}

void StatisticsWindow::showHistogram() {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(channels_.size())) {
        histogram_->setStatistics(CodeStatistics{});
        summary_->clear();
        return;
    }
    const ChannelStatistics& shown = channels_[static_cast<std::size_t>(row)];
    histogram_->setStatistics(shown.codes);
    summary_->setText(QString::fromStdString(shown.channel.name) + ": " + histogram_->summary());
}

StatisticsWindow* ShowStatisticsWindow(QWidget* parent,
                                       const std::vector<ChannelStatistics>& channels,
                                       double resolution) {
    static const char* const kName = "statisticsWindow";
    StatisticsWindow* window = nullptr;
    if (parent != nullptr)
        for (QObject* child : parent->children())
            if (child->objectName() == kName) window = dynamic_cast<StatisticsWindow*>(child);
    if (window == nullptr) {
        window = new StatisticsWindow(parent);
        window->setObjectName(kName);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->refresh(channels, resolution);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace engine
