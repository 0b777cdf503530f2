/* devmount [install] "<INF_File>" "<Hardware_ID>": installs the INF's driver
 * for the devices with that hardware ID. Where Windows keeps a driver store
 * (Vista and later) the INF's package is added first, as Windows' own tool
 * adds one, and goes to every present device it suits best; before Vista the
 * present devices with the ID get it directly. With none of them present, a
 * root-enumerated ID gets a new root device of the INF's class, and any other
 * ID gets the driver staged for the moment the device appears.
 * Exit codes: see common.h. */
#include "devinstall.h"

/* Before Vista: the devices with the ID get this driver, whatever Windows thinks of the one they have. */
static BOOL InstallOnDevicesWithId(const wchar_t *inf, const wchar_t *hardwareId, int present, BOOL *restart)
{
    SayFormat(L"%d present device(s) have this hardware ID.\r\n", present);
    return UpdatePresentDevices(inf, hardwareId, TRUE, restart);
}

/* Vista and later: staged, then on the present devices the package suits, as
 * "add the driver and install it" does on the same folder. */
static BOOL AddDriverPackage(const wchar_t *inf, const wchar_t *hardwareId, int present, BOOL *restart)
{
    if (!InfNamesHardwareId(inf, hardwareId)) {
        SayFormat(L"The INF names no driver for hardware ID %ls; nothing was installed.\r\n", hardwareId);
        return FALSE;
    }
    unsigned matched;
    if (!StageAndInstallOnMatchingDevices(inf, &matched, restart))
        return FALSE;
    if (present > 0)
        SayFormat(L"%d present device(s) have this hardware ID; %u present device(s) match the driver.\r\n", present,
                  matched);
    return TRUE;
}

/* No present device has the ID: a root-enumerated one is created, since no
 * bus ever reports it; other hardware finds the staged driver when it appears. */
static BOOL InstallForAbsentDevice(const wchar_t *inf, const DeviceClass *deviceClass, const wchar_t *hardwareId,
                                   BOOL staged, BOOL *restart)
{
    if (IsRootEnumeratedId(hardwareId)) {
        SayLine(L"No present device has this hardware ID.");
        return InstallOnNewRootDevice(inf, deviceClass, hardwareId, restart);
    }
    SayLine(L"No present device has this hardware ID; Windows installs the driver when the device is connected.");
    return staged || StageDriverPackage(inf);
}

static int InstallDriver(const wchar_t *inf, const wchar_t *hardwareId)
{
    DeviceClass deviceClass;
    if (!ReadInfClass(inf, &deviceClass)) {
        SayError(L"The INF file names no device class", GetLastError());
        return TOOL_NO_INPUT;
    }
    SayFormat(L"Installing the driver of %ls (class %ls) for hardware ID %ls.\r\n", inf, deviceClass.name, hardwareId);
    int present = ForEachPresentDeviceWithId(hardwareId, NULL, NULL);
    BOOL restart = FALSE, installed;
    if (HasDriverStore())
        installed = AddDriverPackage(inf, hardwareId, present, &restart) &&
                    (present > 0 || InstallForAbsentDevice(inf, &deviceClass, hardwareId, TRUE, &restart));
    else if (present > 0)
        installed = InstallOnDevicesWithId(inf, hardwareId, present, &restart);
    else
        installed = InstallForAbsentDevice(inf, &deviceClass, hardwareId, FALSE, &restart);
    if (installed && restart)
        SayLine(L"Restart Windows to finish the installation.");
    return installed ? TOOL_DONE : TOOL_FAILED;
}

static int Run(int argc, wchar_t **argv)
{
    ToolArguments arguments = ToolArgumentsAfterVerb(argc, argv, L"install");
    if (arguments.count != 2 || arguments.values[0][0] == L'\0' || arguments.values[1][0] == L'\0') {
        SayLine(L"usage: install <INF_File> <Hardware_ID>");
        return TOOL_USAGE;
    }
    /* The setup functions want a full path; relative ones start from the working folder. */
    wchar_t inf[MAX_PATH];
    DWORD length = GetFullPathNameW(arguments.values[0], MAX_PATH, inf, NULL);
    DWORD attributes = length > 0 && length < MAX_PATH ? GetFileAttributesW(inf) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SayFormat(L"The INF file %ls was not found.\r\n", arguments.values[0]);
        return TOOL_NO_INPUT;
    }
    int exitCode;
    if (RanNativeTwin(RawArguments(), &exitCode))
        return exitCode;
    return InstallDriver(inf, arguments.values[1]);
}

int wmain(int argc, wchar_t **argv)
{
    return FinishTool(Run(argc, argv));
}
