/* devmount [install] "<INF_File>" "<Hardware_ID>": installs the INF's driver
 * for the devices with that hardware ID. Where Windows keeps a driver store
 * (Vista and later) the INF's package is added first, as Windows' own tool
 * adds one, and goes to every present device it suits best; before Vista the
 * present devices with the ID get it directly. With none of them present, a
 * root-enumerated ID gets a new root device of the INF's class, and any other
 * ID gets the driver staged for the moment the device appears.
 * devmount add-driver "<Folder>": adds and installs every driver package
 * below the folder, as Windows' own tool does; that restores a whole backup
 * folder on Windows with a driver store, each package where it lies.
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

/* As Windows' own tool adds every package below a folder and installs them:
 * a backup folder restored where it lies, its sub-folders kept. */
static int AddDriversBelow(const wchar_t *folder)
{
    PackageTally tally = { folder, 0, 0, FALSE };
    SayFormat(L"Adding the drivers below %ls.\r\n", folder);
    AddDriverPackagesIn(folder, &tally);
    return SayTally(&tally, L"folder");
}

/* The setup functions want full paths; relative ones start from the working
 * folder. FALSE when the path is too long or names no entry of the kind. */
static BOOL FullPathOf(const wchar_t *given, BOOL folder, wchar_t path[MAX_PATH])
{
    DWORD length = GetFullPathNameW(given, MAX_PATH, path, NULL);
    DWORD attributes = length > 0 && length < MAX_PATH ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

static int Run(int argc, wchar_t **argv)
{
    wchar_t path[MAX_PATH];
    int exitCode;
    if (argc == 3 && SameId(argv[1], L"add-driver") && argv[2][0] != L'\0') {
        if (!FullPathOf(argv[2], TRUE, path)) {
            SayFormat(L"The folder %ls was not found.\r\n", argv[2]);
            return TOOL_NO_INPUT;
        }
        return RanNativeTwin(RawArguments(), &exitCode) ? exitCode : AddDriversBelow(path);
    }
    ToolArguments arguments = ToolArgumentsAfterVerb(argc, argv, L"install");
    if (arguments.count != 2 || arguments.values[0][0] == L'\0' || arguments.values[1][0] == L'\0') {
        SayLine(L"usage: install <INF_File> <Hardware_ID>");
        SayLine(L"       add-driver <Folder>");
        return TOOL_USAGE;
    }
    if (!FullPathOf(arguments.values[0], FALSE, path)) {
        SayFormat(L"The INF file %ls was not found.\r\n", arguments.values[0]);
        return TOOL_NO_INPUT;
    }
    return RanNativeTwin(RawArguments(), &exitCode) ? exitCode : InstallDriver(path, arguments.values[1]);
}

int wmain(int argc, wchar_t **argv)
{
    return FinishTool(Run(argc, argv));
}
