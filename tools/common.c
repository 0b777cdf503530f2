#include "common.h"

#include <stdarg.h>
#include <wchar.h>

ToolArguments ToolArgumentsAfterVerb(int argc, wchar_t **argv, const wchar_t *verb)
{
    ToolArguments arguments = { argc > 0 ? argc - 1 : 0, argc > 0 ? argv + 1 : argv };
    if (arguments.count > 0 && lstrcmpiW(arguments.values[0], verb) == 0) {
        arguments.count--;
        arguments.values++;
    }
    return arguments;
}

static void WriteRedirected(HANDLE output, const wchar_t *text, int length)
{
    char buffer[4096];
    while (length > 0) {
        /* Whole characters only: never split a surrogate pair between blocks. */
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
