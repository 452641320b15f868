// The program: port selection at start-up, then the acquisition cycle on the main panel.
#pragma once

#include "engine/user_interface.h"

namespace zelmor {

// Base addresses of LPT1-LPT3 as the BIOS lists them, and the one chosen; 0 means none.
extern unsigned short addr1, addr2, addr3, lpt;
extern int lptPanel, mainPanel;
// Scans made since the last statistics tick.
extern int index;

int main(int argc, char* argv[]);
void Inizialize();
void GetLpt();

int Selected(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Quit(int panel, int event, void* callbackData, int eventData1, int eventData2);
void Usci();
void About();
int ReadVolt(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Stat(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Chsample(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// The callbacks by the names the panel resources use.
extern const engine::CallbackTable callbacks;

}  // namespace zelmor
