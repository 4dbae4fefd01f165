// The registry calls (ANSI) over the machine's registry. Open keys are
// handles of kind "key" in the process's handle table.
#include <cstring>

#include "../core/Process.h"
#include "../registry/Registry.h"
#include "win32.h"

using sim::Proc;

namespace {

constexpr size_t kMaxKeyName = 255;

// Rights that change a key; the NT family refuses them to non-administrators
// below HKEY_LOCAL_MACHINE.
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

class KeyHandle : public sim::KernelObject {
public:
    const char* Kind() const override { return "key"; }
    std::shared_ptr<sim::RegKey> key;
    REGSAM access = 0;
    bool localMachine = false;
};

// What a handle refers to at the time of a call.
struct Target {
    std::shared_ptr<sim::RegKey> key;
    REGSAM access = 0;
    bool localMachine = false;
    bool predefined = false;
    bool readOnly = false;  // HKEY_DYN_DATA on the NT family
};

REGSAM MapGeneric(REGSAM sam) {
    REGSAM out = sam & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (sam & GENERIC_READ) out |= KEY_READ;
    if (sam & GENERIC_WRITE) out |= KEY_WRITE;
    if (sam & GENERIC_EXECUTE) out |= KEY_EXECUTE;
    if (sam & GENERIC_ALL) out |= KEY_ALL_ACCESS;
    return out;
}

bool NonAdminNT() {
    auto& m = Proc().machine();
    return m.IsNT() && !m.IsAdmin();
}

// Whether the machine's security keeps programs from writing this key of
// HKEY_LOCAL_MACHINE: all of it for a limited user on the NT family, else
// the machine's locked keys with everything below them.
bool WriteDenied(const Target& t, const std::shared_ptr<sim::RegKey>& key) {
    auto& m = Proc().machine();
    if (!t.localMachine || !m.IsNT()) return false;
    if (!m.IsAdmin()) return true;
    if (m.lockedKeys.empty()) return false;
    std::string path;
    for (auto k = key; k && k->Parent(); k = k->Parent()) path = path.empty() ? k->Name() : k->Name() + "\\" + path;
    const std::string folded = sim::RegKey::Fold(path);
    for (const auto& locked : m.lockedKeys) {
        const std::string lock = sim::RegKey::Fold(locked);
        if (folded == lock || folded.compare(0, lock.size() + 1, lock + "\\") == 0) return true;
    }
    return false;
}

LONG Resolve(HKEY h, Target& t) {
    auto& m = Proc().machine();
    if (h == HKEY_LOCAL_MACHINE) {
        t.key = m.registry.Root(sim::Hive::LocalMachine, m.user);
        t.access = NonAdminNT() ? KEY_READ : KEY_ALL_ACCESS;
        t.localMachine = true;
        t.predefined = true;
        return ERROR_SUCCESS;
    }
    if (h == HKEY_CURRENT_USER) {
        t.key = m.registry.Root(sim::Hive::CurrentUser, m.user);
        t.access = KEY_ALL_ACCESS;
        t.predefined = true;
        return ERROR_SUCCESS;
    }
    if (h == HKEY_DYN_DATA) {
        t.predefined = true;
        if (m.IsNT()) {
            // The NT family keeps nothing there: an empty key that stays empty.
            t.key = std::make_shared<sim::RegKey>("");
            t.access = KEY_READ;
            t.readOnly = true;
        } else {
            t.key = m.registry.Root(sim::Hive::DynData, m.user);
            t.access = KEY_ALL_ACCESS;
        }
        return ERROR_SUCCESS;
    }
    auto handle = Proc().handles().GetAs<KeyHandle>(h);
    if (!handle) return ERROR_INVALID_HANDLE;
    t.key = handle->key;
    t.access = handle->access;
    t.localMachine = handle->localMachine;
    return ERROR_SUCCESS;
}

// Resolves a handle for an operation that needs the given rights on it.
LONG Use(HKEY h, REGSAM need, Target& t) {
    LONG r = Resolve(h, t);
    if (r != ERROR_SUCCESS) return r;
    if ((t.access & need) != need) return ERROR_ACCESS_DENIED;
    if (t.key->Deleted()) return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
}

// A subkey path relative to an open key; false for a malformed one.
bool ParsePath(LPCSTR name, std::vector<std::string>& parts) {
    std::string path = name ? name : "";
    if (!path.empty() && path[0] == '\\') return false;
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return sim::Registry::SplitPath(path, parts);
}

HKEY NewHandle(std::shared_ptr<sim::RegKey> key, REGSAM access, bool localMachine) {
    auto handle = std::make_shared<KeyHandle>();
    handle->key = std::move(key);
    // Windows 98/ME keep no rights on keys: the access asked for is ignored
    // and every handle may write.
    handle->access = Proc().machine().IsNT() ? access : KEY_ALL_ACCESS;
    handle->localMachine = localMachine;
    return static_cast<HKEY>(Proc().handles().Add(handle));
}

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Copies a value's data the way RegQueryValueExA and RegEnumValueA hand it out.
// The NT family keeps strings as Unicode and its ANSI calls add the missing
// terminating zero; Windows 98/ME return the stored bytes.
DWORD NeededSize(const sim::RegValue& v) {
    bool addZero = Proc().machine().IsNT() && IsString(v.type) && (v.data.empty() || v.data.back() != 0);
    return static_cast<DWORD>(v.data.size() + (addZero ? 1 : 0));
}

LONG CopyData(const sim::RegValue& v, LPDWORD type, LPBYTE data, LPDWORD cb) {
    DWORD needed = NeededSize(v);
    if (type) *type = v.type;
    if (!data) {
        if (cb) *cb = needed;
        return ERROR_SUCCESS;
    }
    if (*cb < needed) {
        *cb = needed;
        return ERROR_MORE_DATA;
    }
    if (!v.data.empty()) std::memcpy(data, v.data.data(), v.data.size());
    if (needed > v.data.size()) data[v.data.size()] = 0;
    *cb = needed;
    return ERROR_SUCCESS;
}

// Enumerated names: the count must leave room for the terminating zero and
// comes back without it.
bool NameFits(const std::string& name, LPDWORD cch) { return name.size() + 1 <= *cch; }

void PutName(const std::string& name, LPSTR out, LPDWORD cch) {
    std::memcpy(out, name.c_str(), name.size() + 1);
    *cch = static_cast<DWORD>(name.size());
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = NULL;
    Target t;
    LONG r = Resolve(hKey, t);
    if (r != ERROR_SUCCESS) return r;
    std::vector<std::string> parts;
    if (!ParsePath(lpSubKey, parts)) return ERROR_BAD_PATHNAME;
    if (parts.empty() && t.predefined) {
        // As documented: a predefined key opened with no name comes back as itself.
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    if (t.key->Deleted()) return ERROR_KEY_DELETED;
    auto key = t.key;
    for (const auto& part : parts) {
        key = key->Find(part);
        if (!key) return ERROR_FILE_NOT_FOUND;
    }
    REGSAM access = MapGeneric(samDesired);
    if (WriteDenied(t, key) && (access & kWriteRights)) return ERROR_ACCESS_DENIED;
    *phkResult = NewHandle(key, access, t.localMachine);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
    *phkResult = NULL;
    Target t;
    LONG r = Resolve(hKey, t);
    if (r != ERROR_SUCCESS) return r;
    std::vector<std::string> parts;
    if (!ParsePath(lpSubKey, parts)) return ERROR_BAD_PATHNAME;
    if (parts.empty() && t.predefined) {
        *phkResult = hKey;
        if (lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    }
    if (t.key->Deleted()) return ERROR_KEY_DELETED;
    for (const auto& part : parts)
        if (part.size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;

    // How much of the path exists already.
    auto key = t.key;
    size_t found = 0;
    for (; found < parts.size(); ++found) {
        auto next = key->Find(parts[found]);
        if (!next) break;
        key = next;
    }
    REGSAM access = MapGeneric(samDesired);
    bool denied = WriteDenied(t, key);
    if (found < parts.size() && (denied || t.readOnly)) return ERROR_ACCESS_DENIED;
    if (denied && (access & kWriteRights)) return ERROR_ACCESS_DENIED;
    for (size_t i = found; i < parts.size(); ++i) key = key->Create(parts[i]).first;
    if (lpdwDisposition) *lpdwDisposition = found < parts.size() ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = NewHandle(key, access, t.localMachine);
    if (found < parts.size()) Proc().RegistryWritten();
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER || hKey == HKEY_DYN_DATA) return ERROR_SUCCESS;
    auto& handles = Proc().handles();
    if (!handles.GetAs<KeyHandle>(hKey)) return ERROR_INVALID_HANDLE;
    handles.Close(hKey);
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    Target t;
    LONG r = Use(hKey, KEY_QUERY_VALUE, t);
    if (r != ERROR_SUCCESS) return r;
    const sim::RegValue* v = t.key->FindValue(lpValueName ? lpValueName : "");
    if (!v) return ERROR_FILE_NOT_FOUND;
    return CopyData(*v, lpType, lpData, lpcbData);
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    Target t;
    LONG r = Use(hKey, KEY_SET_VALUE, t);
    if (r != ERROR_SUCCESS) return r;
    if (!lpData && cbData) return ERROR_NOACCESS;
    sim::RegValue v;
    v.type = dwType;
    if (cbData) v.data.assign(lpData, lpData + cbData);
    t.key->SetValue(lpValueName ? lpValueName : "", std::move(v));
    Proc().RegistryWritten();
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    Target t;
    LONG r = Use(hKey, KEY_ENUMERATE_SUB_KEYS, t);
    if (r != ERROR_SUCCESS) return r;
    auto sub = t.key->Subkey(dwIndex);
    if (!sub) return ERROR_NO_MORE_ITEMS;
    if (!NameFits(sub->Name(), lpcchName) || (lpClass && *lpcchClass < 1)) return ERROR_MORE_DATA;
    if (lpClass) {
        lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    PutName(sub->Name(), lpName, lpcchName);
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    Target t;
    LONG r = Use(hKey, KEY_QUERY_VALUE, t);
    if (r != ERROR_SUCCESS) return r;
    const auto& values = t.key->Values();
    if (dwIndex >= values.size()) return ERROR_NO_MORE_ITEMS;
    const auto& [name, value] = values[dwIndex];
    if (!NameFits(name, lpcchValueName)) return ERROR_MORE_DATA;
    if (lpData && *lpcbData < NeededSize(value)) return CopyData(value, lpType, lpData, lpcbData);
    PutName(name, lpValueName, lpcchValueName);
    return CopyData(value, lpType, lpData, lpcbData);
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    Target t;
    LONG r = Resolve(hKey, t);
    if (r != ERROR_SUCCESS) return r;
    if (t.key->Deleted()) return ERROR_KEY_DELETED;
    std::vector<std::string> parts;
    if (!ParsePath(lpSubKey, parts)) return ERROR_BAD_PATHNAME;
    auto key = t.key;
    for (const auto& part : parts) {
        key = key->Find(part);
        if (!key) return ERROR_FILE_NOT_FOUND;
    }
    auto parent = key->Parent();
    if (!parent || t.readOnly) return ERROR_ACCESS_DENIED;  // a hive's root stays
    auto& m = Proc().machine();
    if (WriteDenied(t, key)) return ERROR_ACCESS_DENIED;
    // Windows 98/ME take the whole subtree; the NT family only an empty key.
    if (m.IsNT() && key->SubkeyCount() > 0) return ERROR_ACCESS_DENIED;
    parent->Remove(key->Name());
    Proc().RegistryWritten();
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    Target t;
    LONG r = Use(hKey, KEY_SET_VALUE, t);
    if (r != ERROR_SUCCESS) return r;
    if (!t.key->DeleteValue(lpValueName ? lpValueName : "")) return ERROR_FILE_NOT_FOUND;
    Proc().RegistryWritten();
    return ERROR_SUCCESS;
}

}  // extern "C"
