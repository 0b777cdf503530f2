/* The cabinet appended to the package stub: finding it behind the program's
 * own image and extracting it into a folder. Every size and name in the file
 * is checked before it is used. */
#ifndef KORVANE_TOOLS_PACKAGE_H
#define KORVANE_TOOLS_PACKAGE_H

#include "common.h"

typedef struct {
    HANDLE file;
    ULONGLONG offset; /* where the cabinet starts in the file */
    ULONG length;     /* the cabinet's own length, from its header */
    unsigned files;   /* the number of files its header declares */
} AppendedCabinet;

/* Finds the cabinet behind the PE image of file; says why on failure and
 * returns TOOL_NO_INPUT (no cabinet) or TOOL_BAD_PACKAGE. */
int FindAppendedCabinet(HANDLE file, AppendedCabinet *cabinet);
/* Extracts every file into folder (a fresh, empty one); says why on failure. */
BOOL ExtractCabinet(const AppendedCabinet *cabinet, const wchar_t *folder);
/* Whether a cabinet entry name stays inside the folder it is extracted to:
 * relative, no drive, stream or device name, no "." or ".." steps. */
BOOL IsSafeEntryName(const wchar_t *name);

#endif
