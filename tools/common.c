#include "common.h"

#include <stdarg.h>

/* The resource that holds the 64-bit build in the 32-bit one (see CMakeLists.txt). */
#define NATIVE_TWIN_RESOURCE 1

ToolArguments ToolArgumentsAfterVerb(int argc, wchar_t **argv, const wchar_t *verb)
{
    ToolArguments arguments = { argc > 0 ? argc - 1 : 0, argc > 0 ? argv + 1 : argv };
    if (arguments.count > 0 && SameId(arguments.values[0], verb)) {
        arguments.count--;
        arguments.values++;
    }
    return arguments;
}

static void WriteRedirected(HANDLE output, const wchar_t *text, int length)
{
    char buffer[4 * 1024];
    while (length > 0) {
        /* Whole characters only: a surrogate pair stays in one block. */
        int chunk = length > 1024 ? 1024 : length;
        if (chunk < length && text[chunk - 1] >= 0xD800 && text[chunk - 1] <= 0xDBFF)
            chunk--;
        int bytes = WideCharToMultiByte(CP_UTF8, 0, text, chunk, buffer, sizeof buffer, NULL, NULL);
        DWORD written;
        if (bytes <= 0 || !WriteFile(output, buffer, (DWORD)bytes, &written, NULL))
            return;
        text += chunk;
        length -= chunk;
    }
}

void Say(const wchar_t *text)
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    int length = lstrlenW(text);
    DWORD mode, written;
    if (output == NULL || output == INVALID_HANDLE_VALUE || length == 0)
        return;
    if (GetConsoleMode(output, &mode))
        WriteConsoleW(output, text, (DWORD)length, &written, NULL);
    else
        WriteRedirected(output, text, length);
}

void SayLine(const wchar_t *text)
{
    Say(text);
    Say(L"\r\n");
}

void SayFormat(const wchar_t *format, ...)
{
    wchar_t text[2048];
    va_list arguments;
    va_start(arguments, format);
    int length = _vsnwprintf(text, sizeof text / sizeof text[0] - 1, format, arguments);
    va_end(arguments);
    text[length < 0 ? sizeof text / sizeof text[0] - 1 : (size_t)length] = L'\0';
    Say(text);
}

/* The system has no texts for the setup functions' own errors. */
static const wchar_t *SetupErrorText(DWORD error)
{
    switch (error) {
    case ERROR_NO_SUCH_DEVINST:
        return L"there is no such device";
    case ERROR_NO_DRIVER_SELECTED:
    case ERROR_NO_COMPAT_DRIVERS:
        return L"the INF has no driver for the device on this Windows";
    case ERROR_NO_ASSOCIATED_SERVICE:
        return L"the INF installs no service for the device";
    case ERROR_NO_CATALOG_FOR_OEM_INF:
        return L"the driver has no catalog file, so it is not signed";
    case ERROR_IN_WOW64:
        return L"32-bit programs cannot install devices on 64-bit Windows";
    default:
        return L"";
    }
}

void SayError(const wchar_t *what, DWORD error)
{
    wchar_t text[512];
    lstrcpynW(text, SetupErrorText(error), sizeof text / sizeof text[0]);
    DWORD length = (DWORD)lstrlenW(text);
    if (length == 0)
        length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, text,
                                sizeof text / sizeof text[0], NULL);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ' ||
                          text[length - 1] == L'.'))
        text[--length] = L'\0';
    if (error == ERROR_SUCCESS) /* a failure the system gave no reason for */
        SayFormat(L"%ls.\r\n", what);
    else if (length > 0)
        SayFormat(L"%ls: %ls (error 0x%08lX).\r\n", what, text, error);
    else
        SayFormat(L"%ls (error 0x%08lX).\r\n", what, error);
}

int FinishTool(int exitCode)
{
    enum { HOLD_MILLISECONDS = 30000 }; /* nobody may be there to press a key */
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode, processes[2];
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) || !GetConsoleMode(input, &mode) ||
        GetConsoleProcessList(processes, 2) != 1)
        return exitCode;
    SayLine(L"\r\nPress a key to close this window (it closes by itself in 30 seconds).");
    FlushConsoleInputBuffer(input);
    DWORD start = GetTickCount(), waited;
    INPUT_RECORD record;
    DWORD read;
    while ((waited = GetTickCount() - start) < HOLD_MILLISECONDS &&
           WaitForSingleObject(input, HOLD_MILLISECONDS - waited) == WAIT_OBJECT_0 &&
           ReadConsoleInputW(input, &record, 1, &read) && read == 1 &&
           !(record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)) {
    }
    return exitCode;
}

