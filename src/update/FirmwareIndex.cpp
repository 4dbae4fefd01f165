#include "update/FirmwareIndex.h"

int g_nFirmIndex = 0;
