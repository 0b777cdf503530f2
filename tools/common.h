/* Shared by the carried Windows programs: command lines, console output,
 * hardware ID matching, temporary folders and the native 64-bit twin.
 * Plain C and Win32, so the programs stay small and run from XP on. */
#ifndef KORVANE_TOOLS_COMMON_H
#define KORVANE_TOOLS_COMMON_H

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
#include <wchar.h>

/* Exit codes of the three programs. */
enum {
    TOOL_DONE = 0,        /* done; a needed restart is said on the console */
    TOOL_USAGE = 1,       /* wrong arguments */
    TOOL_NO_INPUT = 2,    /* the INF is missing or names no device class; the package carries no cabinet */
    TOOL_FAILED = 3,      /* the system refused an installation or a removal */
    TOOL_NO_DEVICE = 4,   /* devunmnt: no present device has the hardware ID */
    TOOL_BAD_PACKAGE = 5  /* installer: the cabinet is damaged, truncated, spanned or names unsafe files */
};

/* The arguments after an optional leading verb ("install", "remove"), which
 * callers may pass or leave out. */
typedef struct {
    int count;
    wchar_t **values;
} ToolArguments;

ToolArguments ToolArgumentsAfterVerb(int argc, wchar_t **argv, const wchar_t *verb);

/* Standard output: UTF-16 to a console, UTF-8 to a file or pipe. */
void Say(const wchar_t *text);
void SayLine(const wchar_t *text);
void SayFormat(const wchar_t *format, ...); /* cut at 2047 characters */
/* "<what>: <the system's text> (error 0x...)." */
void SayError(const wchar_t *what, DWORD error);

/* Returns exitCode, after waiting for a key (30 seconds at most) when the
 * program has a console window of its own (started from Explorer or by
 * Korvane, not from a command prompt), so that the window does not close
 * before it has been read. */
int FinishTool(int exitCode);

/* Hardware IDs are ASCII and compare without regard to case in every locale. */
BOOL SameId(const wchar_t *left, const wchar_t *right);
BOOL SameIdPrefix(const wchar_t *id, const wchar_t *prefix);
/* The device's hardware IDs as a double-NUL-terminated list, or NULL; HeapFree it. */
wchar_t *DeviceHardwareIds(HDEVINFO set, SP_DEVINFO_DATA *device);
/* Whether a double-NUL-terminated list holds id. */
BOOL IdListContains(const wchar_t *list, const wchar_t *id);

/* Calls visit for every present device with hardware IDs, or only for those
 * whose hardware IDs include id. Both return the number of devices visited,
 * or -1 when the device list cannot be read. */
typedef void (*DeviceVisitor)(HDEVINFO set, SP_DEVINFO_DATA *device, const wchar_t *hardwareIds, void *context);
int ForEachPresentDevice(DeviceVisitor visit, void *context);
int ForEachPresentDeviceWithId(const wchar_t *id, DeviceVisitor visit, void *context);
/* The device's instance ID ("ROOT\KORVANETEST\0000"), or "?" when unknown. */
void DeviceInstanceId(HDEVINFO set, SP_DEVINFO_DATA *device, wchar_t *id, DWORD length);
BOOL DeviceNeedsRestart(HDEVINFO set, SP_DEVINFO_DATA *device);

/* A new, empty folder under the user's temporary folder. */
BOOL CreateFreshTempFolder(wchar_t folder[MAX_PATH]);
/* Deletes a folder and everything in it; never follows a reparse point. */
BOOL RemoveFolderTree(const wchar_t *folder);
/* folder + "\" + name into path; FALSE when it would not fit. */
BOOL JoinPath(wchar_t path[MAX_PATH], const wchar_t *folder, const wchar_t *name);

/* The command line after the program name, exactly as it was given. */
const wchar_t *RawArguments(void);
/* 64-bit Windows installs and removes devices only for 64-bit processes, so
 * the 32-bit build carries its 64-bit build and runs that in its place with
 * the given arguments. FALSE when this process does the work itself. */
BOOL RanNativeTwin(const wchar_t *arguments, int *exitCode);

#endif
