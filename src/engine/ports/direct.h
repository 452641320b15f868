// The real port through in/out instructions after ioperm(): needs CAP_SYS_RAWIO, which the
// start-up gives up before any window. Serves the data register (write) and the status
// register (read) of the ports it took permission for, and refuses every other access.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/ports/discovery.h"

namespace engine {

class DirectPorts final : public HardwarePorts {
  public:
    // Takes I/O permission for the data and status registers of each port the table lists
    // that is also among parallelBases, and no other; other table words are served as absent
    // and named in notes().
    static std::unique_ptr<DirectPorts> Open(SystemCalls& sys, PortTable table,
                                             const std::vector<std::uint16_t>& parallelBases,
                                             std::string& error);
    void write(std::uint16_t address, std::uint8_t value) override;
    std::uint8_t read(std::uint16_t address) override;
    std::string describe() const override;
    // The ports, where their addresses came from, the scans per second they allow, and the
    // table words left out and why.
    BackendStatus status() const override;
    // Measured when the port permission was taken.
    double scanCeiling() const override { return ceiling_; }

  private:
    DirectPorts(SystemCalls& sys, PortTable table) : HardwarePorts(std::move(table)), sys_(sys) {}
    SystemCalls& sys_;
    std::vector<std::uint16_t> bases_;
    std::string notes_;  // table words that are not parallel ports
    double ceiling_ = 0;
};

}  // namespace engine
