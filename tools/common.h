/* Shared by the carried Windows programs: command lines, console output and
 * hardware ID matching. Plain Win32, no C++ runtime, so the programs stay small
 * and run on every Windows from XP on. */
#ifndef KORVANE_TOOLS_COMMON_H
#define KORVANE_TOOLS_COMMON_H

#include <windows.h>

/* The arguments after an optional leading verb ("install", "remove"), which
 * callers may pass or leave out. */
typedef struct {
    int count;
    wchar_t **values;
} ToolArguments;

ToolArguments ToolArgumentsAfterVerb(int argc, wchar_t **argv, const wchar_t *verb);

/* Writes to standard output: to the console as UTF-16, to a redirected handle
 * (file or pipe) as UTF-8. */
void Say(const wchar_t *text);
void SayLine(const wchar_t *text);
/* printf-style; the result is cut at 2047 characters. */
void SayFormat(const wchar_t *format, ...);

#endif
