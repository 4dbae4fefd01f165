#include "Machine.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim {

using nlohmann::json;

namespace {

// Reads members with their place in the file, so a bad file says where.
class Reader {
public:
    Reader(const json& j, std::string source, std::string path) : m_j(j), m_source(std::move(source)), m_path(std::move(path)) {
        if (!m_j.is_object()) Fail("", "expected an object");
    }

    [[noreturn]] void Fail(const std::string& key, const std::string& what) const {
        throw MachineFileError(m_source + ": " + m_path + (key.empty() ? "" : "/" + key) + ": " + what);
    }

    bool Has(const char* key) const { return m_j.contains(key); }

    template <class T>
    void Get(const char* key, T& out) const {
        if (!m_j.contains(key)) return;
        const json& v = m_j.at(key);
        if constexpr (std::is_same_v<T, bool>) {
            if (!v.is_boolean()) Fail(key, "expected true or false");
            out = v.get<bool>();
        } else if constexpr (std::is_integral_v<T>) {
            if (!v.is_number_integer()) Fail(key, "expected a whole number");
            auto n = v.get<int64_t>();
            if (n < 0 || static_cast<uint64_t>(n) > static_cast<uint64_t>(std::numeric_limits<T>::max()))
                Fail(key, "number out of range");
            out = static_cast<T>(n);
        } else if constexpr (std::is_same_v<T, std::string>) {
            if (!v.is_string()) Fail(key, "expected a text");
            out = v.get<std::string>();
        } else {
            static_assert(sizeof(T) == 0, "unsupported member type");
        }
    }

    Reader Child(const char* key) const {
        return Reader(m_j.at(key), m_source, m_path + "/" + key);
    }
    const json& Raw(const char* key) const { return m_j.at(key); }
    const std::string& Path() const { return m_path; }
    const std::string& Source() const { return m_source; }

    void OnlyKnown(std::initializer_list<const char*> known) const {
        for (auto it = m_j.begin(); it != m_j.end(); ++it) {
            bool ok = false;
            for (const char* k : known) ok = ok || it.key() == k;
            if (!ok) Fail(it.key(), "unknown entry");
        }
    }

private:
    const json& m_j;
    std::string m_source;
    std::string m_path;
};

const char* kDefaultMachine = R"({
  "name": "Windows XP (English), default",
  "os": { "platform": 2, "major": 5, "minor": 1, "build": 2600, "csd": "Service Pack 2" },
  "power": { "acLineStatus": 1 },
  "codePage": 1252,
  "user": "User",
  "users": { "User": { "admin": true, "registry": {} } },
  "screenSaverActive": true,
  "cwd": "C:\\WINQOR",
  "imagePath": "C:\\WINQOR\\WINQOR.EXE",
  "registry": {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion": {},
    "SYSTEM\\CurrentControlSet\\Services": {}
  }
})";

}  // namespace

bool Machine::IsAdmin() const {
    if (!IsNT()) return true;  // Windows 98/ME knows no rights
    auto it = users.find(user);
    return it == users.end() || it->second.admin;
}

