/* devmount [install] "<INF_File>" "<Hardware_ID>": installs the INF's driver
 * for the devices with that hardware ID. Present devices get it directly; with
 * none present, a root-enumerated ID gets a new root device of the INF's class,
 * and any other ID gets the driver staged for the moment the device appears.
 * Exit codes: see common.h. */
#include "devinstall.h"

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
    if (present > 0) {
        SayFormat(L"%d present device(s) have this hardware ID.\r\n", present);
        installed = UpdatePresentDevices(inf, hardwareId, TRUE, &restart);
    } else if (IsRootEnumeratedId(hardwareId)) {
        SayLine(L"No present device has this hardware ID.");
        installed = InstallOnNewRootDevice(inf, &deviceClass, hardwareId, &restart);
    } else {
        SayLine(L"No present device has this hardware ID; Windows installs the driver when the device is connected.");
        installed = StageDriverPackage(inf);
    }
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
