/* installer: the package stub; installs the drivers of the cabinet appended to it. */
#include "common.h"

int wmain(void)
{
    SayLine(L"This package carries no drivers.");
    return 1;
}
