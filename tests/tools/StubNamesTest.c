/* The package stub's check of cabinet entry names, against the list the
 * core's name checks are tested with: every device is refused, alone and in
 * a subfolder, and every name that only looks like one is let through. */
#include "../../tools/package.h"
#include "../support/DeviceNameList.h"

#include <stdio.h>

#define COUNT(array) (sizeof array / sizeof array[0])

/* 1 when the stub's verdict on the name (below "sub\" when asked) is not the expected one. */
static int Disagrees(const char *utf8, BOOL inSubfolder, BOOL safe)
{
    wchar_t name[MAX_PATH] = L"sub\\";
    const int start = inSubfolder ? 4 : 0;
    if (!MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, name + start, MAX_PATH - start)) {
        printf("%s: not UTF-8\n", utf8);
        return 1;
    }
    if (!IsSafeEntryName(name) == !safe)
        return 0;
    printf("%s%s: %s\n", inSubfolder ? "sub\\" : "", utf8, safe ? "refused" : "let through");
    return 1;
}

int wmain(void)
{
    int failures = 0;
    for (size_t index = 0; index < COUNT(kDeviceNames); index++)
        failures += Disagrees(kDeviceNames[index], FALSE, FALSE) + Disagrees(kDeviceNames[index], TRUE, FALSE);
    for (size_t index = 0; index < COUNT(kNamesLikeDevices); index++)
        failures += Disagrees(kNamesLikeDevices[index], FALSE, TRUE);
    printf("%d name(s) judged otherwise than the list says\n", failures);
    return failures != 0;
}
