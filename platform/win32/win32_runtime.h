// The C runtime's Microsoft-specific calls the updater uses: the process's
// multibyte code page and the working directory.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
int _getmbcp(void);
char* _getcwd(char* buffer, int maxlen);
}
