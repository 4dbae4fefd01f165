// Keeps the calling thread's windows answering while it waits for
// something other than a message.
#pragma once
#include "win32.h"

// Dispatches at most one message waiting for the calling thread; TRUE when
// there was one.
BOOL PumpWaitingMessage();
