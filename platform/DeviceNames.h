/* The names Windows opens as devices in every folder, whatever extension
 * follows them ("nul.txt", "COM1 .log"). One rule for everything that
 * checks names: the core in C++ and the carried programs in C include this
 * header alike. Names come as UTF-16 code units, as Windows sees them. */
#ifndef KORVANE_PLATFORM_DEVICENAMES_H
#define KORVANE_PLATFORM_DEVICENAMES_H

#include <stddef.h>
#include <stdint.h>

static inline int korvane_same_ascii_letters(const uint16_t *text, const char *upper, size_t length)
{
    for (size_t index = 0; index < length; index++) {
        uint16_t unit = text[index];
        if (unit >= 'a' && unit <= 'z')
            unit = (uint16_t)(unit - 'a' + 'A');
        if (unit != (unsigned char)upper[index])
            return 0;
    }
    return 1;
}

/* COM and LPT take 1 to 9, and the superscript digits 1 to 3 as well. */
static inline int korvane_is_device_digit(uint16_t unit)
{
    return (unit >= '1' && unit <= '9') || unit == 0x00B9 || unit == 0x00B2 || unit == 0x00B3;
}

/* Whether one component of a path (no backslash in it) names a device: its
 * stem, the part before the first dot with the blanks that end it removed,
 * compares without regard to case. */
static inline int korvane_is_device_name(const uint16_t *name, size_t length)
{
    static const char *const devices[] = { "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$", "CONFIG$" };
    size_t stem = 0;
    while (stem < length && name[stem] != '.')
        stem++;
    while (stem > 0 && name[stem - 1] == ' ')
        stem--;
    for (size_t index = 0; index < sizeof devices / sizeof devices[0]; index++) {
        const char *device = devices[index];
        size_t deviceLength = 0;
        while (device[deviceLength])
            deviceLength++;
        if (stem == deviceLength && korvane_same_ascii_letters(name, device, stem))
            return 1;
    }
    return stem == 4 && (korvane_same_ascii_letters(name, "COM", 3) || korvane_same_ascii_letters(name, "LPT", 3)) &&
           korvane_is_device_digit(name[3]);
}

#endif
