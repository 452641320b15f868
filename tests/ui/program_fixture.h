// Runs the real program on the simulated converter, with the operator's actions as a script.
#pragma once

#include <gtest/gtest.h>

#include "support/program_on_simulator.h"
#include "ui/panel_ids.h"

class Program : public ::testing::Test {
  protected:
    void SetUp() override { converter.recordAccesses(true); }

    int run(const std::function<void()>& script) {
        const int rc = program.run(script);
        endedByProgram = program.endedByProgram;
        return rc;
    }

    // Chooses LPT1 and stops the panel's own timers, so that only fired ticks scan.
    void openMainPanel() {
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
        ASSERT_GE(zelmor::mainPanel, 1);
        for (int timer : {MAIN_TIMER, MAIN_STAT_TIMER})
            control<QObject>(timer)->setProperty("running", false);
    }

    // The widget of a control, on the main panel unless another is named.
    template <typename W>
    W* control(int id, int panel = zelmor::mainPanel) const {
        return qobject_cast<W*>(engine::FindControl(panel, id)->widget);
    }

    double expectedVolts(int channel) const {
        return engine::SimulatedConverter::quantise(converter.input(channel, clock.now())) * 2.5 /
               4096;
    }

    engine::ManualClock clock;
    ProgramOnSimulator program{clock};
    engine::SimulatedConverter& converter = program.converter;
    bool endedByProgram = false;
};
