// The program start of the host build, in place of the Windows loader and
// runtime start-up: static objects are already built (and have loaded the
// machine at their first platform call); run WinMain, then write the machine
// back.
#include "core/Process.h"
#include "win32.h"

int main() {
    int code = WinMain(GetModuleHandleA(NULL), NULL, const_cast<char*>(""), 1);
    sim::Proc().Exit(code);
    return code;
}
