#include "MessagePump.h"

BOOL PumpWaitingMessage() {
    MSG msg;
    if (!PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) return FALSE;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return TRUE;
}
