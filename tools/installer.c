/* installer [<Package_File>]: the package stub. Started with no arguments, it
 * extracts the cabinet appended to its own file into a fresh temporary folder
 * and installs every driver INF in it: into Windows' driver store, and onto
 * the present devices whose hardware IDs the INF's models name. Given a file,
 * it installs the package in that file instead; that is how the 32-bit build
 * hands itself to its 64-bit twin. Exit codes: see common.h. */
#include "devinstall.h"
#include "package.h"

static int InstallPackage(const AppendedCabinet *cabinet)
{
    wchar_t folder[MAX_PATH];
    if (!CreateFreshTempFolder(folder)) {
        SayError(L"No temporary folder for the package's files", GetLastError());
        return TOOL_FAILED;
    }
    PackageTally tally = { folder, 0, 0, FALSE };
    BOOL extracted = ExtractCabinet(cabinet, folder);
    if (extracted)
        AddDriverPackagesIn(folder, &tally);
    if (!RemoveFolderTree(folder))
        SayFormat(L"The temporary folder %ls could not be removed completely.\r\n", folder);
    if (!extracted)
        return TOOL_BAD_PACKAGE;
    int result = SayTally(&tally, L"package");
    return result == TOOL_NO_INPUT ? TOOL_BAD_PACKAGE : result;
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
