// The firmware index chosen at "Start Update": picks the version table
// entry, the carried image, its sums and its block count.
#pragma once

extern int g_nFirmIndex;
