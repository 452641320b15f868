// The real port through the kernel's ppdev driver, /dev/parportN: access through group lp,
// no root. Serves the data register (write) and the status register (read) of the ports it
// opened, and refuses every other access: it is counted and never reaches the hardware.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/ports/discovery.h"

namespace engine {

class PpdevPorts final : public HardwarePorts {
  public:
    // Opens devDir/parportN for every port of the table the kernel knows, once each; table
    // entries the kernel has no device for are served as absent, and a table that lists none
    // of the kernel's ports gives way to the kernel's list. nullptr and error on failure.
    // A port is claimed (exclusively) at its first access, and only then: if the claim is
    // refused, a popup names the device and the reason, and the port reads as a floating bus.
    static std::unique_ptr<PpdevPorts> Open(SystemCalls& sys, const std::string& devDir,
                                            const std::vector<KernelPort>& kernelPorts,
                                            PortTable table, std::string& error);
    ~PpdevPorts() override;
    void write(std::uint16_t address, std::uint8_t value) override;
    std::uint8_t read(std::uint16_t address) override;
    std::string describe() const override;
    // The ports and where their addresses came from; once a port is claimed, the scans per
    // second it allows. A claimed port that stops answering (the card removed, the module
    // unloaded) turns it into an alarm naming the device and the system's error; the port
    // then reads as a floating bus and is not asked again. Both changes are told to the
    // listener.
    BackendStatus status() const override;
    // After a refused claim, how to free the port; after a lost port, what to check.
    std::string advice() const override { return advice_; }
    // Measured when the port was claimed; 0 before.
    double scanCeiling() const override { return ceiling_; }

  private:
    struct Port {
        std::uint16_t base;
        int fd;
        std::string device;
        enum class State { open, claimed, refused, lost } state;
    };
    PpdevPorts(SystemCalls& sys, PortTable table) : HardwarePorts(std::move(table)), sys_(sys) {}
    Port* find(std::uint16_t base);
    bool usable(Port& p);  // claims it on first use
    void lose(Port& p);
    SystemCalls& sys_;
    std::vector<Port> ports_;
    double ceiling_ = 0;
    std::string lost_;  // the alarm line, once a port stopped answering
    std::string advice_;
};

}  // namespace engine
