#include "engine/chart/recording_viewer.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>
#include <optional>

#include "engine/chart/strip_chart.h"

QWidget* ShowRecordingWindow(RecordedHistory recording) {
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    const QString name = QFileInfo(QFile::decodeName(recording.path.c_str())).fileName();
    window->setWindowTitle(QWidget::tr("%1 - Zelmor viewer").arg(name));
    auto* layout = new QVBoxLayout(window);
    // What the file says of itself, from its header: what, when, where from, at what rate.
    QStringList said;
    for (const std::string& c : recording.header.comments)
        if (said.size() < 5) said << QString::fromStdString(c);
    auto* about = new QLabel(window);
    about->setTextFormat(Qt::PlainText);
    about->setText(said.join("  |  "));
    about->setWordWrap(true);
    auto* chart = new StripChart(window);
    chart->setObjectName("viewerChart");
    if (!recording.header.unit.empty())
        chart->setUnit(QString::fromStdString(recording.header.unit));
    // Saved again from here, the file keeps what this one said of where its scans came from.
    std::string started;
    const engine::RecordingFacts facts =
        engine::FactsFromHeader(recording.header.comments, &started);
    chart->setViewedStart(QDateTime::fromString(QString::fromStdString(started), Qt::ISODate));
    chart->setFileFacts([facts] { return facts; });
    if (facts.requestedRate) chart->bindRate([r = *facts.requestedRate] { return r; });
    chart->viewHistory(std::move(recording.history));
    // The channels as they were recorded, and the notes and firings as flags where they fell.
    chart->setChannels(recording.header.channels);
    for (const RecordedMark& note : recording.notes)
        chart->addNote(note.seconds, QString::fromStdString(note.text));
    for (const RecordedMark& firing : recording.triggers)
        chart->addNote(firing.seconds,
                       QWidget::tr("trigger: %1").arg(QString::fromStdString(firing.text)));
    layout->addWidget(about);
    layout->addWidget(chart, 1);
    window->resize(900, 420);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {  // centred, as the panels
        QRect placed(QPoint(), window->size().boundedTo(screen->availableGeometry().size()));
        placed.moveCenter(screen->availableGeometry().center());
        window->setGeometry(placed);
    }
    window->show();
    chart->setFocus();
    return window;
}

void OpenRecordingFromDialog(QWidget* parent) {
    const QString path = QFileDialog::getOpenFileName(
        parent, QWidget::tr("Open a recording"),
        QFileInfo(engine::DefaultRecordingPath()).dir().path(),
        QWidget::tr("Recordings and saved spans (*.csv);;All files (*)"));
    if (path.isEmpty()) return;
    engine::RecordingPathChosen(path);
    RecordedHistory read;
    if (auto refused =
            LoadRecordedHistory(QFile::encodeName(path).toStdString(), kViewerResolution, read)) {
        QMessageBox::warning(parent, QWidget::tr("Not opened"), QString::fromStdString(*refused));
        return;
    }
    ShowRecordingWindow(std::move(read));
}
