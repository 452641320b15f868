// The wire between the parallel port and the converter.
//
//   data register (porta)        status register (porta + 1)
//   bit 0-4  pins 2-6  held high  bit 6  pin 10  strobe from the converter
//   bit 5    pin 7     data in    bit 7  pin 11  data out of the converter, which the port
//   bit 6    pin 8     held low                  presents inverted: a 0 read is a 1 sent
//   bit 7    pin 9     clock
// No other register, the control register included, is touched.
//
// The data register is never read back: outByte is the only record of the lines. A line change
// is Set/Reset on outByte and then one write of the whole byte, so a falling clock edge and the
// next data bit go out together. Between conversions outByte is 0x1F (clock and data low).
//
// Command: the converter takes data on rising clock edges. playCommand presents a start bit 1,
// then command bits 6..1, MSB first (7 rising edges); bit 0 is always 0 and is taken on the
// first read-out clock, while the data line is low. Command byte = select code << 4 | 0x8E:
//   channel      0  1  2  3  4  5  6  7
//   select code  0  4  1  5  2  6  3  7
// Read-out: after the strobe, two bytes of 9 clocks each; the status is read after each falling
// edge. The first sample of each byte falls out of the 8-bit shift register, so the high byte
// carries code bits 11..4 and the top nibble of the low byte carries bits 3..0.
// Volts = code * 2.5 / 4096.
#include "link/basicIO.h"

#include <cstdint>

#include "engine/dialogs.h"
#include "engine/ports/port_io.h"

int porta = 0;

namespace {

unsigned char outByte = 0;

constexpr int kClockBit = 7;
constexpr int kDataInBit = 5;
constexpr int kStrobeBit = 6;
constexpr int kDataOutBit = 7;
constexpr unsigned char kIdle = 0x1F;
constexpr int kStrobePolls = 1000;
constexpr double kVoltsPerCode = 0.0006103515625;  // 2.5 / 4096
constexpr unsigned char kSelectCode[8] = {0, 4, 1, 5, 2, 6, 3, 7};

void writeImage() {
    out(porta, outByte);
}

}  // namespace

void out(int port, unsigned char value) {
    // Keep the low 16 bits: the engine reads them back as the address 0..0xFFFF.
    RT_outp(static_cast<short>(static_cast<std::uint16_t>(port)), value);
}

int in(int port) {
    return RT_inp(static_cast<short>(static_cast<std::uint16_t>(port))) & 0xFF;
}

int Set(unsigned char* b, int bit) {
    if (bit > 7) return -1;
    *b = static_cast<unsigned char>(*b | (1u << bit));
    return 0;
}

int Reset(unsigned char* b, int bit) {
    if (bit > 7) return -1;
    *b = static_cast<unsigned char>(*b & ~(1u << bit));
    return 0;
}

int Invert(unsigned char* b, int bit) {
    if (bit > 7) return -1;
    *b = static_cast<unsigned char>(*b ^ (1u << bit));
    return 0;
}

int IsHigh(unsigned int value, int bit) {
    return static_cast<int>((value >> bit) & 1u);
}

void inizializeBus(int port) {
    porta = port;
    outByte = kIdle;
    writeImage();
    Delay(0.001);
}

int playCommand(unsigned char cmd) {
    // The first bit presented is the start bit, whatever bit 7 of cmd holds.
    Set(&outByte, kDataInBit);
    writeImage();
    unsigned int w = cmd;
    for (int i = 0; i < 7; ++i) {
        Set(&outByte, kClockBit);
        writeImage();
        Reset(&outByte, kClockBit);
        if (IsHigh(w, 6))
            Set(&outByte, kDataInBit);
        else
            Reset(&outByte, kDataInBit);
        writeImage();
        w = (w << 1) & 0xFF;
    }
    Reset(&outByte, kDataInBit);
    Reset(&outByte, kClockBit);
    writeImage();
    return 0;
}

void waitSstrb() {
    for (int poll = 0; poll < kStrobePolls; ++poll) {
        if (IsHigh(static_cast<unsigned int>(in(porta + 1)), kStrobeBit) == 1) return;
    }
    MessagePopup("Error", "Time out error - Program wil be terminated");
    QuitUserInterface(0);
}

unsigned char getByte() {
    unsigned int v = 0;
    for (int i = 0; i < 9; ++i) {
        v = (v << 1) & 0xFF;
        Set(&outByte, kClockBit);
        writeImage();
        Reset(&outByte, kClockBit);
        writeImage();
        int s = in(porta + 1);
        if (IsHigh(static_cast<unsigned int>(s), kDataOutBit) == 0) v |= 1u;
    }
    return static_cast<unsigned char>(v);
}

double getVolt(unsigned char channel) {
    if (channel > 7) return -1.0;
    auto cmd = static_cast<unsigned char>((kSelectCode[channel] << 4) | 0x8E);
    playCommand(cmd);
    waitSstrb();
    unsigned int hi = getByte();
    unsigned int lo = getByte();
    unsigned int code = ((hi << 4) & 0xFF0u) | (lo >> 4);
    return code * kVoltsPerCode;
}
