/* installer [<Package_File>]: the package stub. Started with no arguments, it
 * extracts the cabinet appended to its own file into a fresh temporary folder
 * and installs every driver INF in it: into Windows' driver store, and onto
 * the present devices whose hardware IDs the INF's models name. Given a file,
 * it installs the package in that file instead; that is how the 32-bit build
 * hands itself to its 64-bit twin. Exit codes: see common.h. */
#include "devinstall.h"
#include "package.h"

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
