// Test entry for tests that need Qt: one offscreen application for the whole run.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "engine/panels.h"

namespace {
// The offscreen platform says on every shown window that it cannot do what only a real screen
// does; those lines would bury what the tests print.
QtMessageHandler standard = nullptr;

void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith("This plugin does not support")) return;
    if (standard)
        standard(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    standard = qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    engine::DiscardAllPanels();
    return result;
}
