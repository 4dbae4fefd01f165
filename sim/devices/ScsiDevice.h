// A SCSI device on the simulated PC: its identity, the state a real drive
// keeps (tray, medium, unit attention, firmware), faults a test injects,
// and a trace of every command it was sent. The same device can sit behind
// a drive letter (NT pass-through) or an ASPI target (98/ME); the transport
// only hands it requests and waits for the time it reports.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "FirmwareLayout.h"

namespace sim {

namespace scsi {
// Status bytes.
constexpr uint8_t kGood = 0x00;
constexpr uint8_t kCheckCondition = 0x02;
constexpr uint8_t kBusy = 0x08;
// Sense keys.
constexpr uint8_t kNoSense = 0x0;
constexpr uint8_t kNotReady = 0x2;
constexpr uint8_t kIllegalRequest = 0x5;
constexpr uint8_t kUnitAttention = 0x6;
// Opcodes the models know.
constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kReceiveDiagnosticResults = 0x1C;
constexpr uint8_t kSendDiagnostic = 0x1D;
constexpr uint8_t kPreventAllowMediumRemoval = 0x1E;
constexpr uint8_t kRead10 = 0x28;
// The vendor diagnostic page of the Valtora drives and its functions.
constexpr uint8_t kVendorPage = 0x88;
constexpr uint8_t kFamilyQuery = 0x40;
constexpr uint8_t kDownloadStart = 0xF0;
constexpr uint8_t kDownloadData = 0xC0;
}  // namespace scsi

struct Sense {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    bool operator==(const Sense& o) const { return key == o.key && asc == o.asc && ascq == o.ascq; }
    bool operator!=(const Sense& o) const { return !(*this == o); }
    // "KK/AA/QQ" in hex, the form of machine files and trace lines.
    std::string Text() const;
    static std::optional<Sense> Parse(const std::string& text);
};

// The direction a host states for a request; the values are those of
// SCSI_IOCTL_DATA_OUT, _IN and _UNSPECIFIED.
enum class DataDirection : uint8_t { Out = 0, In = 1, Unspecified = 2 };

struct ScsiRequest {
    const uint8_t* cdb = nullptr;
    size_t cdbLength = 0;
    DataDirection direction = DataDirection::Unspecified;
    uint8_t* data = nullptr;  // the host's buffer, length bytes
    uint32_t length = 0;
};

struct ScsiResult {
    static constexpr size_t kSenseLength = 24;
    bool completes = true;  // false: the device never ends the command
    uint8_t status = scsi::kGood;
    bool hasSense = false;  // fixed-format sense data with CHECK CONDITION
    std::array<uint8_t, kSenseLength> sense{};
    uint32_t transferred = 0;  // bytes that moved in the data phase
    uint32_t durationMs = 0;   // virtual time the command takes
};

// What an injected fault matches and what it does instead of the command.
struct Fault {
    static constexpr int kAny = -1;
    int opcode = kAny;
    // SEND DIAGNOSTIC: bytes 0, 5 and 6 of the page sent (page code,
    // function, argument); RECEIVE DIAGNOSTIC RESULTS: the page code of the
    // results it would return.
    int page = kAny;
    int function = kAny;
    int argument = kAny;

    bool hang = false;  // the command never completes
    uint8_t status = scsi::kCheckCondition;
    Sense sense;        // with CHECK CONDITION
    std::optional<uint8_t> senseByte19;  // else the device's own
    uint32_t times = 1;
    bool always = false;
};

// An answer scripted at the device itself, for the next command whatever
// its opcode: what a drive with odd firmware may send back. The transports
// see it exactly as a reply of the model.
struct RawReply {
    bool model = false;  // this command gets the model's own answer instead
    bool hang = false;   // the command never completes
    uint8_t status = scsi::kGood;
    // Sense data goes with CHECK CONDITION only, as autosense does.
    std::optional<std::array<uint8_t, ScsiResult::kSenseLength>> sense;
    std::vector<uint8_t> data;  // data in; no more than the host offered moves
};

struct Medium {
    uint32_t blocks = 0;
};

struct TraceEntry {
    uint64_t time = 0;  // virtual ms when the command reached the device
    std::vector<uint8_t> cdb;
    DataDirection direction = DataDirection::Unspecified;
    uint32_t length = 0;       // transfer length the host offered
    uint32_t transferred = 0;  // bytes that moved
    std::vector<uint8_t> dataOut;  // the first bytes sent to the device (at most 8)
    bool completes = true;
    uint8_t status = 0;
    Sense sense;  // when status is CHECK CONDITION
    uint32_t durationMs = 0;
    std::string Text(const std::string& where) const;
};

class ScsiDevice {
public:
    enum class Model {
        ZqX9046,  // the supported drive: the vendor page and a firmware image
        ZqX7301,  // its sibling: the same firmware family, another identity
        Optical,  // another maker's CD/DVD drive: standard commands only
        Disk,     // a hard disk (device type 0): fixed medium, 512-byte blocks
    };
    enum class Attention { None, MediumChanged, PowerOn };

