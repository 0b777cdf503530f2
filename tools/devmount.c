/* devmount: installs an INF's driver for the devices with a hardware ID. */
#include "common.h"

int wmain(int argc, wchar_t **argv)
{
    ToolArguments arguments = ToolArgumentsAfterVerb(argc, argv, L"install");
    if (arguments.count != 2) {
        SayLine(L"usage: install <INF_File> <Hardware_ID>");
        return 1;
    }
    return 0;
}
