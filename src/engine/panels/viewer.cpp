#include "engine/panels/viewer.h"

#include <QApplication>

namespace engine {

int RunViewer(RecordedHistory recording) {
    QWidget* window = ShowRecordingWindow(std::move(recording));
    QObject::connect(window, &QObject::destroyed, qApp, &QCoreApplication::quit);
    return QApplication::exec() == 0 ? 0 : -1;
}

}  // namespace engine