static wchar_t FoldCase(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? (wchar_t)(c - L'a' + L'A') : c;
}

BOOL SameIdPrefix(const wchar_t *id, const wchar_t *prefix)
{
    for (; *prefix; id++, prefix++)
        if (FoldCase(*id) != FoldCase(*prefix))
            return FALSE;
    return TRUE;
}

BOOL SameId(const wchar_t *left, const wchar_t *right)
{
    return lstrlenW(left) == lstrlenW(right) && SameIdPrefix(left, right);
}

BOOL IdListContains(const wchar_t *list, const wchar_t *id)
{
    for (; *list; list += lstrlenW(list) + 1)
        if (SameId(list, id))
            return TRUE;
    return FALSE;
}

wchar_t *DeviceHardwareIds(HDEVINFO set, SP_DEVINFO_DATA *device)
{
    DWORD type, size = 0;
    SetupDiGetDeviceRegistryPropertyW(set, device, SPDRP_HARDWAREID, &type, NULL, 0, &size);
    if (size == 0 || size > 64 * 1024)
        return NULL;
    /* Room for two more NULs: the stored list need not be terminated. */
    wchar_t *ids = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 2 * sizeof(wchar_t));
    if (ids && (!SetupDiGetDeviceRegistryPropertyW(set, device, SPDRP_HARDWAREID, &type, (BYTE *)ids, size, NULL) ||
                (type != REG_MULTI_SZ && type != REG_SZ))) {
        HeapFree(GetProcessHeap(), 0, ids);
        return NULL;
    }
    return ids;
}

