#include "Machine.h"

#include "MachineHardware.h"

#include <cctype>
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

    // A list of texts; what names the list in the error.
    void Texts(const char* key, const char* what, std::vector<std::string>& out) const {
        if (!m_j.contains(key)) return;
        const json& list = m_j.at(key);
        if (!list.is_array()) Fail(key, std::string("expected a list of ") + what);
        for (size_t i = 0; i < list.size(); ++i) {
            if (!list[i].is_string()) Fail(std::string(key) + "/" + std::to_string(i), "expected a text");
            out.push_back(list[i].get<std::string>());
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

// A byte written as a number or as hex text ("0x1D"), as people write opcodes.
int ReadByte(const Reader& r, const char* key) {
    const json& v = r.Raw(key);
    if (v.is_string()) {
        const std::string t = v.get<std::string>();
        size_t used = 0;
        unsigned long n = 0;
        bool ok = t.size() > 2 && t.size() <= 4 && (t[0] == '0') && (t[1] == 'x' || t[1] == 'X');
        if (ok) {
            try {
                n = std::stoul(t.substr(2), &used, 16);
            } catch (const std::exception&) {
                ok = false;
            }
        }
        if (!ok || used != t.size() - 2) r.Fail(key, "expected a byte, as a number or as \"0x..\"");
        return static_cast<int>(n);
    }
    uint32_t n = 0;
    r.Get(key, n);
    if (n > 255) r.Fail(key, "a byte is 0 to 255");
    return static_cast<int>(n);
}

std::string ByteText(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

std::string ToHexText(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::vector<uint8_t> ReadHexText(const Reader& r, const char* key) {
    std::string t;
    r.Get(key, t);
    if (t.size() % 2) r.Fail(key, "odd number of hex digits");
    std::vector<uint8_t> out(t.size() / 2);
    for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (v < 0) r.Fail(key, "not a hex digit at " + std::to_string(i));
        out[i / 2] = static_cast<uint8_t>(out[i / 2] << 4 | v);
    }
    return out;
}

std::string TextUpTo(const Reader& r, const char* key, size_t max) {
    std::string t;
    r.Get(key, t);
    if (t.size() > max) r.Fail(key, "longer than " + std::to_string(max) + " characters");
    return t;
}

// A count, or a word that means without end; returns whether it was the word.
bool ReadCountOr(const Reader& r, const char* key, const char* word, uint32_t& count, bool& endless) {
    const json& v = r.Raw(key);
    endless = v.is_string() && v.get<std::string>() == word;
    if (endless) return true;
    if (!v.is_number_integer()) r.Fail(key, std::string("expected a count or \"") + word + "\"");
    r.Get(key, count);
    return false;
}

// A fault's "times": a count above 0, or "always".
void ReadFaultTimes(const Reader& r, uint32_t& times, bool& always) {
    if (r.Has("times") && !ReadCountOr(r, "times", "always", times, always) && times == 0)
        r.Fail("times", "a fault that never happens is a mistake");
}

// What ReadCountOr reads, written back.
json CountOr(uint32_t count, bool endless, const char* word) { return endless ? json(word) : json(count); }

Fault ReadFault(const Reader& r) {
    r.OnlyKnown({"opcode", "page", "function", "argument", "hang", "status", "sense", "senseByte19", "times"});
    Fault f;
    if (r.Has("opcode")) f.opcode = ReadByte(r, "opcode");
    if (r.Has("page")) f.page = ReadByte(r, "page");
    if (r.Has("function")) f.function = ReadByte(r, "function");
    if (r.Has("argument")) f.argument = ReadByte(r, "argument");
    r.Get("hang", f.hang);
    if (f.hang && (r.Has("status") || r.Has("sense"))) r.Fail("hang", "a command that never completes has no status");
    if (r.Has("status")) f.status = static_cast<uint8_t>(ReadByte(r, "status"));
    if (r.Has("sense")) {
        std::string t;
        r.Get("sense", t);
        auto s = Sense::Parse(t);
        if (!s) r.Fail("sense", "expected \"KK/AA/QQ\" in hex, e.g. \"05/24/00\"");
        if (f.status != scsi::kCheckCondition) r.Fail("sense", "sense data comes only with status 2 (CHECK CONDITION)");
        f.sense = *s;
    } else if (!f.hang && f.status == scsi::kCheckCondition) {
        r.Fail("", "CHECK CONDITION needs its \"sense\"");
    }
    if (r.Has("senseByte19")) f.senseByte19 = static_cast<uint8_t>(ReadByte(r, "senseByte19"));
    ReadFaultTimes(r, f.times, f.always);
    return f;
}

json FaultJson(const Fault& f) {
    json j = json::object();
    if (f.opcode != Fault::kAny) j["opcode"] = ByteText(f.opcode);
    if (f.page != Fault::kAny) j["page"] = ByteText(f.page);
    if (f.function != Fault::kAny) j["function"] = ByteText(f.function);
    if (f.argument != Fault::kAny) j["argument"] = ByteText(f.argument);
    if (f.hang) {
        j["hang"] = true;
    } else {
        j["status"] = ByteText(f.status);
        if (f.status == scsi::kCheckCondition) j["sense"] = f.sense.Text();
    }
    if (f.senseByte19) j["senseByte19"] = ByteText(*f.senseByte19);
    j["times"] = CountOr(f.times, f.always, "always");
    return j;
}

const char* kAttentions[] = {"none", "medium-changed", "power-on"};

// A device description: the same form behind a drive letter and an ASPI target.
ScsiDevice ReadDevice(const Reader& r) {
    r.OnlyKnown({"model", "type", "vendor", "product", "revision", "firmware", "family", "level", "medium", "tray",
                 "prevented", "unitAttention", "senseByte19", "unitAttentionStorm", "faults", "diagnosticResults",
                 "download"});
    if (!r.Has("model")) r.Fail("model", "missing: ZQ-X9046, ZQ-X7301, optical or disk");
    std::string name;
    r.Get("model", name);
    auto model = ScsiDevice::ModelByName(name);
    if (!model) r.Fail("model", "unknown model \"" + name + "\" (known: ZQ-X9046, ZQ-X7301, optical, disk)");
    ScsiDevice d(*model);
    if (r.Has("type")) {
        d.deviceType = static_cast<uint8_t>(ReadByte(r, "type"));
        if (d.deviceType > 0x1F) r.Fail("type", "a peripheral device type is 0 to 31");
    }
    if (r.Has("vendor")) d.vendor = TextUpTo(r, "vendor", 8);
    if (r.Has("product")) d.product = TextUpTo(r, "product", 16);
    if (r.Has("firmware")) {
        if (!d.CarriesFirmware()) r.Fail("firmware", "this model has no firmware image");
        for (const char* k : {"revision", "family", "level"})
            if (r.Has(k)) r.Fail(k, "comes from the \"firmware\" image given beside it");
        d.firmware = ReadHexText(r, "firmware");
        if (d.firmware.size() != firmware::kImageSize)
            r.Fail("firmware", "the image is " + std::to_string(firmware::kImageSize) + " bytes, not " +
                                   std::to_string(d.firmware.size()));
    }
    if (r.Has("revision")) d.SetRevision(TextUpTo(r, "revision", 4));
    if ((r.Has("family") || r.Has("level")) && !d.CarriesFirmware())
        r.Fail(r.Has("family") ? "family" : "level", "only the Valtora models answer the family query");
    if (r.Has("family")) d.SetFamily(TextUpTo(r, "family", 2));
    if (r.Has("level")) d.SetLevel(static_cast<uint8_t>(ReadByte(r, "level")));
    if (r.Has("medium")) {
        const json& m = r.Raw("medium");
        if (m.is_null()) {
            if (!d.Removable()) r.Fail("medium", "a hard disk always has its medium");
            d.medium.reset();
        } else {
            Reader mr = r.Child("medium");
            mr.OnlyKnown({"blocks"});
            Medium medium;
            mr.Get("blocks", medium.blocks);
            d.medium = medium;
        }
    }
    if (r.Has("tray")) {
        std::string t;
        r.Get("tray", t);
        if (t != "open" && t != "closed") r.Fail("tray", "expected \"open\" or \"closed\"");
        if (t == "open" && !d.Removable()) r.Fail("tray", "a hard disk has no tray");
        if (t == "open" && d.medium) r.Fail("tray", "an open tray holds no medium");
        d.trayOpen = t == "open";
    }
    r.Get("prevented", d.prevented);
    if (r.Has("unitAttention")) {
        std::string t;
        r.Get("unitAttention", t);
        bool found = false;
        for (int i = 0; i < 3; ++i) {
            if (t != kAttentions[i]) continue;
            d.attention = static_cast<ScsiDevice::Attention>(i);
            found = true;
        }
        if (!found) r.Fail("unitAttention", "expected \"none\", \"medium-changed\" or \"power-on\"");
    }
    if (r.Has("senseByte19")) d.senseByte19 = static_cast<uint8_t>(ReadByte(r, "senseByte19"));
    if (r.Has("unitAttentionStorm")) ReadCountOr(r, "unitAttentionStorm", "forever", d.stormLeft, d.stormForever);
    if (r.Has("faults")) {
        const json& list = r.Raw("faults");
        if (!list.is_array()) r.Fail("faults", "expected a list of faults");
        for (size_t i = 0; i < list.size(); ++i)
            d.faults.push_back(ReadFault(Reader(list[i], r.Source(), r.Path() + "/faults/" + std::to_string(i))));
    }
    if (r.Has("diagnosticResults")) d.diagnosticResults = ReadHexText(r, "diagnosticResults");
    if (r.Has("download")) {
        Reader dr = r.Child("download");
        dr.OnlyKnown({"stage", "data"});
        dr.Get("stage", d.download.stage);
        if (d.download.stage > 2) dr.Fail("stage", "0 (none), 1 (started) or 2 (receiving blocks)");
        if (dr.Has("data")) d.download.data = ReadHexText(dr, "data");
        if (d.download.data.size() % firmware::kBlockSize || d.download.data.size() > firmware::kImageSize)
            dr.Fail("data", "whole blocks of 32 KiB, at most the flash's size");
        d.download.blocks = static_cast<int>(d.download.data.size() / firmware::kBlockSize);
    }
    return d;
}

json DeviceJson(const ScsiDevice& d) {
    json j = json::object();
    j["model"] = ScsiDevice::ModelName(d.model());
    const ScsiDevice plain(d.model());
    if (d.deviceType != plain.deviceType) j["type"] = d.deviceType;
    if (d.vendor != plain.vendor) j["vendor"] = d.vendor;
    if (d.product != plain.product) j["product"] = d.product;
    if (d.CarriesFirmware() && !d.FirmwareIsFactory()) {
        j["firmware"] = ToHexText(d.firmware);
    } else {
        j["revision"] = d.Revision();
        if (d.CarriesFirmware()) {
            j["family"] = d.Family();
            j["level"] = d.Level();
        }
    }
    j["medium"] = d.medium ? json{{"blocks", d.medium->blocks}} : json(nullptr);
    j["tray"] = d.trayOpen ? "open" : "closed";
    j["prevented"] = d.prevented;
    j["unitAttention"] = kAttentions[static_cast<int>(d.attention)];
    if (d.senseByte19) j["senseByte19"] = ByteText(d.senseByte19);
    if (d.stormForever) {
        j["unitAttentionStorm"] = "forever";
    } else if (d.stormLeft) {
        j["unitAttentionStorm"] = d.stormLeft;
    }
    if (!d.faults.empty()) {
        json list = json::array();
        for (const auto& f : d.faults) list.push_back(FaultJson(f));
        j["faults"] = list;
    }
    if (!d.diagnosticResults.empty()) j["diagnosticResults"] = ToHexText(d.diagnosticResults);
    if (d.download.stage) j["download"] = {{"stage", d.download.stage}, {"data", ToHexText(d.download.data)}};
    return j;
}

const char* kDriveTypes[] = {"unknown", "none", "removable", "fixed", "remote", "cdrom", "ramdisk"};

void ReadDrives(const Reader& r, std::map<char, DriveLetter>& drives) {
    const json& all = r.Raw("drives");
    if (!all.is_object()) r.Fail("drives", "expected an object of drive letters, e.g. {\"C:\": {\"type\": \"fixed\"}}");
    Reader list = r.Child("drives");
    for (auto it = all.begin(); it != all.end(); ++it) {
        const std::string& key = it.key();
        char letter = key.size() == 2 && key[1] == ':' ? static_cast<char>(std::toupper(static_cast<unsigned char>(key[0]))) : 0;
        if (letter < 'A' || letter > 'Z') list.Fail(key, "expected a drive letter and a colon, e.g. \"D:\"");
        if (drives.count(letter)) list.Fail(key, "the letter is given twice");
        Reader d = list.Child(key.c_str());
        d.OnlyKnown({"type", "device", "maxTransfer", "alignmentMask", "refuseCapabilities"});
        DriveLetter drive;
        std::string type;
        if (!d.Has("type")) d.Fail("type", "missing: removable, fixed, remote, cdrom or ramdisk");
        d.Get("type", type);
        uint32_t code = 0;
        for (uint32_t i = 2; i < 7; ++i)
            if (type == kDriveTypes[i]) code = i;
        if (!code) d.Fail("type", "unknown type \"" + type + "\" (removable, fixed, remote, cdrom or ramdisk)");
        drive.type = code;
        d.Get("maxTransfer", drive.maxTransfer);
        d.Get("alignmentMask", drive.alignmentMask);
        if (drive.alignmentMask & (drive.alignmentMask + 1)) d.Fail("alignmentMask", "expected one less than a power of two");
        d.Get("refuseCapabilities", drive.refuseCapabilities);
        if (d.Has("device")) {
            if (code == 4 || code == 6) d.Fail("device", "a " + type + " drive has no SCSI device");
            drive.device = ReadDevice(d.Child("device"));
            drive.device->place = std::string(1, letter) + ":";
        }
        drives[letter] = std::move(drive);
    }
}

json DrivesJson(const std::map<char, DriveLetter>& drives) {
    json j = json::object();
    for (const auto& [letter, drive] : drives) {
        json d = {{"type", kDriveTypes[drive.type < 7 ? drive.type : 0]}};
        if (drive.device) {
            d["device"] = DeviceJson(*drive.device);
            d["maxTransfer"] = drive.maxTransfer;
            d["alignmentMask"] = drive.alignmentMask;
            d["refuseCapabilities"] = drive.refuseCapabilities;
        }
        j[std::string(1, letter) + ":"] = d;
    }
    return j;
}

AspiFault ReadAspiFault(const Reader& r) {
    r.OnlyKnown({"opcode", "srbStatus", "haStatus", "pending", "times"});
    AspiFault f;
    if (r.Has("opcode")) f.opcode = ReadByte(r, "opcode");
    r.Get("pending", f.pending);
    if (r.Has("srbStatus")) f.srbStatus = static_cast<uint8_t>(ReadByte(r, "srbStatus"));
    if (r.Has("haStatus")) f.haStatus = static_cast<uint8_t>(ReadByte(r, "haStatus"));
    if (int(f.pending) + int(f.srbStatus.has_value()) + int(f.haStatus.has_value()) != 1)
        r.Fail("", "give one of \"srbStatus\", \"haStatus\" or \"pending\": true");
    if (f.srbStatus == 0) r.Fail("srbStatus", "0 is a request still in progress: say \"pending\": true");
    if (f.srbStatus == 1) r.Fail("srbStatus", "1 is success, not a fault");
    if (f.haStatus == 0) r.Fail("haStatus", "0 is no host adapter error");
    ReadFaultTimes(r, f.times, f.always);
    return f;
}

json AspiFaultJson(const AspiFault& f) {
    json j = json::object();
    if (f.opcode != AspiFault::kAny) j["opcode"] = ByteText(f.opcode);
    if (f.srbStatus) j["srbStatus"] = ByteText(*f.srbStatus);
    if (f.haStatus) j["haStatus"] = ByteText(*f.haStatus);
    if (f.pending) j["pending"] = true;
    j["times"] = CountOr(f.times, f.always, "always");
    return j;
}

const char* kAspiEntryPoints[] = {"GetASPI32SupportInfo", "SendASPI32Command"};

AspiAdapter ReadAspiAdapter(const Reader& r, size_t number) {
    r.OnlyKnown({"scsiId", "identifier", "maxTransfer", "alignmentMask", "inquiryStatus", "abortFails", "targets"});
    AspiAdapter a;
    r.Get("scsiId", a.scsiId);
    if (a.scsiId >= AspiSetup::kTargets) r.Fail("scsiId", "an ID on a narrow bus is 0 to 7");
    if (r.Has("identifier")) a.identifier = TextUpTo(r, "identifier", 16);
    r.Get("maxTransfer", a.maxTransfer);
    r.Get("alignmentMask", a.alignmentMask);
    if (a.alignmentMask & (a.alignmentMask + 1)) r.Fail("alignmentMask", "expected one less than a power of two");
    if (r.Has("inquiryStatus")) {
        const json& v = r.Raw("inquiryStatus");
        a.inquiryPending = v.is_string() && v.get<std::string>() == "pending";
        if (!a.inquiryPending) {
            a.inquiryStatus = static_cast<uint8_t>(ReadByte(r, "inquiryStatus"));
            if (*a.inquiryStatus == 0) r.Fail("inquiryStatus", "0 is an inquiry in progress: say \"pending\"");
        }
    }
    r.Get("abortFails", a.abortFails);
    if (!r.Has("targets")) return a;
    const json& all = r.Raw("targets");
    if (!all.is_object()) r.Fail("targets", "expected an object of SCSI IDs, e.g. {\"0\": {\"device\": {...}}}");
    Reader list = r.Child("targets");
    for (auto it = all.begin(); it != all.end(); ++it) {
        const std::string& key = it.key();
        if (key.size() != 1 || key[0] < '0' || key[0] >= '0' + AspiSetup::kTargets)
            list.Fail(key, "expected a target ID, \"0\" to \"7\"");
        const uint8_t id = static_cast<uint8_t>(key[0] - '0');
        if (id == a.scsiId) list.Fail(key, "the adapter itself has this ID");
        Reader t = list.Child(key.c_str());
        t.OnlyKnown({"device", "faults"});
        AspiTarget target;
        if (t.Has("device")) {
            target.device = ReadDevice(t.Child("device"));
            target.device->place = std::to_string(number) + ":" + key;
        }
        if (t.Has("faults")) {
            const json& faults = t.Raw("faults");
            if (!faults.is_array()) t.Fail("faults", "expected a list of faults");
            for (size_t i = 0; i < faults.size(); ++i)
                target.faults.push_back(
                    ReadAspiFault(Reader(faults[i], t.Source(), t.Path() + "/faults/" + std::to_string(i))));
        }
        a.targets[id] = std::move(target);
    }
    return a;
}

void ReadAspi(const Reader& r, AspiSetup& aspi) {
    r.OnlyKnown({"manager", "missingEntryPoints", "supportStatus", "adapters"});
    if (!r.Has("manager")) r.Fail("manager", "missing: \"present\" or \"missing\" (wnaspi32.dll)");
    std::string manager;
    r.Get("manager", manager);
    if (manager != "present" && manager != "missing") r.Fail("manager", "expected \"present\" or \"missing\"");
    aspi.present = manager == "present";
    if (r.Has("missingEntryPoints")) {
        const json& list = r.Raw("missingEntryPoints");
        if (!list.is_array()) r.Fail("missingEntryPoints", "expected a list of entry point names");
        for (size_t i = 0; i < list.size(); ++i) {
            bool known = false;
            for (const char* name : kAspiEntryPoints) known = known || (list[i].is_string() && list[i] == name);
            if (!known)
                r.Fail("missingEntryPoints/" + std::to_string(i),
                       "expected \"GetASPI32SupportInfo\" or \"SendASPI32Command\"");
            aspi.missingEntryPoints.push_back(list[i].get<std::string>());
        }
    }
    if (r.Has("supportStatus")) aspi.supportStatus = static_cast<uint8_t>(ReadByte(r, "supportStatus"));
    if (r.Has("adapters")) {
        const json& list = r.Raw("adapters");
        if (!list.is_array()) r.Fail("adapters", "expected a list of host adapters, numbered from 0");
        if (list.size() > AspiSetup::kAdapterLimit) r.Fail("adapters", "at most 255 host adapters");
        for (size_t i = 0; i < list.size(); ++i)
            aspi.adapters.push_back(
                ReadAspiAdapter(Reader(list[i], r.Source(), r.Path() + "/adapters/" + std::to_string(i)), i));
    }
}

json AspiJson(const AspiSetup& aspi) {
    json j = {{"manager", aspi.present ? "present" : "missing"}};
    if (!aspi.missingEntryPoints.empty()) j["missingEntryPoints"] = aspi.missingEntryPoints;
    if (aspi.supportStatus) j["supportStatus"] = ByteText(*aspi.supportStatus);
    json adapters = json::array();
    for (const AspiAdapter& a : aspi.adapters) {
        json aj = {{"scsiId", a.scsiId}, {"identifier", a.identifier}, {"maxTransfer", a.maxTransfer},
                   {"alignmentMask", a.alignmentMask}, {"abortFails", a.abortFails}};
        if (a.inquiryPending) aj["inquiryStatus"] = "pending";
        if (a.inquiryStatus) aj["inquiryStatus"] = ByteText(*a.inquiryStatus);
        json targets = json::object();
        for (const auto& [id, t] : a.targets) {
            json tj = json::object();
            if (t.device) tj["device"] = DeviceJson(*t.device);
            if (!t.faults.empty()) {
                json faults = json::array();
                for (const auto& f : t.faults) faults.push_back(AspiFaultJson(f));
                tj["faults"] = faults;
            }
            targets[std::to_string(id)] = tj;
        }
        aj["targets"] = targets;
        adapters.push_back(aj);
    }
    j["adapters"] = adapters;
    return j;
}

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
  "drives": {
    "C:": { "type": "fixed" },
    "D:": { "type": "cdrom", "device": { "model": "ZQ-X9046", "revision": "1H12", "medium": { "blocks": 2295104 } } }
  },
  "registry": {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion": {},
    "SYSTEM\\CurrentControlSet\\Services": {},
    "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device1": { "DriverParameter": "DmaDetectionLevel = 0x1;" },
    "SYSTEM\\CurrentControlSet\\Services\\Cdrom": { "Autorun": { "dword": 1 } }
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
                 "cwdFails", "imagePath", "privileges", "foreignMutexes", "boots", "restart", "powerFailure", "lockedKeys", "registry",
                 "transcript", "drives", "script", "scriptStep", "hardware", "aspi"});
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
    r.Texts("foreignMutexes", "names", m.foreignMutexes);
    r.Texts("lockedKeys", "key paths", m.lockedKeys);
    if (r.Has("restart")) {
        Reader p = r.Child("restart");
        p.OnlyKnown({"pending", "flags", "by"});
        p.Get("pending", m.restart.pending);
        p.Get("flags", m.restart.flags);
        p.Get("by", m.restart.by);
    }
    if (r.Has("powerFailure")) {
        Reader p = r.Child("powerFailure");
        p.OnlyKnown({"writes", "atWrite", "struck"});
        p.Get("writes", m.powerFailure.writes);
        p.Get("atWrite", m.powerFailure.atWrite);
        p.Get("struck", m.powerFailure.struck);
    }
    if (r.Has("drives")) ReadDrives(r, m.drives);
    if (r.Has("aspi")) ReadAspi(r.Child("aspi"), m.aspi);
    r.Texts("transcript", "lines", m.transcript);
    if (r.Has("script")) {
        if (!r.Raw("script").is_array()) r.Fail("script", "expected a list of steps");
        m.script = r.Raw("script");
    }
    r.Get("scriptStep", m.scriptStep);
    if (r.Has("hardware")) m.hardware = ReadHardware(r.Raw("hardware"), source + ": /hardware");
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
    // Every Windows user profile and machine hive has these keys.
    for (auto& entry : m.users) m.registry.CreateKey(entry.first, Hive::CurrentUser, "Software");
    m.registry.CreateKey("", Hive::LocalMachine, "SOFTWARE");
    m.registry.CreateKey("", Hive::LocalMachine, "SYSTEM");
    if (!m.nextUser.empty() && m.users.find(m.nextUser) == m.users.end())
        r.Fail("nextUser", "no such user in /users");
    m.BuildDynData();
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
    if (powerFailure.writes || powerFailure.atWrite || powerFailure.struck)
        j["powerFailure"] = {{"writes", powerFailure.writes}, {"atWrite", powerFailure.atWrite},
                             {"struck", powerFailure.struck}};
    if (!lockedKeys.empty()) j["lockedKeys"] = lockedKeys;
    j["registry"] = registry.SaveLocalMachine();
    j["drives"] = DrivesJson(drives);
    if (aspi.Described()) j["aspi"] = AspiJson(aspi);
    j["transcript"] = transcript;
    if (!script.empty()) j["script"] = script;
    if (scriptStep) j["scriptStep"] = scriptStep;
    if (!hardware.empty()) j["hardware"] = hardware;
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
    powerFailure.struck = false;
    ++boots;
    if (!nextUser.empty()) user = nextUser;
    nextUser.clear();
    // Other programs' mutexes belong to a session that ended.
    foreignMutexes.clear();
    BuildDynData();
    // Drives are powered anew; a disc stays where it was.
    for (auto& entry : drives)
        if (entry.second.device) entry.second.device->Reset();
    for (auto& adapter : aspi.adapters)
        for (auto& target : adapter.targets)
            if (target.second.device) target.second.device->Reset();
    aspi.requests.clear();
}

ScsiDevice* Machine::DeviceAt(char letter) {
    auto it = drives.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    return it == drives.end() || !it->second.device ? nullptr : &*it->second.device;
}

Machine Machine::Default() { return Parse(kDefaultMachine, "built-in default machine"); }

}  // namespace sim
