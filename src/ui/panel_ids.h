// Panels and control IDs of the two panel resources, "Parallela.uir" and "zelmor.uir". Each
// control carries its ID and its name here as its object name in the resource.
#pragma once

// Port-selection panel.
enum : int {
    PORTS = 1,  // panel resource ID
    PORTS_SELECT = 2,
    PORTS_LPT3 = 3,
    PORTS_LPT2 = 4,
    PORTS_LPT1 = 5,
};

// Main panel.
enum : int {
    MAIN = 1,  // panel resource ID
    MAIN_VOLTAGE = 2,
    MAIN_RATE = 3,
    MAIN_SAMPLES = 4,
    MAIN_CH7 = 5,
    MAIN_CH6 = 6,
    MAIN_CH5 = 7,
    MAIN_CH4 = 8,
    MAIN_CH3 = 9,
    MAIN_CH2 = 10,
    MAIN_CH1 = 11,
    MAIN_CH0 = 12,
    MAIN_CHANNEL = 13,
    MAIN_TIMER = 16,
    MAIN_STAT_TIMER = 17,
    MAIN_CHART = 18,
};
