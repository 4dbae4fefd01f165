// Pictures of top-level windows: as text (dialog units mapped to character
// cells: four horizontal and eight vertical units a cell, Japanese double
// width) and as SVG, both from the live state of the controls. In text a
// push button reads "[ OK ]", the default one "< OK >", a disabled one
// "( OK )"; a drop-down list "[entry |v]", a progress bar "[####....]".
#pragma once
#include <string>
#include <vector>

#include "win32.h"

namespace sim::desktop {

// Cells a UTF-8 text takes on a terminal (East Asian wide characters take two).
int TextWidth(const std::string& utf8);
// Word-wrapped lines of at most width cells; "\r\n" and "\n" break lines.
std::vector<std::string> WrapText(const std::string& utf8, int width);

std::vector<std::string> DrawLines(HWND top);
std::string DrawSvg(HWND top);
// Writes the SVG as the next numbered file in dir; returns its path.
std::string WriteSnapshot(HWND top, const std::string& dir);

}  // namespace sim::desktop
