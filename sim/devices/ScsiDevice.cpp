#include "ScsiDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../core/Process.h"

namespace sim {

namespace {

using namespace scsi;

// Virtual time per command, in ms: enough that polls and time-outs see the
// drive working, small enough that a scan stays quick.
constexpr uint32_t kQuickMs = 2;
constexpr uint32_t kMediaMs = 8;
constexpr uint32_t kEjectMs = 1500;
constexpr uint32_t kLoadMs = 2000;
constexpr uint32_t kSpinUpMs = 800;
constexpr uint32_t kSelfTestMs = 500;
constexpr uint32_t kBlockMs = 40;    // one 32 KiB download block
constexpr uint32_t kFlashMs = 6000;  // writing the flash after the last block

constexpr size_t kInquiryLength = 96;
constexpr size_t kDownloadHeader = 8;
constexpr uint32_t kDownloadPageLength = 4 + firmware::kBlockSize;

const Sense kMediumNotPresent{kNotReady, 0x3A, 0x00};
const Sense kInvalidOpcode{kIllegalRequest, 0x20, 0x00};
const Sense kLbaOutOfRange{kIllegalRequest, 0x21, 0x00};
const Sense kInvalidCdbField{kIllegalRequest, 0x24, 0x00};
const Sense kInvalidParameterField{kIllegalRequest, 0x26, 0x00};
const Sense kParameterListLength{kIllegalRequest, 0x1A, 0x00};
const Sense kSequenceError{kIllegalRequest, 0x2C, 0x00};
const Sense kRemovalPrevented{kIllegalRequest, 0x53, 0x02};
const Sense kPowerOn{kUnitAttention, 0x29, 0x00};
const Sense kMediumChanged{kUnitAttention, 0x28, 0x00};

struct ModelInfo {
    ScsiDevice::Model model;
    const char* name;
    uint8_t type;
    const char* vendor;
    const char* product;
    const char* revision;
};

const ModelInfo kModels[] = {
    {ScsiDevice::Model::ZqX9046, "ZQ-X9046", 5, "VALTORA ", "DVD-ROM ZQ-X9046", "1H12"},
    // The sibling shares the family; its identity carries "10" where the
    // supported drive has "RO".
    {ScsiDevice::Model::ZqX7301, "ZQ-X7301", 5, "VALTORA ", "DVDR10  ZQ-X7301", "1H25"},
    {ScsiDevice::Model::Optical, "optical", 5, "GENERIC ", "DVD-ROM DRIVE", "1.00"},
    {ScsiDevice::Model::Disk, "disk", 0, "GENERIC ", "HARD DISK", "1.00"},
};

const ModelInfo& Info(ScsiDevice::Model m) {
    for (const auto& info : kModels)
        if (info.model == m) return info;
    return kModels[0];
}

uint32_t Be16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

std::string Padded(const std::string& s, size_t n, char pad) {
    std::string out = s.substr(0, n);
    out.resize(n, pad);
    return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char b[4];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%s%02X", out.empty() ? "" : " ", v);
        out += b;
    }
    return out;
}

bool TraceToTranscript() {
    const char* v = std::getenv("WINSIM_TRACE");
    return v && std::strcmp(v, "1") == 0;
}

}  // namespace

std::string Sense::Text() const {
    char b[16];
    std::snprintf(b, sizeof b, "%02X/%02X/%02X", key, asc, ascq);
    return b;
}

std::optional<Sense> Sense::Parse(const std::string& text) {
    unsigned k, a, q;
    char tail;
    if (text.size() != 8 || std::sscanf(text.c_str(), "%2x/%2x/%2x%c", &k, &a, &q, &tail) != 3 || k > 0xF)
        return std::nullopt;
    return Sense{static_cast<uint8_t>(k), static_cast<uint8_t>(a), static_cast<uint8_t>(q)};
}

