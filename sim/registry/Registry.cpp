#include "Registry.h"
// Placeholder until the registry model lands.
namespace sim {
void Registry::LoadLocalMachine(const nlohmann::json&) {}
nlohmann::json Registry::SaveLocalMachine() const { return nlohmann::json::object(); }
void Registry::LoadUser(const std::string&, const nlohmann::json&) {}
nlohmann::json Registry::SaveUser(const std::string&) const { return nlohmann::json::object(); }
std::vector<std::string> Registry::Users() const { return {}; }
}  // namespace sim
