// Saving what the chart shows: the span as CSV, in a recording's format, or the picture.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QSvgGenerator>

#include "engine/chart/strip_chart.h"

bool StripChart::exportShown(const QString& path, QString& error) const {
    const TraceHistory& h = shown();
    const double start = shownEnd() - span_;
    // Frozen, times count from the start of acquisition, as the time axis does.
    const double zero = frozen_ ? timeOrigin() : start;
    const std::string what =
        QString("Zelmor chart: the span shown, %1 s, %2")
            .arg(span_)
            .arg(frozen_ ? "frozen, times from the start of acquisition" : "live")
            .toStdString();
    engine::ScanRecorder file;
    if (!file.open(QFile::encodeName(path).toStdString(), true, zero,
                   engine::FileHeader(what, fileFacts()))) {
        error = QString::fromStdString(file.error());
        return false;
    }
    std::vector<double> scan(static_cast<std::size_t>(h.traces()));
    for (int i = h.firstAtOrAfter(start); i < h.size(); ++i) {
        // A hole in the scans, marked as the recording marks it (one that began before the
        // span's start, at a negative time).
        if (const auto before = h.before(i); before != TraceHistory::Before::scans && i > 0)
            file.comment(engine::GapComment(h.time(i) - h.time(i - 1), h.time(i - 1) - zero,
                                            before == TraceHistory::Before::gapDuringPopup));
        for (int t = 0; t < h.traces(); ++t) scan[static_cast<std::size_t>(t)] = h.at(t, i);
        file.append(h.time(i), scan.data());
    }
    if (!file.close()) {
        error = QString::fromStdString(file.error());
        return false;
    }
    return true;
}

bool StripChart::savePicture(const QString& path, QString& error, bool fixedSize) {
    bool saved = false;
    const QSize size = fixedSize ? kPictureSize : pictureSize();
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(), size));
        svg.setTitle(tr("Zelmor chart"));
        svg.setDescription(pictureCaption().join("\n"));
        QPainter p;
        saved = p.begin(&svg);
        if (saved) {
            paintPicture(p, size);
            saved = p.end();
        }
        saved = saved && QFileInfo(path).size() > 0;
    } else {
        saved = picture(size).save(path, "PNG");
    }
    if (!saved)
        error = tr("Cannot save the picture to %1: check that the folder exists and can be "
                   "written.")
                    .arg(path);
    return saved;
}

void StripChart::saveFromMenu(bool csv) {
    const QStringList kPictureChoices = {
        tr("PNG picture, as shown (*.png)"), tr("PNG picture, 1600 x 900 (*.png)"),
        tr("SVG drawing, as shown (*.svg)"), tr("SVG drawing, 1600 x 900 (*.svg)")};
    QString chosen;
    const QString path = QFileDialog::getSaveFileName(
        this, csv ? tr("Save the shown span") : tr("Save the picture"),
        QFileInfo(engine::DefaultRecordingPath())
            .dir()
            .filePath(csv ? "zelmor-span.csv" : "zelmor-chart.png"),
        csv ? tr("CSV files (*.csv)") : kPictureChoices.join(";;"), &chosen);
    engine::RecordingPathChosen(path);
    QString error;
    const bool fixed = chosen == kPictureChoices[1] || chosen == kPictureChoices[3];
    if (!path.isEmpty() && !(csv ? exportShown(path, error) : savePicture(path, error, fixed)))
        QMessageBox::warning(this, tr("Not saved"), error);
}
