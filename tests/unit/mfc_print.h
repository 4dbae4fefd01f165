// Lets GoogleTest show a CString as its text in failure messages.
#pragma once
#include <ostream>

#include "afx.h"

inline void PrintTo(const CString& s, std::ostream* os) { *os << '"' << static_cast<LPCSTR>(s) << '"'; }