std::string TraceEntry::Text(const std::string& where) const {
    static const char* kDirections[] = {"out", "in", "none"};
    std::string line = "scsi " + where + (where.empty() ? "" : " ") + Hex(cdb) + " | " +
                       kDirections[static_cast<int>(direction)] + " " + std::to_string(length);
    if (!dataOut.empty()) line += " [" + Hex(dataOut) + (transferred > dataOut.size() ? " ...]" : "]");
    if (!completes) return line + " | never completes";
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", status);
    line += " | moved " + std::to_string(transferred) + " | status " + hex;
    if (status == kCheckCondition) line += " sense " + sense.Text();
    return line + " | " + std::to_string(durationMs) + " ms";
}

ScsiDevice::ScsiDevice(Model model) : m_model(model) {
    const ModelInfo& info = Info(model);
    deviceType = info.type;
    vendor = info.vendor;
    product = info.product;
    if (Removable()) {
        medium.reset();
    } else {
        medium = Medium{2097152};  // 1 GiB of 512-byte blocks
    }
    if (CarriesFirmware()) {
        firmware = FactoryImage(std::string(info.vendor) + info.product, info.revision, "hq", 0);
    } else {
        m_revision = info.revision;
    }
}

const char* ScsiDevice::ModelName(Model model) { return Info(model).name; }

std::optional<ScsiDevice::Model> ScsiDevice::ModelByName(const std::string& name) {
    for (const auto& info : kModels)
        if (name == info.name) return info.model;
    return std::nullopt;
}

std::vector<uint8_t> ScsiDevice::FactoryImage(const std::string& banner, const std::string& revision,
                                              const std::string& family, uint8_t level) {
    // Erased flash, with what the drive reads about itself in place.
    std::vector<uint8_t> image(firmware::kImageSize, 0xFF);
    std::copy(banner.begin(), banner.end(), image.begin() + 0x100);
    std::string rev = Padded(revision, 4, ' ');
    std::copy(rev.begin(), rev.end(), image.begin() + firmware::kRevisionOffset);
    image[firmware::kLevelOffset] = level;
    std::string fam = Padded(family, 2, '\0');
    std::copy(fam.begin(), fam.end(), image.begin() + firmware::kFamilyOffset);
    return image;
}

bool ScsiDevice::FirmwareIsFactory() const {
    const ModelInfo& info = Info(m_model);
    return firmware == FactoryImage(std::string(info.vendor) + info.product, Revision(), Family(), Level());
}

std::string ScsiDevice::Revision() const {
    if (!CarriesFirmware()) return m_revision;
    if (firmware.size() < firmware::kRevisionOffset + 4) return "";
    return std::string(firmware.begin() + firmware::kRevisionOffset, firmware.begin() + firmware::kRevisionOffset + 4);
}

std::string ScsiDevice::Family() const {
    if (!CarriesFirmware() || firmware.size() < firmware::kFamilyOffset + 2) return "";
    std::string f(firmware.begin() + firmware::kFamilyOffset, firmware.begin() + firmware::kFamilyOffset + 2);
    while (!f.empty() && f.back() == '\0') f.pop_back();
    return f;
}

uint8_t ScsiDevice::Level() const {
    if (!CarriesFirmware() || firmware.size() <= firmware::kLevelOffset) return 0;
    return firmware[firmware::kLevelOffset];
}

void ScsiDevice::SetRevision(const std::string& revision) {
    if (!CarriesFirmware()) {
        m_revision = revision.substr(0, 4);
        return;
    }
    std::string rev = Padded(revision, 4, ' ');
    std::copy(rev.begin(), rev.end(), firmware.begin() + firmware::kRevisionOffset);
}

void ScsiDevice::SetFamily(const std::string& family) {
    if (!CarriesFirmware()) return;
    std::string fam = Padded(family, 2, '\0');
    std::copy(fam.begin(), fam.end(), firmware.begin() + firmware::kFamilyOffset);
}

void ScsiDevice::SetLevel(uint8_t level) {
    if (CarriesFirmware()) firmware[firmware::kLevelOffset] = level;
}

