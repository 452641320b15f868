#include "engine/port_io.h"

#include <chrono>
#include <thread>

namespace engine {
namespace {

class EmptyBus final : public PortBackend {
  public:
    void write(std::uint16_t, std::uint8_t) override {}
    std::uint8_t read(std::uint16_t) override { return 0xFF; }
    bool readPhysical(std::uint32_t, void*, std::size_t) override { return false; }
    void pause(double seconds) override {
        if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
};

EmptyBus emptyBus;
PortBackend* current = &emptyBus;

}  // namespace

void UsePortBackend(PortBackend* backend) {
    current = backend ? backend : &emptyBus;
}
PortBackend* CurrentPortBackend() {
    return current;
}

}  // namespace engine

void RT_outp(short port, unsigned char value) {
    engine::CurrentPortBackend()->write(static_cast<std::uint16_t>(port), value);
}

unsigned char RT_inp(short port) {
    return engine::CurrentPortBackend()->read(static_cast<std::uint16_t>(port));
}

void Delay(double seconds) {
    // NaN and negative pauses are no pause at all.
    if (!(seconds > 0)) return;
    engine::CurrentPortBackend()->pause(seconds);
}

int ReadFromPhysicalMemory(unsigned int physicalAddress, void* destination, unsigned int count) {
    if (destination == nullptr && count > 0) return 0;
    return engine::CurrentPortBackend()->readPhysical(physicalAddress, destination, count) ? 1 : 0;
}
