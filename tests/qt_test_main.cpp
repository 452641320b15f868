// Test entry for tests that need Qt: one offscreen application for the whole run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "engine/panels/dispatch.h"
#include "engine/panels/loader.h"
#include "engine/panels/registry.h"
#include "engine/panels/settings.h"
#include "engine/panels/startup.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The engine reads the look from the user's config folder: never the real one in a test.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    engine::QuietPlatformChatter();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    // No settings kept from one test to the next: a test that wants a file places its own.
    engine::PlaceSettings("", true);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    engine::DiscardAllPanels();
    return result;
}