void ScsiDevice::Reset() {
    attention = Attention::PowerOn;
    prevented = false;
    download = Download{};
    diagnosticResults.clear();
}

void ScsiDevice::InsertMedium(Medium m) {
    medium = m;
    trayOpen = false;
    if (attention == Attention::None) attention = Attention::MediumChanged;
}

ScsiResult ScsiDevice::Execute(const ScsiRequest& rq) {
    uint64_t start = Proc().scheduler().Now();
    ScsiResult r;
    if (!rq.cdb || rq.cdbLength == 0) {
        r = Check(kInvalidCdbField, kQuickMs);
    } else if (!replies.empty()) {
        const RawReply reply = std::move(replies.front());
        replies.pop_front();
        r = reply.model ? Dispatch(rq) : Reply(rq, reply);
    } else {
        r = Dispatch(rq);
    }
    Record(rq, r, start);
    return r;
}

void ScsiDevice::Record(const ScsiRequest& rq, const ScsiResult& r, uint64_t time) {
    TraceEntry e;
    e.time = time;
    if (rq.cdb) e.cdb.assign(rq.cdb, rq.cdb + rq.cdbLength);
    e.direction = rq.direction;
    e.length = rq.length;
    e.transferred = r.transferred;
    if (rq.direction != DataDirection::In && rq.data && r.transferred > 0 && !e.cdb.empty() &&
        e.cdb[0] == kSendDiagnostic)
        e.dataOut.assign(rq.data, rq.data + std::min<uint32_t>(r.transferred, 8));
    e.completes = r.completes;
    e.status = r.status;
    if (r.hasSense) e.sense = Sense{static_cast<uint8_t>(r.sense[2] & 0x0F), r.sense[12], r.sense[13]};
    e.durationMs = r.durationMs;
    if (TraceToTranscript()) Proc().Log(e.Text(place));
    m_trace.push_back(std::move(e));
}

ScsiResult ScsiDevice::Check(Sense s, uint32_t ms, std::optional<uint8_t> byte19) const {
    ScsiResult r;
    r.status = kCheckCondition;
    r.hasSense = true;
    r.sense[0] = 0x70;  // current error, fixed format
    r.sense[2] = s.key & 0x0F;
    r.sense[7] = ScsiResult::kSenseLength - 8;
    r.sense[12] = s.asc;
    r.sense[13] = s.ascq;
    r.sense[19] = byte19 ? *byte19 : senseByte19;
    r.durationMs = ms;
    return r;
}

ScsiResult ScsiDevice::DataIn(const ScsiRequest& rq, const std::vector<uint8_t>& bytes, uint32_t ms) const {
    ScsiResult r;
    r.durationMs = ms;
    // A host that said it sends data gets nothing back.
    if (rq.direction == DataDirection::Out || !rq.data) return r;
    r.transferred = static_cast<uint32_t>(std::min<size_t>(bytes.size(), rq.length));
    if (r.transferred) std::memcpy(rq.data, bytes.data(), r.transferred);
    return r;
}

ScsiResult ScsiDevice::Reply(const ScsiRequest& rq, const RawReply& reply) const {
    ScsiResult r;
    if (reply.hang) {
        r.completes = false;
        return r;
    }
    if (rq.direction == DataDirection::In) r = DataIn(rq, reply.data, kQuickMs);
    // A data-out command takes the whole parameter list the host offers.
    if (rq.direction == DataDirection::Out && rq.data) r.transferred = rq.length;
    r.durationMs = kQuickMs;
    r.status = reply.status;
    if (reply.sense && reply.status == kCheckCondition) {
        r.hasSense = true;
        r.sense = *reply.sense;
    }
    return r;
}

