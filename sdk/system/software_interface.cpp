#include "sdk/system/software_interface.h"

int CSoftwareInterface::Init() {
    DescribeWindows();
    DetectDirectX();
    DetectVirtualMachine();
    return 1;
}
