/* Installing an INF's driver for the devices with one hardware ID; shared by
 * devmount and the package stub. Each function says on the console what it did. */
#ifndef KORVANE_TOOLS_DEVINSTALL_H
#define KORVANE_TOOLS_DEVINSTALL_H

#include "common.h"

/* The device class an INF installs into. */
typedef struct {
    GUID guid;
    wchar_t name[MAX_CLASS_NAME_LEN];
} DeviceClass;

/* FALSE when the INF cannot be read or names no known class. */
BOOL ReadInfClass(const wchar_t *inf, DeviceClass *deviceClass);
/* Installs the driver on the present devices with the hardware ID; force
 * installs it even where Windows ranks the device's own driver higher. */
BOOL UpdatePresentDevices(const wchar_t *inf, const wchar_t *hardwareId, BOOL force, BOOL *restart);
/* Stages the INF: copies it where Plug and Play finds it (the driver store)
 * when a matching device appears. */
BOOL StageDriverPackage(const wchar_t *inf);
/* Whether the models of the INF name the hardware ID, on any platform. */
BOOL InfNamesHardwareId(const wchar_t *inf, const wchar_t *hardwareId);
/* Adds the INF's driver package and installs it as Windows' own tool does:
 * staged first, so that Plug and Play finds it for devices that appear later,
 * then installed on every present device whose hardware IDs its models name,
 * wherever Windows ranks it above the device's own driver. matched counts
 * those devices. FALSE when staging or an installation failed. */
BOOL StageAndInstallOnMatchingDevices(const wchar_t *inf, unsigned *matched, BOOL *restart);
/* Whether Windows keeps driver packages in a driver store (Vista and later). */
BOOL HasDriverStore(void);
/* A walk that adds every driver package below a folder. */
typedef struct {
    const wchar_t *root; /* the folder the walk began in */
    unsigned drivers, failed;
    BOOL restart;
} PackageTally;
/* Adds and installs (as StageAndInstallOnMatchingDevices) the package of
 * every device driver INF below folder, sub-folders included, each where it
 * lies; links to folders are not followed. */
void AddDriverPackagesIn(const wchar_t *folder, PackageTally *tally);
/* Says what the walk found in the "package" or "folder" and whether Windows
 * must restart; the exit code: TOOL_NO_INPUT when it found no driver. */
int SayTally(const PackageTally *tally, const wchar_t *where);
/* Whether no bus reports the ID, so that only a root-enumerated device can
 * carry it: "ROOT\..." or a bare name. */
BOOL IsRootEnumeratedId(const wchar_t *hardwareId);
/* Creates a root-enumerated device of the INF's class with the hardware ID
 * and installs the driver on it; a device whose installation fails is removed again. */
BOOL InstallOnNewRootDevice(const wchar_t *inf, const DeviceClass *deviceClass, const wchar_t *hardwareId,
                            BOOL *restart);

#endif