Fault* ScsiDevice::MatchFault(const ScsiRequest& rq) {
    uint8_t opcode = rq.cdb[0];
    for (auto& f : faults) {
        if (f.opcode != Fault::kAny && f.opcode != opcode) continue;
        bool wantsPage = f.page != Fault::kAny || f.function != Fault::kAny || f.argument != Fault::kAny;
        if (wantsPage) {
            int page = -2, function = -2, argument = -2;
            if (opcode == kSendDiagnostic && rq.direction != DataDirection::In && rq.data) {
                uint32_t n = std::min<uint32_t>(rq.length, rq.cdbLength >= 5 ? Be16(rq.cdb + 3) : 0);
                if (n >= 1) page = rq.data[0];
                if (n >= 6) function = rq.data[5];
                if (n >= 7) argument = rq.data[6];
            } else if (opcode == kReceiveDiagnosticResults && !diagnosticResults.empty()) {
                page = diagnosticResults[0];
            }
            if (f.page != Fault::kAny && f.page != page) continue;
            if (f.function != Fault::kAny && f.function != function) continue;
            if (f.argument != Fault::kAny && f.argument != argument) continue;
        }
        return &f;
    }
    return nullptr;
}

ScsiResult ScsiDevice::Dispatch(const ScsiRequest& rq) {
    uint8_t opcode = rq.cdb[0];
    // As on real drives, INQUIRY neither reports nor clears a unit attention.
    if (opcode != kInquiry) {
        if (stormForever || stormLeft > 0) {
            if (!stormForever) --stormLeft;
            return Check(kPowerOn, kQuickMs);
        }
        if (attention != Attention::None) {
            Sense s = attention == Attention::PowerOn ? kPowerOn : kMediumChanged;
            attention = Attention::None;
            return Check(s, kQuickMs);
        }
    }
    if (Fault* f = MatchFault(rq)) {
        Fault fault = *f;
        if (!f->always && --f->times == 0) faults.erase(faults.begin() + (f - faults.data()));
        if (fault.hang) {
            ScsiResult r;
            r.completes = false;
            return r;
        }
        if (fault.status == kCheckCondition) return Check(fault.sense, kQuickMs, fault.senseByte19);
        ScsiResult r;
        r.status = fault.status;
        r.durationMs = kQuickMs;
        return r;
    }
    switch (opcode) {
        case kTestUnitReady:
            return TestUnitReady();
        case kRequestSense:
            return RequestSense(rq);
        case kInquiry:
            return Inquiry(rq);
        case kStartStopUnit:
            return StartStopUnit(rq);
        case kPreventAllowMediumRemoval:
            return PreventAllow(rq);
        case kRead10:
            return Read10(rq);
        case kSendDiagnostic:
            return SendDiagnostic(rq);
        case kReceiveDiagnosticResults:
            return ReceiveDiagnosticResults(rq);
        default:
            return Check(kInvalidOpcode, kQuickMs);
    }
}

namespace {
// Bytes of the CDB, zero past its end, so short CDBs never read outside.
struct Cdb {
    explicit Cdb(const ScsiRequest& rq) {
        std::memcpy(b, rq.cdb, std::min(rq.cdbLength, sizeof b));
    }
    uint8_t b[16] = {};
    uint8_t operator[](size_t i) const { return b[i]; }
};
}  // namespace

ScsiResult ScsiDevice::Inquiry(const ScsiRequest& rq) {
    Cdb c(rq);
    // No vital product data pages.
    if ((c[1] & 0x01) || c[2] != 0) return Check(kInvalidCdbField, kQuickMs);
    std::vector<uint8_t> data(kInquiryLength, 0);
    data[0] = deviceType & 0x1F;
    data[1] = Removable() ? 0x80 : 0x00;
    data[2] = Removable() ? 0x00 : 0x05;  // ATAPI drives claim no standard version
    data[3] = 0x02;
    data[4] = kInquiryLength - 5;
    std::string id = Padded(vendor, 8, ' ') + Padded(product, 16, ' ') + Padded(Revision(), 4, ' ');
    std::copy(id.begin(), id.end(), data.begin() + 8);
    data.resize(std::min<size_t>(data.size(), Be16(c.b + 3)));
    return DataIn(rq, data, kQuickMs);
}

