#include "engine/panels/chart_actions.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include "engine/chart/recording_viewer.h"
#include "engine/panels/recordings.h"

namespace engine {
namespace {

// Space is the chart's freeze key; on a focused button it presses that button instead.
class SpacePresses : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) event->accept();
        }
        return false;
    }
};

QMenu* fileMenu(QWidget* window) {
    auto* bar = window->findChild<QMenuBar*>();
    if (!bar) return nullptr;
    for (QAction* a : bar->actions())
        if (a->menu()) return a->menu();  // the first menu is the File menu
    return nullptr;
}

}  // namespace

void AddChartActions(QWidget* window) {
    auto* chart = window->findChild<StripChart*>();
    if (!chart) return;
    QWidget* previous = chart;
    for (QToolButton* button : {chart->recordButton(), chart->freezeButton()}) {
        button->setFocusPolicy(Qt::StrongFocus);
        button->installEventFilter(new SpacePresses(button));
        QWidget::setTabOrder(previous, button);
        previous = button;
    }

    QMenu* file = fileMenu(window);
    if (!file) return;
    QAction* first = file->actions().isEmpty() ? nullptr : file->actions().front();
    ChartFeed* feed = &FeedOf(chart);
    // Ctrl+R is the chart's own key, anywhere in the panel: the menu only names it.
    auto* record = new QAction(file);
    auto recordText = [record, feed] {
        record->setText(feed->recording() ? QObject::tr("Stop &recording\tCtrl+R")
                                          : QObject::tr("&Record every scan...\tCtrl+R"));
    };
    recordText();
    QObject::connect(file, &QMenu::aboutToShow, record, recordText);
    QObject::connect(record, &QAction::triggered, feed, &ChartFeed::chooseAndRecord);
    auto* span = new QAction(QObject::tr("Save shown &span..."), file);
    span->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QObject::connect(span, &QAction::triggered, feed, [feed] { feed->chooseAndSave(true); });
    auto* picture = new QAction(QObject::tr("Save &picture..."), file);
    picture->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    QObject::connect(picture, &QAction::triggered, feed, [feed] { feed->chooseAndSave(false); });
    // Anywhere in the panel, as the chart's own Ctrl+O is with the chart focused.
    auto* open = new QAction(QObject::tr("&Open recording..."), file);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QObject::connect(open, &QAction::triggered, chart, [chart] { OpenRecordingFromDialog(chart); });
    for (QAction* a : {record, span, picture, open}) {
        a->setObjectName("engineFile");
        file->insertAction(first, a);
    }
    if (first) file->insertSeparator(first);
}

void HideHoverUnderMenus(QWidget* window) {
    auto* bar = window->findChild<QMenuBar*>();
    if (!bar) return;
    // A menu from the bar takes the pointer's attention as the chart's own menu does, but the
    // window stays active: the chart hears that the pointer left, until it moves over it again.
    for (QAction* a : bar->actions()) {
        if (!a->menu()) continue;
        QObject::connect(a->menu(), &QMenu::aboutToShow, window, [window] {
            for (StripChart* chart : window->findChildren<StripChart*>()) {
                QEvent left(QEvent::Leave);
                QCoreApplication::sendEvent(chart, &left);
            }
        });
    }
}

}  // namespace engine
