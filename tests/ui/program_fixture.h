// Runs the real program on the simulated bench, with the operator's actions as a script.
#pragma once

#include <gtest/gtest.h>

#include <QTimer>
#include <functional>

#include "engine/ports/simulated_converter.h"
#include "engine/test_interface.h"
#include "link/basicIO.h"
#include "ui/panel_ids.h"
#include "ui/zelmor.h"

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        engine::testing::ResetEngine(zelmor::callbacks);
        engine::SetResourceFolder(ZELMOR_RESOURCES_DIR);
        engine::SetStatusLine("Simulated converter");
        engine::UsePortBackend(&bench);
        bench.recordAccesses(true);
        zelmor::addr1 = zelmor::addr2 = zelmor::addr3 = zelmor::lpt = 0;
        zelmor::lptPanel = zelmor::mainPanel = 0;
        zelmor::index = 0;
        porta = 0;
    }
    void TearDown() override {
        engine::testing::ResetEngine(zelmor::callbacks);
        engine::SetStatusLine("");
        engine::UsePortBackend(nullptr);
    }

    // Runs main; the script runs inside its event loop as the operator would act. Returns
    // main's result. A script that does not end the program is ended for it (endedByProgram
    // then says so) so that a failing test cannot hang.
    int run(const std::function<void()>& script) {
        endedByProgram = false;
        QTimer::singleShot(0, [&] {
            script();
            endedByProgram = engine::QuitRequested();
            if (!endedByProgram) QuitUserInterface(0);
        });
        char name[] = "zelmor";
        char* argv[] = {name, nullptr};
        return zelmor::main(1, argv);
    }

    // Chooses LPT1 and stops the panel's own timers, so that only fired ticks scan.
    void openMainPanel() {
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
        ASSERT_GE(zelmor::mainPanel, 1);
        for (int timer : {MAIN_TIMER, MAIN_STAT_TIMER})
            engine::FindControl(zelmor::mainPanel, timer)->widget->setProperty("running", false);
    }

    double expectedVolts(int channel) const {
        return engine::SimulatedConverter::quantise(bench.input(channel, clock.now())) * 2.5 / 4096;
    }

    engine::ManualClock clock;
    engine::SimulatedConverter bench{clock};
    bool endedByProgram = false;
};
