/* devunmnt [remove] "<Hardware_ID>": removes every present device whose
 * hardware IDs include that ID, through its class installer.
 * Exit codes: see common.h. */
#include "common.h"

typedef struct {
    int removed, failed;
    BOOL restart;
} Removal;

static void RemoveDevice(HDEVINFO set, SP_DEVINFO_DATA *device, const wchar_t *hardwareIds, void *context)
{
    (void)hardwareIds;
    Removal *removal = context;
    wchar_t instance[MAX_DEVICE_ID_LEN];
    DeviceInstanceId(set, device, instance, MAX_DEVICE_ID_LEN);
    /* The parameters only restate the default, a removal from every hardware
     * profile; the removal goes on where they cannot be set (Wine). */
    SP_REMOVEDEVICE_PARAMS parameters;
    ZeroMemory(&parameters, sizeof parameters);
    parameters.ClassInstallHeader.cbSize = sizeof parameters.ClassInstallHeader;
    parameters.ClassInstallHeader.InstallFunction = DIF_REMOVE;
    parameters.Scope = DI_REMOVEDEVICE_GLOBAL;
    SetupDiSetClassInstallParamsW(set, device, &parameters.ClassInstallHeader, sizeof parameters);
    if (SetupDiCallClassInstaller(DIF_REMOVE, set, device)) {
        SayFormat(L"Removed the device %ls.\r\n", instance);
        removal->removed++;
        removal->restart |= DeviceNeedsRestart(set, device);
    } else {
        wchar_t what[MAX_DEVICE_ID_LEN + 64];
        _snwprintf(what, sizeof what / sizeof what[0], L"Removing the device %ls failed", instance);
        what[sizeof what / sizeof what[0] - 1] = L'\0';
        SayError(what, GetLastError());
        removal->failed++;
    }
}

static int Run(int argc, wchar_t **argv)
{
    ToolArguments arguments = ToolArgumentsAfterVerb(argc, argv, L"remove");
    if (arguments.count != 1 || arguments.values[0][0] == L'\0') {
        SayLine(L"usage: remove <Hardware_ID>");
        return TOOL_USAGE;
    }
    int exitCode;
    if (RanNativeTwin(RawArguments(), &exitCode))
        return exitCode;
    const wchar_t *hardwareId = arguments.values[0];
    Removal removal = { 0, 0, FALSE };
    int matches = ForEachPresentDeviceWithId(hardwareId, RemoveDevice, &removal);
    if (matches < 0) {
        SayError(L"The list of devices could not be read", GetLastError());
        return TOOL_FAILED;
    }
    if (matches == 0) {
        SayFormat(L"No present device has the hardware ID %ls.\r\n", hardwareId);
        return TOOL_NO_DEVICE;
    }
    if (removal.restart)
        SayLine(L"Restart Windows to finish the removal.");
    return removal.failed ? TOOL_FAILED : TOOL_DONE;
}

int wmain(int argc, wchar_t **argv)
{
    return FinishTool(Run(argc, argv));
}