int ForEachPresentDevice(DeviceVisitor visit, void *context)
{
    HDEVINFO set = SetupDiGetClassDevsW(NULL, NULL, NULL, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return -1;
    int visited = 0;
    SP_DEVINFO_DATA device = { sizeof device, { 0 }, 0, 0 };
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); index++) {
        wchar_t *ids = DeviceHardwareIds(set, &device);
        if (ids) {
            visited++;
            visit(set, &device, ids, context);
            HeapFree(GetProcessHeap(), 0, ids);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return visited;
}

typedef struct {
    const wchar_t *id;
    DeviceVisitor visit;
    void *context;
    int matches;
} IdFilter;

static void VisitIfIdMatches(HDEVINFO set, SP_DEVINFO_DATA *device, const wchar_t *hardwareIds, void *context)
{
    IdFilter *filter = context;
    if (!IdListContains(hardwareIds, filter->id))
        return;
    filter->matches++;
    if (filter->visit)
        filter->visit(set, device, hardwareIds, filter->context);
}

int ForEachPresentDeviceWithId(const wchar_t *id, DeviceVisitor visit, void *context)
{
    IdFilter filter = { id, visit, context, 0 };
    return ForEachPresentDevice(VisitIfIdMatches, &filter) < 0 ? -1 : filter.matches;
}

void DeviceInstanceId(HDEVINFO set, SP_DEVINFO_DATA *device, wchar_t *id, DWORD length)
{
    if (!SetupDiGetDeviceInstanceIdW(set, device, id, length, NULL))
        lstrcpynW(id, L"?", (int)length);
}

BOOL DeviceNeedsRestart(HDEVINFO set, SP_DEVINFO_DATA *device)
{
    SP_DEVINSTALL_PARAMS_W parameters;
    ZeroMemory(&parameters, sizeof parameters);
    parameters.cbSize = sizeof parameters;
    return SetupDiGetDeviceInstallParamsW(set, device, &parameters) &&
           (parameters.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0;
}

BOOL JoinPath(wchar_t path[MAX_PATH], const wchar_t *folder, const wchar_t *name)
{
    int length = _snwprintf(path, MAX_PATH, L"%ls\\%ls", folder, name);
    if (length < 0 || length >= MAX_PATH) {
        path[0] = L'\0';
        return FALSE;
    }
    return TRUE;
}

BOOL CreateFreshTempFolder(wchar_t folder[MAX_PATH])
{
    wchar_t base[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, base);
    if (length == 0 || length >= MAX_PATH - 32)
        return FALSE;
    for (unsigned attempt = 0; attempt < 1000; attempt++) {
        _snwprintf(folder, MAX_PATH, L"%lskorvane-%lx-%u", base, GetCurrentProcessId(), attempt);
        folder[MAX_PATH - 1] = L'\0';
        if (CreateDirectoryW(folder, NULL))
            return TRUE;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return FALSE;
    }
    return FALSE;
}

BOOL RemoveFolderTree(const wchar_t *folder)
{
    wchar_t pattern[MAX_PATH], path[MAX_PATH];
    WIN32_FIND_DATAW entry;
    if (!JoinPath(pattern, folder, L"*"))
        return FALSE;
    HANDLE find = FindFirstFileW(pattern, &entry);
    BOOL removed = TRUE;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (lstrcmpW(entry.cFileName, L".") == 0 || lstrcmpW(entry.cFileName, L"..") == 0)
                continue;
            if (!JoinPath(path, folder, entry.cFileName)) {
                removed = FALSE;
                continue;
            }
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                removed &= RemoveDirectoryW(path) || DeleteFileW(path);
            else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removed &= RemoveFolderTree(path);
            else
                removed &= SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL) && DeleteFileW(path);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return RemoveDirectoryW(folder) && removed;
}

const wchar_t *RawArguments(void)
{
    const wchar_t *line = GetCommandLineW();
    /* The program name ends at the closing quote, or unquoted at a blank. */
    if (*line == L'"') {
        for (line++; *line && *line != L'"'; line++) {
        }
        if (*line)
            line++;
    } else {
        while (*line && *line != L' ' && *line != L'\t')
            line++;
    }
    while (*line == L' ' || *line == L'\t')
        line++;
    return line;
}

#ifdef _WIN64
BOOL RanNativeTwin(const wchar_t *arguments, int *exitCode)
{
    (void)arguments;
    (void)exitCode;
    return FALSE;
}
#else
static BOOL RunningUnderWow64(void)
{
    /* Looked up at run time: XP before its second service pack lacks it. */
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    IsWow64ProcessFunction isWow64Process =
        (IsWow64ProcessFunction)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

static BOOL WriteWholeFile(const wchar_t *path, const void *bytes, DWORD size)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL complete = WriteFile(file, bytes, size, &written, NULL) && written == size;
    return CloseHandle(file) && complete;
}

/* Writes the carried 64-bit build under this program's own file name into folder. */
static BOOL WriteNativeTwin(const wchar_t *folder, wchar_t twin[MAX_PATH])
{
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, self, MAX_PATH);
    HRSRC resource = FindResourceW(NULL, MAKEINTRESOURCEW(NATIVE_TWIN_RESOURCE), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource ? LoadResource(NULL, resource) : NULL;
    const void *bytes = loaded ? LockResource(loaded) : NULL;
    if (length == 0 || length >= MAX_PATH || !bytes)
        return FALSE;
    const wchar_t *name = self + length;
    while (name > self && name[-1] != L'\\' && name[-1] != L'/')
        name--;
    return JoinPath(twin, folder, name) && WriteWholeFile(twin, bytes, SizeofResource(NULL, resource));
}

static BOOL RunAndWait(const wchar_t *program, const wchar_t *arguments, int *exitCode)
{
    size_t length = (size_t)lstrlenW(program) + (size_t)lstrlenW(arguments) + 4;
    wchar_t *commandLine = HeapAlloc(GetProcessHeap(), 0, length * sizeof(wchar_t));
    if (!commandLine)
        return FALSE;
    _snwprintf(commandLine, length, L"\"%ls\" %ls", program, arguments);
    commandLine[length - 1] = L'\0';
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessW(program, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
    HeapFree(GetProcessHeap(), 0, commandLine);
    if (!started)
        return FALSE;
    DWORD code = TOOL_FAILED;
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    *exitCode = (int)code;
    return TRUE;
}

BOOL RanNativeTwin(const wchar_t *arguments, int *exitCode)
{
    if (!RunningUnderWow64())
        return FALSE;
    wchar_t folder[MAX_PATH], twin[MAX_PATH];
    *exitCode = TOOL_FAILED;
    if (!CreateFreshTempFolder(folder)) {
        SayError(L"No temporary folder for the 64-bit program", GetLastError());
        return TRUE;
    }
    if (!WriteNativeTwin(folder, twin))
        SayError(L"The 64-bit program could not be written", GetLastError());
    else if (!RunAndWait(twin, arguments, exitCode))
        SayError(L"The 64-bit program could not be started", GetLastError());
    RemoveFolderTree(folder);
    return TRUE;
}
#endif
