// The simulated registry: typed byte values in hives, with the semantics of
// the Windows NT family or of Windows 98/ME. Names and string data are the
// bytes a program passes to the ANSI calls.
#pragma once
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct RegValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;

    // REG_SZ with its terminating zero.
    static RegValue Sz(const std::string& text);
    static RegValue Dword(uint32_t value);
    static RegValue Binary(std::vector<uint8_t> bytes);

    bool operator==(const RegValue& other) const { return type == other.type && data == other.data; }
    bool operator!=(const RegValue& other) const { return !(*this == other); }
};

enum class Hive { LocalMachine, CurrentUser, DynData };

// One key. Handles of the platform calls share it, so a key removed from
// the tree stays alive, marked deleted, for as long as a handle holds it.
class RegKey : public std::enable_shared_from_this<RegKey> {
public:
    using Value = std::pair<std::string, RegValue>;

    explicit RegKey(std::string name) : m_name(std::move(name)) {}

    const std::string& Name() const { return m_name; }
    bool Deleted() const { return m_deleted; }
    // Null for a hive's root.
    std::shared_ptr<RegKey> Parent() const { return m_parent.lock(); }

    // Values keep the order they were first set in.
    const std::vector<Value>& Values() const { return m_values; }
    const RegValue* FindValue(const std::string& name) const;
    void SetValue(const std::string& name, RegValue value);
    bool DeleteValue(const std::string& name);

    // Subkeys in the order enumeration gives them.
    size_t SubkeyCount() const { return m_subkeys.size(); }
    std::shared_ptr<RegKey> Subkey(size_t index) const;
    std::shared_ptr<RegKey> Find(const std::string& name) const;
    // The existing subkey of that name, or a new one; second tells whether it is new.
    std::pair<std::shared_ptr<RegKey>, bool> Create(const std::string& name);
    // Takes the subkey and everything below it out of the tree.
    bool Remove(const std::string& name);
    void Clear();

    std::shared_ptr<RegKey> Clone() const;

    // The form names are compared and sorted in: NT sorts by the upper-cased name.
    static std::string Fold(const std::string& name);

private:
    void MarkDeleted();

    std::string m_name;
    std::weak_ptr<RegKey> m_parent;
    bool m_deleted = false;
    std::vector<Value> m_values;
    std::map<std::string, std::shared_ptr<RegKey>> m_subkeys;  // by folded name
};

class Registry {
public:
    Registry();
    Registry(const Registry& other);
    Registry& operator=(const Registry& other);
    Registry(Registry&&) noexcept = default;
    Registry& operator=(Registry&&) noexcept = default;

    // Hives in the machine file, as objects that map a key path (below the
    // hive's root) to an object of values. Bad input throws MachineFileError.
    void LoadLocalMachine(const nlohmann::json& hive);
    nlohmann::json SaveLocalMachine() const;
    void LoadUser(const std::string& user, const nlohmann::json& hive);
    nlohmann::json SaveUser(const std::string& user) const;
    std::vector<std::string> Users() const;

    // The root of a hive; a user without a hive yet gets an empty one.
    std::shared_ptr<RegKey> Root(Hive hive, const std::string& user);

    // Direct access for the simulated PC and for test fixtures: no handles,
    // no rights. Paths are below the hive's root, parts joined by '\';
    // an empty path is the root. A malformed path throws std::invalid_argument.
    bool KeyExists(const std::string& user, Hive hive, const std::string& path) const;
    std::optional<RegValue> GetValue(const std::string& user, Hive hive, const std::string& path,
                                     const std::string& name) const;
    std::vector<RegKey::Value> Values(const std::string& user, Hive hive, const std::string& path) const;
    std::vector<std::string> Subkeys(const std::string& user, Hive hive, const std::string& path) const;
    void CreateKey(const std::string& user, Hive hive, const std::string& path);
    void SetValue(const std::string& user, Hive hive, const std::string& path, const std::string& name,
                  RegValue value);
    // Both return whether there was anything to delete.
    bool DeleteKeyTree(const std::string& user, Hive hive, const std::string& path);
    bool DeleteValue(const std::string& user, Hive hive, const std::string& path, const std::string& name);
    // HKEY_DYN_DATA lives only until the next restart.
    void ClearDynData();

    // Splits a path at '\'; false when a part is empty. An empty path has no parts.
    static bool SplitPath(const std::string& path, std::vector<std::string>& parts);

private:
    std::shared_ptr<RegKey> FindRoot(Hive hive, const std::string& user) const;
    std::shared_ptr<RegKey> FindKey(const std::string& user, Hive hive, const std::string& path) const;
    std::shared_ptr<RegKey> MakeKey(const std::string& user, Hive hive, const std::string& path);

    std::shared_ptr<RegKey> m_localMachine;
    std::map<std::string, std::shared_ptr<RegKey>> m_users;
    std::shared_ptr<RegKey> m_dynData;
};

}  // namespace sim