ScsiResult ScsiDevice::TestUnitReady() {
    if (!MediumReady()) return Check(kMediumNotPresent, kQuickMs);
    ScsiResult r;
    r.durationMs = kQuickMs;
    return r;
}

ScsiResult ScsiDevice::RequestSense(const ScsiRequest& rq) {
    // Unit attentions were reported above; what is left is "no sense".
    ScsiResult sense = Check(Sense{kNoSense, 0, 0}, kQuickMs);
    Cdb c(rq);
    std::vector<uint8_t> data(sense.sense.begin(), sense.sense.end());
    data.resize(std::min<size_t>(data.size(), c[4]));
    return DataIn(rq, data, kQuickMs);
}

ScsiResult ScsiDevice::StartStopUnit(const ScsiRequest& rq) {
    Cdb c(rq);
    bool immediate = c[1] & 0x01;
    bool start = c[4] & 0x01;
    bool loadEject = c[4] & 0x02;
    ScsiResult ok;
    ok.durationMs = kQuickMs;
    // A power condition makes the drive ignore start and load/eject.
    if (c[4] & 0xF0) return ok;
    if (loadEject && !Removable()) return Check(kInvalidCdbField, kQuickMs);
    if (loadEject && !start) {
        if (prevented) return Check(kRemovalPrevented, kQuickMs);
        if (!trayOpen) {
            trayOpen = true;
            medium.reset();
            ok.durationMs = immediate ? kQuickMs : kEjectMs;
        }
        return ok;
    }
    if (loadEject && start) {
        if (trayOpen) {
            trayOpen = false;
            ok.durationMs = immediate ? kQuickMs : kLoadMs;
        }
        return ok;
    }
    if (start) {
        if (!MediumReady()) return Check(kMediumNotPresent, kQuickMs);
        ok.durationMs = immediate ? kQuickMs : kSpinUpMs;
    }
    return ok;
}

ScsiResult ScsiDevice::PreventAllow(const ScsiRequest& rq) {
    Cdb c(rq);
    prevented = c[4] & 0x01;
    ScsiResult ok;
    ok.durationMs = kQuickMs;
    return ok;
}

ScsiResult ScsiDevice::Read10(const ScsiRequest& rq) {
    Cdb c(rq);
    if (c[1] & 0x01) return Check(kInvalidCdbField, kQuickMs);  // RelAdr is not supported
    uint32_t lba = Be32(c.b + 2);
    uint32_t count = Be16(c.b + 7);
    if (!MediumReady()) return Check(kMediumNotPresent, kQuickMs);
    if (static_cast<uint64_t>(lba) + count > medium->blocks) return Check(kLbaOutOfRange, kQuickMs);
    ScsiResult r;
    r.durationMs = kMediaMs + count / 16;
    if (rq.direction == DataDirection::Out || !rq.data) return r;
    // Each block starts with its address, the rest is a pattern of it, so
    // a reader can tell which block it got.
    uint64_t total = static_cast<uint64_t>(count) * BlockSize();
    r.transferred = static_cast<uint32_t>(std::min<uint64_t>(total, rq.length));
    for (uint32_t i = 0; i < r.transferred; ++i) {
        uint32_t block = lba + i / BlockSize();
        uint32_t at = i % BlockSize();
        rq.data[i] = at < 4 ? static_cast<uint8_t>(block >> (24 - 8 * at)) : static_cast<uint8_t>(block + at);
    }
    return r;
}

