#include "Registry.h"

#include <algorithm>
#include <stdexcept>

#include "../core/Machine.h"

namespace sim {

using nlohmann::json;

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr size_t kMaxKeyName = 255;

const char* kValueForms = "expected a text, {\"dword\": n}, {\"binary\": \"hex\"} or {\"type\": n, \"hex\": \"hex\"}";

[[noreturn]] void Bad(const std::string& where, const std::string& what) {
    throw MachineFileError(where + ": " + what);
}

uint32_t ReadNumber(const json& j, const std::string& where) {
    if (!j.is_number_integer()) Bad(where, "expected a whole number");
    bool inRange = j.is_number_unsigned() ? j.get<uint64_t>() <= 0xFFFFFFFFu
                                          : j.get<int64_t>() >= 0 && j.get<int64_t>() <= 0xFFFFFFFFll;
    if (!inRange) Bad(where, "number out of range 0 to 4294967295");
    return static_cast<uint32_t>(j.get<uint64_t>());
}

std::vector<uint8_t> ReadHex(const json& j, const std::string& where) {
    if (!j.is_string()) Bad(where, "expected a text of hex digits");
    const auto& s = j.get_ref<const std::string&>();
    if (s.size() % 2) Bad(where, "odd number of hex digits");
    auto digit = [&](char c) -> uint8_t {
        if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
        Bad(where, std::string("not a hex digit: '") + c + "'");
    };
    std::vector<uint8_t> out;
    out.reserve(s.size() / 2);
    for (size_t i = 0; i < s.size(); i += 2) out.push_back(static_cast<uint8_t>(digit(s[i]) << 4 | digit(s[i + 1])));
    return out;
}

std::string ToHex(const std::vector<uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(data.size() * 2);
    for (uint8_t b : data) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

RegValue ReadValue(const json& j, const std::string& where) {
    if (j.is_string()) return RegValue::Sz(j.get<std::string>());
    if (!j.is_object()) Bad(where, kValueForms);
    if (j.size() == 1 && j.contains("dword")) return RegValue::Dword(ReadNumber(j["dword"], where + "/dword"));
    if (j.size() == 1 && j.contains("binary")) return RegValue::Binary(ReadHex(j["binary"], where + "/binary"));
    if (j.size() == 2 && j.contains("type") && j.contains("hex"))
        return RegValue{ReadNumber(j["type"], where + "/type"), ReadHex(j["hex"], where + "/hex")};
    Bad(where, kValueForms);
}

// The machine file is UTF-8 JSON; bytes that are not cannot be written as text.
bool IsUtf8(const std::string& s) {
    try {
        (void)json(s).dump();
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

json WriteValue(const RegValue& v) {
    if (v.type == kRegSz && !v.data.empty() && v.data.back() == 0) {
        std::string text(v.data.begin(), v.data.end() - 1);
        if (text.find('\0') == std::string::npos && IsUtf8(text)) return text;
    }
    if (v.type == kRegDword && v.data.size() == 4)
        return {{"dword", uint32_t(v.data[0]) | uint32_t(v.data[1]) << 8 | uint32_t(v.data[2]) << 16 |
                              uint32_t(v.data[3]) << 24}};
    if (v.type == kRegBinary) return {{"binary", ToHex(v.data)}};
    return {{"type", v.type}, {"hex", ToHex(v.data)}};
}

std::shared_ptr<RegKey> LoadHive(const json& hive, const std::string& place) {
    if (!hive.is_object()) Bad(place, "expected an object that maps key paths to objects of values");
    auto root = std::make_shared<RegKey>("");
    for (auto it = hive.begin(); it != hive.end(); ++it) {
        const std::string where = place + "/" + it.key();
        std::vector<std::string> parts;
        if (!Registry::SplitPath(it.key(), parts)) Bad(where, "empty key name in the path");
        auto key = root;
        for (const auto& part : parts) {
            if (part.size() > kMaxKeyName) Bad(where, "key name longer than 255 characters");
            key = key->Create(part).first;
        }
        if (!it.value().is_object()) Bad(where, "expected an object of values");
        for (auto v = it.value().begin(); v != it.value().end(); ++v) {
            // Names ignore case, so two spellings in one file would silently collapse.
            if (key->FindValue(v.key())) Bad(where + "/" + v.key(), "value given twice");
            key->SetValue(v.key(), ReadValue(v.value(), where + "/" + v.key()));
        }
    }
    return root;
}

void SaveKey(const RegKey& key, const std::string& path, const std::string& place, json& out) {
    if (!IsUtf8(path)) Bad(place + "/" + path, "key name is not UTF-8 text and cannot be saved");
    // Parents are implied by their subkeys; a key that has neither values nor
    // subkeys needs its own entry.
    if (!key.Values().empty() || (key.SubkeyCount() == 0 && !path.empty())) {
        json values = json::object();
        for (const auto& [name, value] : key.Values()) {
            if (!IsUtf8(name)) Bad(place + "/" + path, "value name is not UTF-8 text and cannot be saved");
            values[name] = WriteValue(value);
        }
        out[path] = values;
    }
    for (size_t i = 0; i < key.SubkeyCount(); ++i) {
        auto sub = key.Subkey(i);
        SaveKey(*sub, path.empty() ? sub->Name() : path + "\\" + sub->Name(), place, out);
    }
}

json SaveHive(const std::shared_ptr<RegKey>& root, const std::string& place) {
    json out = json::object();
    if (root) SaveKey(*root, "", place, out);
    return out;
}

}  // namespace

RegValue RegValue::Sz(const std::string& text) {
    RegValue v{kRegSz, std::vector<uint8_t>(text.begin(), text.end())};
    v.data.push_back(0);
    return v;
}

RegValue RegValue::Dword(uint32_t value) {
    return RegValue{kRegDword,
                    {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}};
}

RegValue RegValue::Binary(std::vector<uint8_t> bytes) { return RegValue{kRegBinary, std::move(bytes)}; }

// ---- RegKey

std::string RegKey::Fold(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return folded;
}

const RegValue* RegKey::FindValue(const std::string& name) const {
    const std::string folded = Fold(name);
    for (const auto& v : m_values)
        if (Fold(v.first) == folded) return &v.second;
    return nullptr;
}

void RegKey::SetValue(const std::string& name, RegValue value) {
    const std::string folded = Fold(name);
    for (auto& v : m_values) {
        if (Fold(v.first) == folded) {
            v.second = std::move(value);
            return;
        }
    }
    m_values.emplace_back(name, std::move(value));
}

bool RegKey::DeleteValue(const std::string& name) {
    const std::string folded = Fold(name);
    auto it = std::find_if(m_values.begin(), m_values.end(), [&](const Value& v) { return Fold(v.first) == folded; });
    if (it == m_values.end()) return false;
    m_values.erase(it);
    return true;
}

std::shared_ptr<RegKey> RegKey::Subkey(size_t index) const {
    if (index >= m_subkeys.size()) return nullptr;
    return std::next(m_subkeys.begin(), static_cast<std::ptrdiff_t>(index))->second;
}

std::shared_ptr<RegKey> RegKey::Find(const std::string& name) const {
    auto it = m_subkeys.find(Fold(name));
    return it == m_subkeys.end() ? nullptr : it->second;
}

std::pair<std::shared_ptr<RegKey>, bool> RegKey::Create(const std::string& name) {
    auto& slot = m_subkeys[Fold(name)];
    if (slot) return {slot, false};
    slot = std::make_shared<RegKey>(name);
    slot->m_parent = shared_from_this();
    return {slot, true};
}

bool RegKey::Remove(const std::string& name) {
    auto it = m_subkeys.find(Fold(name));
    if (it == m_subkeys.end()) return false;
    it->second->MarkDeleted();
    m_subkeys.erase(it);
    return true;
}

void RegKey::Clear() {
    for (auto& sub : m_subkeys) sub.second->MarkDeleted();
    m_subkeys.clear();
    m_values.clear();
}

void RegKey::MarkDeleted() {
    m_deleted = true;
    for (auto& sub : m_subkeys) sub.second->MarkDeleted();
}

std::shared_ptr<RegKey> RegKey::Clone() const {
    auto copy = std::make_shared<RegKey>(m_name);
    copy->m_deleted = m_deleted;
    copy->m_values = m_values;
    for (const auto& [folded, sub] : m_subkeys) {
        auto child = sub->Clone();
        child->m_parent = copy;
        copy->m_subkeys[folded] = child;
    }
    return copy;
}

// ---- Registry

Registry::Registry()
    : m_localMachine(std::make_shared<RegKey>("")), m_dynData(std::make_shared<RegKey>("")) {}

// A copied machine must not share keys with the original.
Registry::Registry(const Registry& other)
    : m_localMachine(other.m_localMachine->Clone()), m_dynData(other.m_dynData->Clone()) {
    for (const auto& [user, root] : other.m_users) m_users[user] = root->Clone();
}

Registry& Registry::operator=(const Registry& other) {
    if (this != &other) *this = Registry(other);
    return *this;
}

void Registry::LoadLocalMachine(const json& hive) { m_localMachine = LoadHive(hive, "/registry"); }

json Registry::SaveLocalMachine() const { return SaveHive(m_localMachine, "/registry"); }

void Registry::LoadUser(const std::string& user, const json& hive) {
    m_users[user] = LoadHive(hive, "/users/" + user + "/registry");
}

json Registry::SaveUser(const std::string& user) const {
    auto it = m_users.find(user);
    return SaveHive(it == m_users.end() ? nullptr : it->second, "/users/" + user + "/registry");
}

std::vector<std::string> Registry::Users() const {
    std::vector<std::string> names;
    for (const auto& entry : m_users) names.push_back(entry.first);
    return names;
}

std::shared_ptr<RegKey> Registry::Root(Hive hive, const std::string& user) {
    if (hive == Hive::CurrentUser) {
        auto& root = m_users[user];
        if (!root) root = std::make_shared<RegKey>("");
        return root;
    }
    return FindRoot(hive, user);
}

std::shared_ptr<RegKey> Registry::FindRoot(Hive hive, const std::string& user) const {
    switch (hive) {
        case Hive::LocalMachine:
            return m_localMachine;
        case Hive::DynData:
            return m_dynData;
        case Hive::CurrentUser: {
            auto it = m_users.find(user);
            return it == m_users.end() ? nullptr : it->second;
        }
    }
    return nullptr;
}

bool Registry::SplitPath(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty()) return true;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty()) return false;
        parts.push_back(std::move(part));
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

namespace {
std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    if (!Registry::SplitPath(path, parts))
        throw std::invalid_argument("registry path \"" + path + "\" has an empty key name");
    return parts;
}
}  // namespace

std::shared_ptr<RegKey> Registry::FindKey(const std::string& user, Hive hive, const std::string& path) const {
    auto key = FindRoot(hive, user);
    for (const auto& part : Parts(path)) {
        if (!key) break;
        key = key->Find(part);
    }
    return key;
}

std::shared_ptr<RegKey> Registry::MakeKey(const std::string& user, Hive hive, const std::string& path) {
    auto key = Root(hive, user);
    for (const auto& part : Parts(path)) key = key->Create(part).first;
    return key;
}

bool Registry::KeyExists(const std::string& user, Hive hive, const std::string& path) const {
    return FindKey(user, hive, path) != nullptr;
}

std::optional<RegValue> Registry::GetValue(const std::string& user, Hive hive, const std::string& path,
                                           const std::string& name) const {
    auto key = FindKey(user, hive, path);
    const RegValue* v = key ? key->FindValue(name) : nullptr;
    if (!v) return std::nullopt;
    return *v;
}

std::vector<RegKey::Value> Registry::Values(const std::string& user, Hive hive, const std::string& path) const {
    auto key = FindKey(user, hive, path);
    return key ? key->Values() : std::vector<RegKey::Value>{};
}

std::vector<std::string> Registry::Subkeys(const std::string& user, Hive hive, const std::string& path) const {
    std::vector<std::string> names;
    if (auto key = FindKey(user, hive, path))
        for (size_t i = 0; i < key->SubkeyCount(); ++i) names.push_back(key->Subkey(i)->Name());
    return names;
}

void Registry::CreateKey(const std::string& user, Hive hive, const std::string& path) { MakeKey(user, hive, path); }

void Registry::SetValue(const std::string& user, Hive hive, const std::string& path, const std::string& name,
                        RegValue value) {
    MakeKey(user, hive, path)->SetValue(name, std::move(value));
}

bool Registry::DeleteKeyTree(const std::string& user, Hive hive, const std::string& path) {
    auto parts = Parts(path);
    if (parts.empty()) throw std::invalid_argument("a hive's root cannot be deleted");
    std::string last = parts.back();
    parts.pop_back();
    auto key = FindRoot(hive, user);
    for (const auto& part : parts) {
        if (!key) return false;
        key = key->Find(part);
    }
    return key && key->Remove(last);
}

bool Registry::DeleteValue(const std::string& user, Hive hive, const std::string& path, const std::string& name) {
    auto key = FindKey(user, hive, path);
    return key && key->DeleteValue(name);
}

void Registry::ClearDynData() { m_dynData->Clear(); }

}  // namespace sim
