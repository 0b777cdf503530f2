/* devunmnt: removes the devices with a hardware ID. */
#include "common.h"

int wmain(int argc, wchar_t **argv)
{
    ToolArguments arguments = ToolArgumentsAfterVerb(argc, argv, L"remove");
    if (arguments.count != 1) {
        SayLine(L"usage: remove <Hardware_ID>");
        return 1;
    }
    return 0;
}