ScsiResult ScsiDevice::SendDiagnostic(const ScsiRequest& rq) {
    Cdb c(rq);
    bool selfTest = c[1] & 0x04;
    uint8_t code = c[1] >> 5;
    uint32_t length = Be16(c.b + 3);
    diagnosticResults.clear();
    ScsiResult ok;
    ok.durationMs = kQuickMs;
    if (selfTest) {
        if (code != 0 || length != 0) return Check(kInvalidCdbField, kQuickMs);
        ok.durationMs = kSelfTestMs;
        return ok;
    }
    if (code != 0) return Check(kInvalidCdbField, kQuickMs);
    if (length == 0) return ok;
    // The drive asks for the whole parameter list; a host that offers less
    // (or nothing to send) leaves it short.
    if (rq.direction == DataDirection::In || !rq.data || rq.length < length)
        return Check(kParameterListLength, kQuickMs);
    std::vector<uint8_t> page(rq.data, rq.data + length);
    if (length < 4 || Be16(page.data() + 2) + 4 != length) {
        ScsiResult r = Check(kParameterListLength, kQuickMs);
        r.transferred = length;
        return r;
    }
    ScsiResult r = CarriesFirmware() && page[0] == kVendorPage ? VendorPage(page)
                                                               : Check(kInvalidParameterField, kQuickMs);
    r.transferred = length;
    return r;
}

ScsiResult ScsiDevice::VendorPage(const std::vector<uint8_t>& page) {
    uint8_t function = page.size() > 5 ? page[5] : 0;
    uint8_t argument = page.size() > 6 ? page[6] : 0;
    size_t pageLength = page.size() - 4;
    ScsiResult ok;
    ok.durationMs = kQuickMs;
    if (function == kFamilyQuery && pageLength == 4 && argument == 0) {
        std::vector<uint8_t> reply(16, 0);
        reply[0] = kVendorPage;
        reply[3] = 12;
        reply[5] = kFamilyQuery;
        std::string fam = Padded(Family(), 2, '\0');
        std::string rev = Padded(Revision(), 4, ' ');
        std::copy(fam.begin(), fam.end(), reply.begin() + 6);
        std::copy(rev.begin(), rev.end(), reply.begin() + 8);
        reply[15] = Level();
        diagnosticResults = reply;
        return ok;
    }
    if (function == kDownloadStart && pageLength == 4 && (argument == 0x00 || argument == 0xFF)) {
        if (argument == 0x00) {
            download = Download{};
            download.stage = 1;
            return ok;
        }
        if (download.stage != 1) {
            download = Download{};
            return Check(kSequenceError, kQuickMs);
        }
        download.stage = 2;
        return ok;
    }
    if (function == kDownloadData && pageLength == kDownloadPageLength && argument != 0) {
        if (download.stage != 2 || argument != download.blocks + 1) {
            download = Download{};
            return Check(kSequenceError, kQuickMs);
        }
        if (static_cast<size_t>(argument) * firmware::kBlockSize > firmware::kImageSize) {
            download = Download{};
            return Check(kInvalidParameterField, kQuickMs);
        }
        download.data.insert(download.data.end(), page.begin() + kDownloadHeader, page.end());
        ++download.blocks;
        ok.durationMs = kBlockMs;
        return ok;
    }
    if (function == kDownloadData && pageLength == 4 && argument == 0) {
        if (download.stage != 2 || download.blocks == 0) {
            download = Download{};
            return Check(kSequenceError, kQuickMs);
        }
        Flash();
        ok.durationMs = kFlashMs;
        return ok;
    }
    return Check(kInvalidParameterField, kQuickMs);
}

void ScsiDevice::Flash() {
    std::copy(download.data.begin(), download.data.end(), firmware.begin());
    // The drive restarts on its new firmware.
    Reset();
}

ScsiResult ScsiDevice::ReceiveDiagnosticResults(const ScsiRequest& rq) {
    Cdb c(rq);
    if (c[1] & 0x01) return Check(kInvalidCdbField, kQuickMs);  // no pages to ask for by code
    if (diagnosticResults.empty()) return Check(kSequenceError, kQuickMs);
    std::vector<uint8_t> data = diagnosticResults;
    data.resize(std::min<size_t>(data.size(), Be16(c.b + 3)));
    return DataIn(rq, data, kQuickMs);
}

}  // namespace sim
