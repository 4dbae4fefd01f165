// The simulated registry: typed byte values in hives, with the semantics of
// the Windows NT family or of Windows 98/ME.
#pragma once
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace sim {

class Registry {
public:
    // Hives in the machine file, as objects that map a key path (below the
    // hive's root) to an object of values.
    void LoadLocalMachine(const nlohmann::json& hive);
    nlohmann::json SaveLocalMachine() const;
    void LoadUser(const std::string& user, const nlohmann::json& hive);
    nlohmann::json SaveUser(const std::string& user) const;
    std::vector<std::string> Users() const;
};

}  // namespace sim
