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

/* A set of IDs, compared without regard to case. */
typedef struct {
    wchar_t **items;
    unsigned count, capacity;
} IdSet;

enum { MOST_IDS_OF_AN_INF = 100000 };

static BOOL IdSetHas(const IdSet *set, const wchar_t *id)
{
    for (unsigned index = 0; index < set->count; index++)
        if (SameId(set->items[index], id))
            return TRUE;
    return FALSE;
}

static void IdSetAdd(IdSet *set, const wchar_t *id)
{
    if (IdSetHas(set, id) || set->count >= MOST_IDS_OF_AN_INF)
        return;
    if (set->count == set->capacity) {
        unsigned capacity = set->capacity ? set->capacity * 2 : 16;
        SIZE_T size = capacity * sizeof *set->items;
        wchar_t **items = set->items ? HeapReAlloc(GetProcessHeap(), 0, set->items, size)
                                     : HeapAlloc(GetProcessHeap(), 0, size);
        if (!items)
            return;
        set->items = items;
        set->capacity = capacity;
    }
    size_t bytes = ((size_t)lstrlenW(id) + 1) * sizeof(wchar_t);
    wchar_t *copy = HeapAlloc(GetProcessHeap(), 0, bytes);
    if (copy) {
        memcpy(copy, id, bytes);
        set->items[set->count++] = copy;
    }
}

static void IdSetFree(IdSet *set)
{
    for (unsigned index = 0; index < set->count; index++)
        HeapFree(GetProcessHeap(), 0, set->items[index]);
    if (set->items)
        HeapFree(GetProcessHeap(), 0, set->items);
}

/* The hardware and compatible IDs of one models section: fields 2 and on. */
static void AddModelIds(HINF inf, const wchar_t *section, IdSet *ids)
{
    INFCONTEXT line;
    for (BOOL found = SetupFindFirstLineW(inf, section, NULL, &line); found; found = SetupFindNextLine(&line, &line)) {
        DWORD fields = SetupGetFieldCount(&line);
        for (DWORD field = 2; field <= fields; field++) {
            wchar_t id[MAX_DEVICE_ID_LEN];
            if (SetupGetStringFieldW(&line, field, id, MAX_DEVICE_ID_LEN, NULL) && id[0])
                IdSetAdd(ids, id);
        }
    }
}

/* The IDs of every models section [Manufacturer] names, plain and with each
 * of its platform decorations; UpdateDriverForPlugAndPlayDevices picks the
 * section that fits this Windows itself. */
static void ReadModelIds(const wchar_t *path, IdSet *ids)
{
    HINF inf = SetupOpenInfFileW(path, NULL, INF_STYLE_WIN4, NULL);
    if (inf == INVALID_HANDLE_VALUE)
        return;
    INFCONTEXT line;
    for (BOOL found = SetupFindFirstLineW(inf, L"Manufacturer", NULL, &line); found;
         found = SetupFindNextLine(&line, &line)) {
        wchar_t models[MAX_INF_STRING_LENGTH], decoration[64], section[MAX_INF_STRING_LENGTH + 65];
        if (!SetupGetStringFieldW(&line, 1, models, MAX_INF_STRING_LENGTH, NULL) || !models[0])
            continue;
        AddModelIds(inf, models, ids);
        DWORD fields = SetupGetFieldCount(&line);
        for (DWORD field = 2; field <= fields; field++) {
            if (SetupGetStringFieldW(&line, field, decoration, 64, NULL) && decoration[0]) {
                _snwprintf(section, sizeof section / sizeof section[0], L"%ls.%ls", models, decoration);
                section[sizeof section / sizeof section[0] - 1] = L'\0';
                AddModelIds(inf, section, ids);
            }
        }
    }
    SetupCloseInfFile(inf);
}

typedef struct {
    const IdSet *driverIds;
    IdSet matched;
} DeviceMatch;

/* Takes the device's most specific hardware ID that the driver names. */
static void MatchDevice(HDEVINFO set, SP_DEVINFO_DATA *device, const wchar_t *hardwareIds, void *context)
{
    (void)set;
    (void)device;
    DeviceMatch *match = context;
    for (const wchar_t *id = hardwareIds; *id; id += lstrlenW(id) + 1) {
        if (IdSetHas(match->driverIds, id)) {
            IdSetAdd(&match->matched, id);
            return;
        }
    }
}

BOOL InfNamesHardwareId(const wchar_t *inf, const wchar_t *hardwareId)
{
    IdSet driverIds = { NULL, 0, 0 };
    ReadModelIds(inf, &driverIds);
    BOOL named = IdSetHas(&driverIds, hardwareId);
    IdSetFree(&driverIds);
    return named;
}

BOOL StageAndInstallOnMatchingDevices(const wchar_t *inf, unsigned *matched, BOOL *restart)
{
    *matched = 0;
    if (!StageDriverPackage(inf))
        return FALSE;
    IdSet driverIds = { NULL, 0, 0 };
    ReadModelIds(inf, &driverIds);
    DeviceMatch match = { &driverIds, { NULL, 0, 0 } };
    BOOL installed = TRUE;
    if (ForEachPresentDevice(MatchDevice, &match) < 0)
        SayError(L"The list of devices could not be read", GetLastError());
    for (unsigned index = 0; index < match.matched.count; index++)
        installed &= UpdatePresentDevices(inf, match.matched.items[index], FALSE, restart);
    *matched = match.matched.count;
    IdSetFree(&match.matched);
    IdSetFree(&driverIds);
    return installed;
}

BOOL HasDriverStore(void)
{
    return LOBYTE(LOWORD(GetVersion())) >= 6;
}

static void InstallInf(const wchar_t *path, PackageTally *tally)
{
    DeviceClass deviceClass;
    SayFormat(L"\r\n%ls\r\n", path + lstrlenW(tally->root) + 1);
    if (!ReadInfClass(path, &deviceClass)) {
        SayLine(L"No device driver INF; skipped.");
        return;
    }
    tally->drivers++;
    unsigned matched;
    if (!StageAndInstallOnMatchingDevices(path, &matched, &tally->restart))
        tally->failed++;
    else if (matched == 0)
        SayLine(L"No present device matches the driver; Windows installs it when one is connected.");
}

static BOOL IsInfName(const wchar_t *name)
{
    int length = lstrlenW(name);
    return length > 4 && SameId(name + length - 4, L".inf");
}

void AddDriverPackagesIn(const wchar_t *folder, PackageTally *tally)
{
    wchar_t pattern[MAX_PATH], path[MAX_PATH];
    WIN32_FIND_DATAW entry;
    if (!JoinPath(pattern, folder, L"*"))
        return;
    HANDLE find = FindFirstFileW(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        BOOL isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (lstrcmpW(entry.cFileName, L".") == 0 || lstrcmpW(entry.cFileName, L"..") == 0 ||
            !JoinPath(path, folder, entry.cFileName))
            continue;
        if (isFolder && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            AddDriverPackagesIn(path, tally);
        else if (!isFolder && IsInfName(entry.cFileName))
            InstallInf(path, tally);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

int SayTally(const PackageTally *tally, const wchar_t *where)
{
    if (tally->drivers == 0) {
        SayFormat(L"The %ls holds no device driver.\r\n", where);
        return TOOL_NO_INPUT;
    }
    SayFormat(L"\r\n%u driver(s) in the %ls, %u with failures.\r\n", tally->drivers, where, tally->failed);
    if (tally->restart)
        SayLine(L"Restart Windows to finish the installation.");
    return tally->failed ? TOOL_FAILED : TOOL_DONE;
}
