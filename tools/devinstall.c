#include "devinstall.h"

#include <newdev.h>

static void CountDriverless(HDEVINFO set, SP_DEVINFO_DATA *device, const wchar_t *hardwareIds, void *context)
{
    (void)hardwareIds;
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, device, SPDRP_DRIVER, NULL, NULL, 0, &size) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        ++*(int *)context;
}

BOOL UpdatePresentDevices(const wchar_t *inf, const wchar_t *hardwareId, BOOL force, BOOL *restart)
{
    BOOL rebootRequired = FALSE;
    if (UpdateDriverForPlugAndPlayDevicesW(NULL, hardwareId, inf, force ? INSTALLFLAG_FORCE : 0, &rebootRequired)) {
        /* Some systems (Wine) report success when the INF had no driver for the device. */
        int driverless = 0;
        ForEachPresentDeviceWithId(hardwareId, CountDriverless, &driverless);
        if (driverless > 0) {
            SayFormat(L"The INF has no driver for %d device(s) with hardware ID %ls on this Windows.\r\n", driverless,
                      hardwareId);
            return FALSE;
        }
        SayFormat(L"Installed the driver for the devices with hardware ID %ls.\r\n", hardwareId);
        *restart |= rebootRequired;
        return TRUE;
    }
    DWORD error = GetLastError();
    if (!force && error == ERROR_NO_MORE_ITEMS) {
        SayFormat(L"The devices with hardware ID %ls keep their driver: Windows ranks it as good as this one "
                  L"or better.\r\n", hardwareId);
        return TRUE;
    }
    wchar_t what[512];
    _snwprintf(what, sizeof what / sizeof what[0], L"Installing the driver for hardware ID %ls failed", hardwareId);
    what[sizeof what / sizeof what[0] - 1] = L'\0';
    SayError(what, error);
    return FALSE;
}

BOOL StageDriverPackage(const wchar_t *inf)
{
    wchar_t staged[MAX_PATH];
    if (!SetupCopyOEMInfW(inf, NULL, SPOST_PATH, 0, staged, MAX_PATH, NULL, NULL)) {
        SayError(L"Staging the driver failed", GetLastError());
        return FALSE;
    }
    SayFormat(L"The driver is staged as %ls.\r\n", staged);
    return TRUE;
}

BOOL ReadInfClass(const wchar_t *inf, DeviceClass *deviceClass)
{
    static const GUID noClass;
    if (!SetupDiGetINFClassW(inf, &deviceClass->guid, deviceClass->name, MAX_CLASS_NAME_LEN, NULL))
        return FALSE;
    if (IsEqualGUID(&deviceClass->guid, &noClass)) {
        SetLastError(ERROR_INVALID_CLASS);
        return FALSE;
    }
    return TRUE;
}

BOOL IsRootEnumeratedId(const wchar_t *hardwareId)
{
    if (SameIdPrefix(hardwareId, L"ROOT\\"))
        return TRUE;
    /* "*PNP0501" and "BUS\..." are reported by a bus (ACPI, PCI, USB, ...): a
     * root-enumerated copy would start a hardware driver with no hardware. */
    return hardwareId[0] != L'*' && hardwareId[0] != L'\0' && !wcschr(hardwareId, L'\\');
}

/* A device of the INF's class with the hardware ID, known to Plug and Play. */
static BOOL RegisterRootDevice(HDEVINFO set, SP_DEVINFO_DATA *device, const DeviceClass *deviceClass,
                               const wchar_t *hardwareId)
{
    size_t length = (size_t)lstrlenW(hardwareId);
    wchar_t ids[MAX_DEVICE_ID_LEN + 2] = L"";
    if (length >= MAX_DEVICE_ID_LEN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    lstrcpyW(ids, hardwareId); /* and a second NUL: a one-entry list */
    return SetupDiCreateDeviceInfoW(set, deviceClass->name, &deviceClass->guid, NULL, NULL, DICD_GENERATE_ID, device) &&
           SetupDiSetDeviceRegistryPropertyW(set, device, SPDRP_HARDWAREID, (BYTE *)ids,
                                             (DWORD)((length + 2) * sizeof(wchar_t))) &&
           SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, device);
}

static void RemoveFailedDevice(HDEVINFO set, SP_DEVINFO_DATA *device)
{
    if (!SetupDiCallClassInstaller(DIF_REMOVE, set, device))
        SayError(L"The new device could not be removed again", GetLastError());
}

BOOL InstallOnNewRootDevice(const wchar_t *inf, const DeviceClass *deviceClass, const wchar_t *hardwareId,
                            BOOL *restart)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&deviceClass->guid, NULL);
    if (set == INVALID_HANDLE_VALUE) {
        SayError(L"No device list", GetLastError());
        return FALSE;
    }
    SP_DEVINFO_DATA device = { sizeof device, { 0 }, 0, 0 };
    BOOL installed = FALSE;
    if (!RegisterRootDevice(set, &device, deviceClass, hardwareId)) {
        SayError(L"Creating a root-enumerated device failed", GetLastError());
    } else {
        wchar_t instance[MAX_DEVICE_ID_LEN];
        DeviceInstanceId(set, &device, instance, MAX_DEVICE_ID_LEN);
        SayFormat(L"Created the root-enumerated device %ls.\r\n", instance);
        installed = UpdatePresentDevices(inf, hardwareId, TRUE, restart);
        if (!installed)
            RemoveFailedDevice(set, &device);
    }
    SetupDiDestroyDeviceInfoList(set);
    return installed;
}