Machine Machine::FromJson(const json& j, const std::string& source) {
    Machine m;
    m.users.clear();
    Reader r(j, source, "");
    r.OnlyKnown({"name", "os", "power", "codePage", "user", "users", "nextUser", "screenSaverActive", "cwd",
                 "cwdFails", "imagePath", "privileges", "foreignMutexes", "boots", "restart", "registry",
                 "transcript"});
    r.Get("name", m.name);
    if (r.Has("os")) {
        Reader o = r.Child("os");
        o.OnlyKnown({"platform", "major", "minor", "build", "csd", "versionFails"});
        o.Get("platform", m.os.platform);
        o.Get("major", m.os.major);
        o.Get("minor", m.os.minor);
        o.Get("build", m.os.build);
        o.Get("csd", m.os.csd);
        o.Get("versionFails", m.os.versionFails);
        if (m.os.csd.size() > 127) o.Fail("csd", "longer than 127 characters");
    }
    if (r.Has("power")) {
        Reader p = r.Child("power");
        p.OnlyKnown({"callFails", "acLineStatus", "batteryFlag", "batteryPercent"});
        p.Get("callFails", m.power.callFails);
        p.Get("acLineStatus", m.power.acLineStatus);
        p.Get("batteryFlag", m.power.batteryFlag);
        p.Get("batteryPercent", m.power.batteryPercent);
        if (m.power.acLineStatus > 255) p.Fail("acLineStatus", "a byte is 0 to 255");
        if (m.power.batteryFlag > 255) p.Fail("batteryFlag", "a byte is 0 to 255");
        if (m.power.batteryPercent > 255) p.Fail("batteryPercent", "a byte is 0 to 255");
    }
    r.Get("codePage", m.codePage);
    r.Get("user", m.user);
    r.Get("nextUser", m.nextUser);
    r.Get("screenSaverActive", m.screenSaverActive);
    r.Get("cwd", m.cwd);
    r.Get("cwdFails", m.cwdFails);
    r.Get("imagePath", m.imagePath);
    r.Get("boots", m.boots);
    if (r.Has("privileges")) {
        Reader p = r.Child("privileges");
        p.OnlyKnown({"lookupFails", "adjustFails"});
        p.Get("lookupFails", m.privileges.lookupFails);
        p.Get("adjustFails", m.privileges.adjustFails);
    }
    if (r.Has("foreignMutexes")) {
        const json& list = r.Raw("foreignMutexes");
        if (!list.is_array()) r.Fail("foreignMutexes", "expected a list of names");
        for (size_t i = 0; i < list.size(); ++i) {
            if (!list[i].is_string()) r.Fail("foreignMutexes/" + std::to_string(i), "expected a text");
            m.foreignMutexes.push_back(list[i].get<std::string>());
        }
    }
    if (r.Has("restart")) {
        Reader p = r.Child("restart");
        p.OnlyKnown({"pending", "flags", "by"});
        p.Get("pending", m.restart.pending);
        p.Get("flags", m.restart.flags);
        p.Get("by", m.restart.by);
    }
    if (r.Has("transcript")) {
        const json& list = r.Raw("transcript");
        if (!list.is_array()) r.Fail("transcript", "expected a list of lines");
        for (size_t i = 0; i < list.size(); ++i) {
            if (!list[i].is_string()) r.Fail("transcript/" + std::to_string(i), "expected a text");
            m.transcript.push_back(list[i].get<std::string>());
        }
    }
    // The registry names the place inside the file; the file's name comes from here.
    auto loadHive = [&](auto&& load) {
        try {
            load();
        } catch (const std::exception& e) {
            throw MachineFileError(source + ": " + e.what());
        }
    };
    if (r.Has("registry")) loadHive([&] { m.registry.LoadLocalMachine(r.Raw("registry")); });
    if (r.Has("users")) {
        const json& us = r.Raw("users");
        if (!us.is_object()) r.Fail("users", "expected an object of users");
        for (auto it = us.begin(); it != us.end(); ++it) {
            Reader u(it.value(), source, "/users/" + it.key());
            u.OnlyKnown({"admin", "registry"});
            UserInfo info;
            u.Get("admin", info.admin);
            m.users[it.key()] = info;
            loadHive([&] { m.registry.LoadUser(it.key(), u.Has("registry") ? u.Raw("registry") : json::object()); });
        }
    }
    if (m.users.find(m.user) == m.users.end()) {
        m.users[m.user] = UserInfo{};
        m.registry.LoadUser(m.user, json::object());
    }
    if (!m.nextUser.empty() && m.users.find(m.nextUser) == m.users.end())
        r.Fail("nextUser", "no such user in /users");
    return m;
}

Machine Machine::Parse(const std::string& text, const std::string& source) {
    json j;
    try {
        j = json::parse(text);
    } catch (const json::parse_error& e) {
        // nlohmann names the byte; turn it into a line and column.
        size_t line = 1, col = 1;
        for (size_t i = 0; i + 1 < e.byte && i < text.size(); ++i) {
            if (text[i] == '\n') {
                ++line;
                col = 1;
            } else {
                ++col;
            }
        }
        throw MachineFileError(source + ":" + std::to_string(line) + ":" + std::to_string(col) +
                               ": not valid JSON");
    }
    return FromJson(j, source);
}

Machine Machine::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw MachineFileError(path + ": cannot be read");
    std::stringstream ss;
    ss << in.rdbuf();
    return Parse(ss.str(), path);
}

json Machine::ToJson() const {
    json j;
    j["name"] = name;
    j["os"] = {{"platform", os.platform}, {"major", os.major}, {"minor", os.minor}, {"build", os.build},
               {"csd", os.csd}, {"versionFails", os.versionFails}};
    j["power"] = {{"callFails", power.callFails}, {"acLineStatus", power.acLineStatus},
                  {"batteryFlag", power.batteryFlag}, {"batteryPercent", power.batteryPercent}};
    j["codePage"] = codePage;
    j["user"] = user;
    if (!nextUser.empty()) j["nextUser"] = nextUser;
    json us = json::object();
    for (auto& [uname, info] : users) us[uname] = {{"admin", info.admin}, {"registry", registry.SaveUser(uname)}};
    j["users"] = us;
    j["screenSaverActive"] = screenSaverActive;
    j["cwd"] = cwd;
    j["cwdFails"] = cwdFails;
    j["imagePath"] = imagePath;
    j["privileges"] = {{"lookupFails", privileges.lookupFails}, {"adjustFails", privileges.adjustFails}};
    j["foreignMutexes"] = foreignMutexes;
    j["boots"] = boots;
    j["restart"] = {{"pending", restart.pending}, {"flags", restart.flags}, {"by", restart.by}};
    j["registry"] = registry.SaveLocalMachine();
    j["transcript"] = transcript;
    return j;
}

void Machine::Save(const std::string& path) const {
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) throw MachineFileError(path + ": cannot be written");
        out << ToJson().dump(2) << "\n";
        if (!out) throw MachineFileError(path + ": cannot be written");
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) throw MachineFileError(path + ": cannot be replaced");
}

void Machine::Restart() {
    restart = RestartRequest{};
    ++boots;
    if (!nextUser.empty()) user = nextUser;
    nextUser.clear();
    // Other programs' mutexes belong to a session that ended.
    foreignMutexes.clear();
    registry.ClearDynData();
}

Machine Machine::Default() { return Parse(kDefaultMachine, "built-in default machine"); }

}  // namespace sim
