#include "engine/ports/ppdev.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/dialogs.h"

namespace engine {

std::unique_ptr<PpdevPorts> PpdevPorts::Open(SystemCalls& sys, const std::string& devDir,
                                             const std::vector<KernelPort>& kernelPorts,
                                             PortTable table, std::string& error) {
    auto drives = [&](std::uint16_t word) {
        return std::any_of(kernelPorts.begin(), kernelPorts.end(),
                           [&](const KernelPort& k) { return k.base == word; });
    };
    // A BIOS table that lists none of the kernel's ports (a stale table, a PCI card) would
    // leave nothing to choose from although the kernel drives a port: list the kernel's.
    if (!kernelPorts.empty() && std::none_of(table.words.begin(), table.words.end(), drives)) {
        table.words = {};
        for (std::size_t i = 0; i < kernelPorts.size() && i < 3; ++i)
            table.words[i] = kernelPorts[i].base;
        table.source = kListedByKernel;
        table.why = "the BIOS table lists none the kernel drives";
    }
    std::unique_ptr<PpdevPorts> ports(new PpdevPorts(sys, table));
    for (auto& word : ports->table_.words) {
        if (word == 0) continue;
        auto kernel = std::find_if(kernelPorts.begin(), kernelPorts.end(),
                                   [&](const KernelPort& k) { return k.base == word; });
        if (kernel == kernelPorts.end()) {
            word = 0;  // no device to reach it through: show it as absent
            continue;
        }
        if (ports->find(word)) continue;  // listed twice: one device, opened once
        // Opened now, while start-up may still hold the privilege that opening needs; claimed
        // only when the converter is bound to it, so that other ports stay free.
        const std::string device = devDir + "/parport" + std::to_string(kernel->number);
        const int fd = sys.open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            const int e = errno;
            error = DescribeSetupFailure("ppdev", device, e,
                                         e == ENOENT ? SetupStep::noDevice : SetupStep::openDevice);
            return nullptr;
        }
        ports->ports_.push_back({word, fd, device, Port::State::open});
    }
    if (ports->ports_.empty()) {
        error = DescribeSetupFailure("ppdev", devDir + "/parport*", ENOENT, SetupStep::noDevice);
        return nullptr;
    }
    return ports;
}

PpdevPorts::~PpdevPorts() {
    for (auto& p : ports_) {
        if (p.state == Port::State::claimed) sys_.ioctl(p.fd, PPRELEASE, nullptr);
        sys_.close(p.fd);
    }
}

PpdevPorts::Port* PpdevPorts::find(std::uint16_t base) {
    for (auto& p : ports_)
        if (p.base == base) return &p;
    return nullptr;
}

bool PpdevPorts::usable(Port& p) {
    if (p.state == Port::State::claimed) return true;
    if (p.state == Port::State::refused || p.state == Port::State::lost) return false;
    if (sys_.ioctl(p.fd, PPEXCL, nullptr) != 0 || sys_.ioctl(p.fd, PPCLAIM, nullptr) != 0) {
        const int error = errno;
        p.state = Port::State::refused;
        advice_ = SetupAdvice(error, SetupStep::claimPort);
        const std::string line =
            DescribeSetupFailure("ppdev", p.device, error, SetupStep::claimPort);
        MessagePopup("Port unavailable",
                     (line + " Until then the port reads as if nothing were attached.").c_str());
        return false;
    }
    p.state = Port::State::claimed;
    ceiling_ = ScanCeiling(*this, static_cast<std::uint16_t>(p.base + 1));
    statusChanged();
    return true;
}

void PpdevPorts::lose(Port& p) {
    p.state = Port::State::lost;
    advice_ = "Check the card and the driver (dmesg), then start zelmor again.";
    lost_ = "ppdev: " + p.device + " stopped answering (" + std::strerror(errno) +
            "): it now reads as if nothing were attached. " + advice_;
    statusChanged();
}

void PpdevPorts::write(std::uint16_t address, std::uint8_t value) {
    Port* p = find(address);
    if (!p) {
        ++refused_;
        return;
    }
    if (usable(*p) && sys_.ioctl(p->fd, PPWDATA, &value) != 0) lose(*p);
}

std::uint8_t PpdevPorts::read(std::uint16_t address) {
    Port* p = address > 0 ? find(static_cast<std::uint16_t>(address - 1)) : nullptr;
    if (!p) {
        ++refused_;
        return 0xFF;
    }
    // The raw status register, the inverted busy line included, as an in() gives it; a port
    // that could not be claimed reads as a floating bus.
    unsigned char status = 0xFF;
    if (usable(*p) && sys_.ioctl(p->fd, PPRSTATUS, &status) != 0) {
        lose(*p);
        status = 0xFF;
    }
    return status;
}

std::string PpdevPorts::describe() const {
    std::string s;
    for (auto& p : ports_)
        s += (s.empty() ? "" : ", ") + HexAddress(p.base) + " (" + p.device + ")";
    return s;
}

BackendStatus PpdevPorts::status() const {
    if (!lost_.empty()) return {lost_, BackendTone::alarm};
    return {"Port " + describe() + " through ppdev \u2014 " + sourceWords()};
}

}  // namespace engine
