// A port back end for tests: records every write and read, and answers reads with one value.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/dialogs.h"
#include "engine/ports/port_io.h"

struct ScriptedPort final : engine::PortBackend {
    std::vector<std::uint16_t> writtenTo, reads;
    std::vector<std::uint8_t> written;
    std::uint8_t answer = 0x40;  // strobe high, data 1
    double paused = 0;

    void write(std::uint16_t a, std::uint8_t v) override {
        writtenTo.push_back(a);
        written.push_back(v);
    }
    std::uint8_t read(std::uint16_t a) override {
        reads.push_back(a);
        return answer;
    }
    bool readPhysical(std::uint32_t, void*, std::size_t) override { return false; }
    void pause(double s) override { paused += s; }
    void clear() {
        writtenTo.clear();
        written.clear();
        reads.clear();
    }
};

// Installs a back end for one test and leaves the engine as it found it.
struct UsePort {
    explicit UsePort(engine::PortBackend& b) {
        engine::UsePortBackend(&b);
        engine::ClearPopupLog();
        engine::ClearQuitRequest();
    }
    ~UsePort() { engine::UsePortBackend(nullptr); }
};
