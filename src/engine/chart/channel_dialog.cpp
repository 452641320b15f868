#include "engine/chart/channel_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <set>

namespace engine {
namespace {

QString Shown(double value) {
    return QString::number(value, 'g', 6);
}

// A cell of the table as the operator types in it.
QTableWidgetItem* Cell(const QString& text) {
    return new QTableWidgetItem(text);
}

}  // namespace

std::optional<double> ParseNumber(const QString& text) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

QString TypedNumber(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QLabel* RefusalLine(QWidget* parent) {
    auto* line = new QLabel(parent);
    line->setStyleSheet("color: #c9302c");
    line->setWordWrap(true);
    return line;
}

CalibrationDialog::CalibrationDialog(QWidget* parent, const QString& name, const QString& unit,
                                     int trace, LastScans lastScans, double resolution)
    : QDialog(parent),
      unit_(unit),
      trace_(trace),
      lastScans_(std::move(lastScans)),
      resolution_(resolution) {
    setWindowTitle("Calibrate " + name);
    auto* grid = new QGridLayout;
    scans_ = new QSpinBox(this);
    scans_->setRange(1, 10000);
    scans_->setValue(100);
    grid->addWidget(new QLabel("Scans to average", this), 0, 0);
    grid->addWidget(scans_, 0, 1);
    for (int p = 0; p < 2; ++p) {
        Point& point = points_[p];
        point.known = new QLineEdit(this);
        point.take = new QPushButton("Take", this);
        point.take->setEnabled(static_cast<bool>(lastScans_));
        point.taken = new QLabel("Not taken", this);
        point.taken->setMinimumWidth(
            fontMetrics().horizontalAdvance("-0.123456 V, mean of 10000 scans"));
        const int row = 1 + p;
        const QString inUnit = unit.isEmpty() ? QString() : " (" + unit + ")";
        grid->addWidget(new QLabel(QString("Point %1: known value%2").arg(p + 1).arg(inUnit)), row,
                        0);
        grid->addWidget(point.known, row, 1);
        grid->addWidget(point.take, row, 2);
        grid->addWidget(point.taken, row, 3);
        connect(point.take, &QPushButton::clicked, this, [this, p] { takePoint(p); });
        connect(point.known, &QLineEdit::textChanged, this, [this] { refit(); });
    }
    result_ = new QLabel(this);
    result_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    use_ = buttons->addButton("Use", QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(result_);
    layout->addWidget(buttons);
    refit();
}

void CalibrationDialog::takePoint(int point) {
    if (!lastScans_) return;
    Point& p = points_[point];
    p.volts = lastScans_(trace_, scans_->value());
    if (p.volts.empty()) {
        p.taken->setText("No scans yet");
    } else {
        double sum = 0;
        for (double v : p.volts) sum += v;
        p.taken->setText(QString("%1 V, mean of %2 scans")
                             .arg(Shown(sum / static_cast<double>(p.volts.size())))
                             .arg(p.volts.size()));
    }
    refit();
}

void CalibrationDialog::refit() {
    fit_.reset();
    CalibrationPoint first, second;
    CalibrationPoint* both[] = {&first, &second};
    QString why;
    for (int p = 0; p < 2 && why.isEmpty(); ++p) {
        const auto known = ParseNumber(points_[p].known->text());
        if (!known) why = QString("Type the known value of point %1.").arg(p + 1);
        both[p]->known = known.value_or(0);
        both[p]->volts = points_[p].volts;
    }
    if (why.isEmpty()) {
        const TwoPointFit fit = FitTwoPoints(first, second, resolution_);
        fit_ = fit.result;
        why = QString::fromStdString(fit.refusal);
    }
    if (fit_)
        result_->setText(
            QString("Gain %1, offset %2, residual %3 %4")
                .arg(Shown(fit_->gain), Shown(fit_->offset), Shown(fit_->residual), unit_)
                .trimmed());
    else
        result_->setText(why);
    use_->setEnabled(fit_.has_value());
}

ChannelDialog::ChannelDialog(QWidget* parent, std::vector<ChannelSetup> current,
                             LastScans lastScans, double resolution)
    : QDialog(parent), lastScans_(std::move(lastScans)), resolution_(resolution) {
    setWindowTitle("Channels");
    const int rows = static_cast<int>(current.size());
    table_ = new QTableWidget(rows, 5, this);
    table_->setHorizontalHeaderLabels({"Name", "Unit", "Gain", "Offset", ""});
    table_->verticalHeader()->setVisible(false);  // the names say which input: CH0 is row one
    for (int row = 0; row < rows; ++row) {
        const ChannelSetup& c = current[static_cast<std::size_t>(row)];
        table_->setItem(row, kName, Cell(QString::fromStdString(c.name)));
        table_->setItem(row, kUnit, Cell(QString::fromStdString(c.unit)));
        table_->setItem(row, kGain, Cell(TypedNumber(c.gain)));
        table_->setItem(row, kOffset, Cell(TypedNumber(c.offset)));
        auto* calibrate = new QPushButton("Calibrate...", table_);
        calibrate->setEnabled(static_cast<bool>(lastScans_));
        connect(calibrate, &QPushButton::clicked, this, [this, row] { this->calibrate(row); });
        table_->setCellWidget(row, kCalibrate, calibrate);
    }
    // Room for every row, a long name and a number of a dozen digits without scrolling.
    table_->resizeColumnsToContents();
    const int digits = fontMetrics().horizontalAdvance("-1.23456789e+12");
    table_->setColumnWidth(kName, fontMetrics().horizontalAdvance(QString(16, 'M')));
    table_->setColumnWidth(kUnit, fontMetrics().horizontalAdvance("MMMMMM"));
    table_->setColumnWidth(kGain, digits);
    table_->setColumnWidth(kOffset, digits);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumSize(
        table_->horizontalHeader()->length() + table_->verticalHeader()->width() + 4,
        table_->verticalHeader()->length() + table_->horizontalHeader()->height() + 4);
    refusal_ = RefusalLine(this);
    connect(table_, &QTableWidget::itemChanged, refusal_, &QLabel::clear);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ChannelDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(refusal_);
    layout->addWidget(buttons);
}

QString ChannelDialog::text(int row, int column) const {
    const QTableWidgetItem* item = table_->item(row, column);
    return item ? item->text() : QString();
}

void ChannelDialog::calibrate(int row) {
    // The title names the channel as typed, while that name could be used.
    ChannelSetup named = DefaultChannel(row);
    const std::string typed = text(row, kName).toStdString();
    if (!typed.empty() && !CheckChannel({typed, "", 1, 0})) named.name = typed;
    CalibrationDialog helper(this, QString::fromStdString(named.name), text(row, kUnit), row,
                             lastScans_, resolution_);
    if (helper.exec() != QDialog::Accepted || !helper.fit()) return;
    table_->item(row, kGain)->setText(TypedNumber(helper.fit()->gain));
    table_->item(row, kOffset)->setText(TypedNumber(helper.fit()->offset));
}

void ChannelDialog::accept() {
    std::vector<ChannelSetup> channels;
    std::set<std::string> names;
    for (int row = 0; row < table_->rowCount(); ++row) {
        auto refuse = [&](int column, const std::string& why) {
            refusal_->setText(
                QString("Channel %1: %2").arg(row + 1).arg(QString::fromStdString(why)));
            table_->setCurrentCell(row, column);
            table_->setFocus();
        };
        ChannelSetup c;
        c.name = text(row, kName).toStdString();
        c.unit = text(row, kUnit).toStdString();
        const auto gain = ParseNumber(text(row, kGain));
        const auto offset = ParseNumber(text(row, kOffset));
        if (!gain) return refuse(kGain, "Gain must be a number.");
        if (!offset) return refuse(kOffset, "Offset must be a number.");
        c.gain = *gain;
        c.offset = *offset;
        if (const auto why = CheckChannel(c)) {
            // The cell at fault: the first field that is refused on its own, beside defaults.
            int column = kName;
            for (int field : {kName, kUnit, kGain, kOffset}) {
                ChannelSetup alone = DefaultChannel(row);
                if (field == kName) alone.name = c.name;
                if (field == kUnit) alone.unit = c.unit;
                if (field == kGain) alone.gain = c.gain;
                if (field == kOffset) alone.offset = c.offset;
                if (CheckChannel(alone)) {
                    column = field;
                    break;
                }
            }
            return refuse(column, *why);
        }
        // Two traces of one name could not be told apart in the legend or a recording.
        if (!names.insert(c.name).second) return refuse(kName, "The name is already used.");
        channels.push_back(c);
    }
    refusal_->clear();
    accepted_ = std::move(channels);
    QDialog::accept();
}

std::optional<std::vector<ChannelSetup>> EditChannels(QWidget* parent,
                                                      std::vector<ChannelSetup> current,
                                                      LastScans lastScans, double resolution) {
    ChannelDialog dialog(parent, std::move(current), std::move(lastScans), resolution);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.channels();
}

}  // namespace engine
