#include "engine/ports/direct.h"

#include <algorithm>
#include <cerrno>

namespace engine {

std::unique_ptr<DirectPorts> DirectPorts::Open(SystemCalls& sys, PortTable table,
                                               const std::vector<std::uint16_t>& parallelBases,
                                               std::string& error) {
    std::unique_ptr<DirectPorts> ports(new DirectPorts(sys, table));
    for (auto& word : ports->table_.words) {
        if (word == 0) continue;
        // A table word is only an address in memory: never take permission for a port the
        // kernel does not know as a parallel port (an interrupt controller, PCI configuration).
        if (std::find(parallelBases.begin(), parallelBases.end(), word) == parallelBases.end()) {
            ports->notes_ += (ports->notes_.empty() ? "" : "; ") + HexAddress(word) +
                             " is not a parallel port the kernel knows, not used";
            word = 0;
            continue;
        }
        if (std::find(ports->bases_.begin(), ports->bases_.end(), word) != ports->bases_.end())
            continue;
        // Data and status registers only: the control register is never written.
        if (sys.ioperm(word, 2, 1) != 0) {
            error = DescribeSetupFailure(
                "direct", "I/O ports " + HexAddress(word) + "-" + HexAddress(word + 1u), errno,
                SetupStep::ioperm);
            return nullptr;
        }
        ports->bases_.push_back(word);
    }
    if (ports->bases_.empty()) {
        error =
            "direct: no parallel port: neither the BIOS table nor the kernel lists one. Check "
            "that the port is enabled in the firmware set-up, or use --io=simulated.";
        return nullptr;
    }
    ports->ceiling_ = ScanCeiling(*ports, static_cast<std::uint16_t>(ports->bases_.front() + 1));
    return ports;
}

void DirectPorts::write(std::uint16_t address, std::uint8_t value) {
    if (std::find(bases_.begin(), bases_.end(), address) != bases_.end())
        sys_.outb(value, address);
    else
        ++refused_;  // an out instruction there would fault: ioperm covers only these ports
}

std::uint8_t DirectPorts::read(std::uint16_t address) {
    if (address > 0 && std::find(bases_.begin(), bases_.end(), address - 1) != bases_.end())
        return sys_.inb(address);
    ++refused_;
    return 0xFF;
}

std::string DirectPorts::describe() const {
    std::string s;
    for (auto b : bases_) s += (s.empty() ? "" : ", ") + HexAddress(b);
    return s;
}

BackendStatus DirectPorts::status() const {
    std::string s = "Port " + describe() + " through direct port access \u2014 " + sourceWords();
    if (!notes_.empty()) s += " \u2014 " + notes_;
    return {s};
}

}  // namespace engine
