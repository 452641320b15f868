#include "ui/zelmor.h"

#include <climits>

#include "engine/fmt.h"
#include "engine/ports/port_io.h"
#include "link/basicIO.h"
#include "ui/panel_ids.h"

namespace zelmor {

unsigned short addr1 = 0, addr2 = 0, addr3 = 0, lpt = 0;
int lptPanel = 0, mainPanel = 0;
int index = 0;

const engine::CallbackTable callbacks = {
    {"Selected", Selected}, {"Quit", Quit}, {"Usci", Usci},         {"About", About},
    {"ReadVolt", ReadVolt}, {"Stat", Stat}, {"Chsample", Chsample},
};

namespace {

// One little-endian word of the BIOS data area; 0 when the read left nothing.
void readBiosWord(unsigned int physicalAddress, unsigned short& word) {
    unsigned char bytes[2] = {0, 0};
    ReadFromPhysicalMemory(physicalAddress, bytes, 2);
    word = static_cast<unsigned short>(bytes[0] | (bytes[1] << 8));
}

void showAddress(int control, unsigned short address) {
    if (address == 0)
        SetCtrlAttribute(lptPanel, control, ATTR_DIMMED, 1);
    else
        SetCtrlVal(lptPanel, control, address);
}

}  // namespace

int main(int, char*[]) {
    lptPanel = LoadPanel(0, "Parallela.uir", PORTS);
    if (lptPanel < 0) return -1;
    DisplayPanel(lptPanel);
    Inizialize();
    RunUserInterface();
    return 0;
}

void Inizialize() {
    readBiosWord(0x408, addr1);
    showAddress(PORTS_LPT1, addr1);
    readBiosWord(0x40A, addr2);
    showAddress(PORTS_LPT2, addr2);
    readBiosWord(0x40C, addr3);
    showAddress(PORTS_LPT3, addr3);
}

void GetLpt() {
    int i = -1;
    GetCtrlVal(lptPanel, PORTS_SELECT, &i);
    switch (i) {
        case 0:
            lpt = addr1;
            break;
        case 1:
            lpt = addr2;
            break;
        case 2:
            lpt = addr3;
            break;
        default:
            lpt = 0;
            break;
    }
}

int Selected(int, int, int event, void*, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    GetLpt();
    if (lpt == 0) {
        MessagePopup("Configuration error", "Selected port doesn't exist");
        return 0;
    }
    inizializeBus(lpt);
    mainPanel = LoadPanel(0, "zelmor.uir", MAIN);
    if (mainPanel < 0) return -1;
    DisplayPanel(mainPanel);
    HidePanel(lptPanel);
    char title[100];
    Fmt(title, "%s<%s%x%s", "ZELMOR on LPT (base address = ", static_cast<int>(lpt), "h)");
    SetPanelAttribute(mainPanel, ATTR_TITLE, title);
    return 0;
}

int Quit(int, int event, void*, int, int) {
    if (event == EVENT_CLOSE) QuitUserInterface(0);
    return 0;
}

void Usci() {
    QuitUserInterface(0);
}

void About() {
    MessagePopup("Zelmor on LPT for Win9x and WinNT",
                 "Version 1.0 - the Zelmor project\n"
                 "E-mail: zelmor@example.org\n"
                 "Web: https://www.example.org/zelmor\n"
                 "\n");
}

int ReadVolt(int, int, int event, void*, int, int) {
    if (event != EVENT_TIMER_TICK) return 0;
    double volts[8];
    index = index + 1;
    for (unsigned char channel = 0; channel < 8; ++channel) volts[channel] = getVolt(channel);
    int sel = 0;
    GetCtrlVal(mainPanel, MAIN_CHANNEL, &sel);
    // A selector outside 0-7 shows the out-of-range mark instead of memory past the scan.
    SetCtrlVal(mainPanel, MAIN_VOLTAGE, (sel >= 0 && sel < 8) ? volts[sel] : -1.0);
    for (int channel = 0; channel < 8; ++channel)
        SetCtrlVal(mainPanel, MAIN_CH0 - channel, volts[channel]);
    PlotStripChart(mainPanel, MAIN_CHART, volts, 8, 0, 0, VAL_DOUBLE);
    return 0;
}

int Stat(int, int, int event, void*, int, int) {
    if (event != EVENT_TIMER_TICK) return 0;
    SetCtrlVal(mainPanel, MAIN_RATE, index);
    index = 0;
    return 0;
}

int Chsample(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int n = 0;
    GetCtrlVal(mainPanel, MAIN_SAMPLES, &n);
    // A rate below 1 would make no interval at all: keep the current one.
    if (n < 1) return 0;
    SetCtrlAttribute(mainPanel, MAIN_TIMER, ATTR_INTERVAL, 1.0 / n);
    const double m = 1.1 * n;
    SetCtrlAttribute(mainPanel, MAIN_RATE, ATTR_MAX_VALUE,
                     m < INT_MAX ? static_cast<int>(m) : INT_MAX);
    return 0;
}

}  // namespace zelmor
