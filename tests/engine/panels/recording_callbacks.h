// Callbacks that record what the engine delivers, and the good test panel's IDs.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "engine/panels/test_interface.h"

using Delivered = std::array<int, 3>;  // panel, control (0: the panel's own), event
inline std::vector<Delivered> delivered;
inline int running = 0, deepest = 0;  // callbacks running now, and at most at once
inline std::function<void()> onTick;

inline int CtrlCb(int p, int c, int e, void*, int, int) {
    deepest = std::max(deepest, ++running);
    delivered.push_back({p, c, e});
    if (onTick) onTick();
    --running;
    return 0;
}
inline int PanelCb(int p, int e, void*, int, int) {
    delivered.push_back({p, 0, e});
    return 0;
}
inline void MenuCb() {
    delivered.push_back({0, 0, 0});
}

inline const engine::CallbackTable kTestCallbacks = {
    {"CtrlCb", CtrlCb}, {"PanelCb", PanelCb}, {"TickCb", CtrlCb}, {"MenuCb", MenuCb}};

// Control IDs of tests/engine/panels/good.uir; kStats is a second timer, stopped.
enum { kSelector = 2, kEntry, kVolts, kAddress, kLarge, kMeter, kChart, kTimer, kStats };

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine::testing::ResetEngine(kTestCallbacks);
        engine::SetResourceFolder(ZELMOR_TEST_PANELS);
        delivered.clear();
        running = deepest = 0;
        onTick = nullptr;
    }
    void TearDown() override { engine::testing::ResetEngine(kTestCallbacks); }
    // Loads good.uir with its timer stopped, so that only fired ticks arrive.
    int loadQuiet() {
        int h = LoadPanel(0, "good.uir", 1);
        EXPECT_GE(h, 1);
        if (auto* c = engine::FindControl(h, kTimer)) c->widget->setProperty("running", false);
        return h;
    }
};
