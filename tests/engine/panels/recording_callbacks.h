// Callbacks that record what the engine delivers, the good test panel and its IDs, for the
// engine's own tests.
#pragma once

#include <gtest/gtest.h>

#include <QEvent>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "engine/panels/test_interface.h"

struct Delivered {
    int panel, control, event;
    bool operator==(const Delivered& o) const {
        return panel == o.panel && control == o.control && event == o.event;
    }
};

inline std::vector<Delivered> delivered;
inline int commands = 0;
inline int running = 0, deepest = 0;
inline std::function<void()> onTick;

inline int CtrlCb(int p, int c, int e, void*, int, int) {
    delivered.push_back({p, c, e});
    return 0;
}
inline int PanelCb(int p, int e, void*, int, int) {
    delivered.push_back({p, 0, e});
    return 0;
}
inline int TickCb(int p, int c, int e, void*, int, int) {
    deepest = std::max(deepest, ++running);
    delivered.push_back({p, c, e});
    if (onTick) onTick();
    --running;
    return 0;
}
inline void MenuCb() {
    ++commands;
}

inline const engine::CallbackTable kTestCallbacks = {
    {"CtrlCb", CtrlCb}, {"PanelCb", PanelCb}, {"TickCb", TickCb}, {"MenuCb", MenuCb}};

// Control IDs of tests/engine/panels/good.uir; kStats is a second timer, stopped.
enum { kSelector = 2, kEntry, kVolts, kAddress, kLarge, kMeter, kChart, kTimer, kStats };

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine::testing::ResetEngine(kTestCallbacks);
        engine::SetResourceFolder(ZELMOR_TEST_PANELS);
        delivered.clear();
        commands = running = deepest = 0;
        onTick = nullptr;
    }
    void TearDown() override {
        onTick = nullptr;
        engine::testing::ResetEngine(kTestCallbacks);
    }
    // Loads good.uir with its timer stopped, so that only fired ticks arrive.
    int loadQuiet() {
        int h = LoadPanel(0, "good.uir", 1);
        EXPECT_GE(h, 1);
        if (auto* c = engine::FindControl(h, kTimer)) c->widget->setProperty("running", false);
        return h;
    }
};

// good.uir as text, for tests that make broken panels from it.
inline std::string GoodPanel() {
    std::ifstream in(ZELMOR_TEST_PANELS "/good.uir");
    return {std::istreambuf_iterator<char>(in), {}};
}
// text with the first occurrence of from replaced by to; from must be there.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// Counts the paints of a widget.
struct PaintCounter : QObject {
    int n = 0;
    explicit PaintCounter(QObject* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        n += e->type() == QEvent::Paint;
        return false;
    }
};
