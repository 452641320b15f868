// The converter link: register access to the chosen parallel port and the converter's serial
// protocol, from command byte to volts.
#pragma once

// Base I/O address of the chosen port (data register; status at porta + 1). 0 until bound.
extern int porta;

// One byte to / from an I/O port; the port number travels as a signed 16-bit number.
void out(int port, unsigned char value);
int in(int port);  // 0..255

// Bit helpers on the data-register image: -1 and nothing changed for a bit above 7.
int Set(unsigned char* b, int bit);
int Reset(unsigned char* b, int bit);
int Invert(unsigned char* b, int bit);
int IsHigh(unsigned int value, int bit);

// Binds the link to a port base and drives the idle pattern 0x1F, then pauses 1 ms.
void inizializeBus(int port);

int playCommand(unsigned char cmd);
void waitSstrb();
unsigned char getByte();
// One conversion of one channel, in volts; -1.0 for a channel above 7 (no port access).
double getVolt(unsigned char channel);
