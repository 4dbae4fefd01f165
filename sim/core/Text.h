// Text of the machine's code page, shown to a person in UTF-8.
#pragma once
#include <string>

namespace sim {
std::string ToUtf8(const std::string& text, unsigned codePage);
std::string FromUtf8(const std::string& text, unsigned codePage);
}  // namespace sim
