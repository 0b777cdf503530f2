/* Names Windows opens as devices and names that only look like them: one list
 * for every check of names, in C++ and in the carried programs' C, so that the
 * checks cannot drift apart again. UTF-8. */
#ifndef KORVANE_TESTS_DEVICENAMELIST_H
#define KORVANE_TESTS_DEVICENAMELIST_H

static const char *const kDeviceNames[] = {
    "CON",       "con",        "Prn",     "AUX",     "nul",        "NUL.sys", "nul .txt",
    "CONIN$",    "conout$",    "CLOCK$.inf", "CONFIG$", "COM1",    "com9.dll", "LPT1",
    "lpt9",      "COM\u00b9.txt", "LPT\u00b2", "com\u00b3", "COM1 .x", "AUX.tar.gz"};

static const char *const kNamesLikeDevices[] = {
    "COM0",      "COM10",      "LPT",     "LPT0.txt", "console.sys", "nullmdm.inf", "xcon",  "AUX1",
    "COM\u2074", "LPT\u00b9\u00b9", "CON_", "CLOCK",  "CONFIG.SYS",  "PRN1.inf",    "a.CON"};

#endif
