#include "engine/ports/port_io.h"

#include <chrono>
#include <thread>

#include "engine/ports/link_health.h"

namespace engine {
namespace {

class EmptyBus final : public PortBackend {
  public:
    void write(std::uint16_t, std::uint8_t) override {}
    std::uint8_t read(std::uint16_t) override { return 0xFF; }
    bool readPhysical(std::uint32_t, void*, std::size_t) override { return false; }
    void pause(double seconds) override { SleepFor(seconds); }
    BackendStatus status() const override {
        return {"No port back end \u2014 every port reads as if nothing were attached"};
    }
};

EmptyBus emptyBus;
PortBackend* current = &emptyBus;
std::uint16_t lastWritten = 0;
std::uint64_t statusChanges = 0;

}  // namespace

void UsePortBackend(PortBackend* backend) {
    current = backend ? backend : &emptyBus;
}
void PortBackend::statusChanged() const {
    ++statusChanges;
    if (listener_) listener_();
}

std::string ActiveBackendDescription() {
    return current->status().text;
}
BackendStatus ActiveBackendStatus() {
    return current->status();
}
std::string ActiveBackendPortSource() {
    return current->portSource();
}
double ActiveBackendScanCeiling() {
    return current->scanCeiling();
}
std::uint64_t BackendStatusChanges() {
    return statusChanges;
}
std::uint16_t LastPortWritten() {
    return lastWritten;
}
void SleepFor(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace engine

void RT_outp(short port, unsigned char value) {
    engine::lastWritten = static_cast<std::uint16_t>(port);
    engine::WatchPortWrite(engine::lastWritten, value);
    engine::current->write(static_cast<std::uint16_t>(port), value);
}

unsigned char RT_inp(short port) {
    const auto address = static_cast<std::uint16_t>(port);
    const std::uint8_t value = engine::current->read(address);
    engine::WatchPortRead(address, value);
    return value;
}

void Delay(double seconds) {
    // NaN and negative pauses are no pause at all.
    if (!(seconds > 0)) return;
    engine::current->pause(seconds);
}

int ReadFromPhysicalMemory(unsigned int physicalAddress, void* destination, unsigned int count) {
    if (destination == nullptr && count > 0) return 0;
    return engine::current->readPhysical(physicalAddress, destination, count) ? 1 : 0;
}