    explicit ScsiDevice(Model model = Model::ZqX9046);

    static const char* ModelName(Model model);
    static std::optional<Model> ModelByName(const std::string& name);

    Model model() const { return m_model; }
    bool CarriesFirmware() const { return m_model == Model::ZqX9046 || m_model == Model::ZqX7301; }
    bool Removable() const { return m_model != Model::Disk; }
    uint32_t BlockSize() const { return m_model == Model::Disk ? 512 : 2048; }

    // Identity. For models with firmware the revision, family code and
    // level byte are read from the image; the others have no family code.
    uint8_t deviceType = 5;
    std::string vendor;   // at most 8 characters
    std::string product;  // at most 16
    std::string Revision() const;
    std::string Family() const;
    uint8_t Level() const;
    // Set the values, rewriting them in the image when the model has one.
    void SetRevision(const std::string& revision);
    void SetFamily(const std::string& family);
    void SetLevel(uint8_t level);

    // Models with firmware: the whole flash, firmware::kImageSize bytes.
    std::vector<uint8_t> firmware;
    // The image a drive leaves the factory with, for these values.
    static std::vector<uint8_t> FactoryImage(const std::string& banner, const std::string& revision,
                                             const std::string& family, uint8_t level);
    bool FirmwareIsFactory() const;

    // State a real drive keeps while powered.
    std::optional<Medium> medium;
    bool trayOpen = false;
    bool prevented = false;
    Attention attention = Attention::None;
    uint8_t senseByte19 = 0;  // the vendor byte of its sense data

    std::vector<Fault> faults;
    // While not empty, the front answers the next command (or leaves it to
    // the model) before unit attentions and faults are looked at. Not kept
    // in the machine file.
    std::deque<RawReply> replies;
    // A drive that reports a power-on unit attention to every command
    // (INQUIRY excepted) for this many commands, or forever.
    uint32_t stormLeft = 0;
    bool stormForever = false;

    // Runs one command and says how long it takes; the transport waits.
    ScsiResult Execute(const ScsiRequest& request);
    // A power cycle or a bus reset: volatile state goes, a power-on unit
    // attention is pending, the medium stays as it is.
    void Reset();
    // Someone puts a disc in and closes the tray.
    void InsertMedium(Medium m);

    // Every command since the device was made (or the trace cleared).
    const std::vector<TraceEntry>& Trace() const { return m_trace; }
    void ClearTrace() { m_trace.clear(); }
    // Where the device sits ("D:", "1:2"), for trace lines.
    std::string place;

    // A command is in progress; transports serialise on this.
    bool busy = false;

    // The download in progress, if any. Lost on reset.
    struct Download {
        int stage = 0;  // 0 none, 1 first start page seen, 2 receiving blocks
        int blocks = 0;  // blocks received so far
        std::vector<uint8_t> data;
    };
    Download download;
    // Results of the last SEND DIAGNOSTIC, for RECEIVE DIAGNOSTIC RESULTS.
    std::vector<uint8_t> diagnosticResults;

private:
    ScsiResult Dispatch(const ScsiRequest& rq);
    ScsiResult Reply(const ScsiRequest& rq, const RawReply& reply) const;
    ScsiResult Check(Sense sense, uint32_t ms, std::optional<uint8_t> byte19 = std::nullopt) const;
    ScsiResult DataIn(const ScsiRequest& rq, const std::vector<uint8_t>& bytes, uint32_t ms) const;
    bool MediumReady() const { return medium && !trayOpen; }
    Fault* MatchFault(const ScsiRequest& rq);

    ScsiResult Inquiry(const ScsiRequest& rq);
    ScsiResult TestUnitReady();
    ScsiResult RequestSense(const ScsiRequest& rq);
    ScsiResult StartStopUnit(const ScsiRequest& rq);
    ScsiResult PreventAllow(const ScsiRequest& rq);
    ScsiResult Read10(const ScsiRequest& rq);
    ScsiResult SendDiagnostic(const ScsiRequest& rq);
    ScsiResult VendorPage(const std::vector<uint8_t>& page);
    ScsiResult ReceiveDiagnosticResults(const ScsiRequest& rq);
    void Flash();

    void Record(const ScsiRequest& rq, const ScsiResult& r, uint64_t time);

    Model m_model;
    std::string m_revision;  // models without firmware
    std::vector<TraceEntry> m_trace;
};

}  // namespace sim
