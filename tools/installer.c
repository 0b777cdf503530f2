/* installer [<Package_File>]: the package stub. Started with no arguments, it
 * extracts the cabinet appended to its own file into a fresh temporary folder
 * and installs every driver INF in it: into Windows' driver store, and onto
 * the present devices whose hardware IDs the INF's models name. Given a file,
 * it installs the package in that file instead; that is how the 32-bit build
 * hands itself to its 64-bit twin. Exit codes: see common.h. */
#include "devinstall.h"
#include "package.h"

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

typedef struct {
    const wchar_t *root; /* the folder the cabinet went to */
    unsigned drivers, failed;
    BOOL restart;
} Tally;

static void InstallInf(const wchar_t *path, Tally *tally)
{
    DeviceClass deviceClass;
    SayFormat(L"\r\n%ls\r\n", path + lstrlenW(tally->root) + 1);
    if (!ReadInfClass(path, &deviceClass)) {
        SayLine(L"No device driver INF; skipped.");
        return;
    }
    tally->drivers++;
    if (!StageDriverPackage(path)) {
        tally->failed++;
        return;
    }
    IdSet driverIds = { NULL, 0, 0 };
    ReadModelIds(path, &driverIds);
    DeviceMatch match = { &driverIds, { NULL, 0, 0 } };
    if (ForEachPresentDevice(MatchDevice, &match) < 0)
        SayError(L"The list of devices could not be read", GetLastError());
    if (match.matched.count == 0)
        SayLine(L"No present device matches the driver; Windows installs it when one is connected.");
    for (unsigned index = 0; index < match.matched.count; index++)
        if (!UpdatePresentDevices(path, match.matched.items[index], FALSE, &tally->restart))
            tally->failed++;
    IdSetFree(&match.matched);
    IdSetFree(&driverIds);
}

static BOOL IsInfName(const wchar_t *name)
{
    int length = lstrlenW(name);
    return length > 4 && SameId(name + length - 4, L".inf");
}

static void InstallInfsIn(const wchar_t *folder, Tally *tally)
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
            InstallInfsIn(path, tally);
        else if (!isFolder && IsInfName(entry.cFileName))
            InstallInf(path, tally);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

static int InstallPackage(const AppendedCabinet *cabinet)
{
    wchar_t folder[MAX_PATH];
    if (!CreateFreshTempFolder(folder)) {
        SayError(L"No temporary folder for the package's files", GetLastError());
        return TOOL_FAILED;
    }
    Tally tally = { folder, 0, 0, FALSE };
    int result = TOOL_BAD_PACKAGE;
    if (ExtractCabinet(cabinet, folder)) {
        InstallInfsIn(folder, &tally);
        if (tally.drivers == 0)
            SayLine(L"The package holds no device driver.");
        else
            result = tally.failed ? TOOL_FAILED : TOOL_DONE;
    }
    if (!RemoveFolderTree(folder))
        SayFormat(L"The temporary folder %ls could not be removed completely.\r\n", folder);
    if (tally.drivers > 0)
        SayFormat(L"\r\n%u driver(s) in the package, %u with failures.\r\n", tally.drivers, tally.failed);
    if (tally.restart)
        SayLine(L"Restart Windows to finish the installation.");
    return result;
}

static int Run(int argc, wchar_t **argv)
{
    if (argc > 2 || (argc == 2 && argv[1][0] == L'\0')) {
        SayLine(L"usage: installer [<Package_File>]");
        return TOOL_USAGE;
    }
    wchar_t package[MAX_PATH];
    DWORD length = argc == 2 ? GetFullPathNameW(argv[1], MAX_PATH, package, NULL)
                             : GetModuleFileNameW(NULL, package, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        SayLine(L"The package's path is too long.");
        return TOOL_NO_INPUT;
    }
    wchar_t quoted[MAX_PATH + 2];
    _snwprintf(quoted, MAX_PATH + 2, L"\"%ls\"", package);
    quoted[MAX_PATH + 1] = L'\0';
    int exitCode;
    if (RanNativeTwin(quoted, &exitCode))
        return exitCode;
    HANDLE file = CreateFileW(package, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        SayError(L"The package cannot be read", GetLastError());
        return TOOL_NO_INPUT;
    }
    AppendedCabinet cabinet;
    exitCode = FindAppendedCabinet(file, &cabinet);
    if (exitCode == TOOL_DONE)
        exitCode = InstallPackage(&cabinet);
    CloseHandle(file);
    return exitCode;
}

int wmain(int argc, wchar_t **argv)
{
    return FinishTool(Run(argc, argv));
}
