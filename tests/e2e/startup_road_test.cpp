// The start of the program, run for real: winsim starts the host build on a
// machine file written here, and the machine it writes back shows what the
// run did (message boxes, the screen saver, every command a drive received).
#include <gtest/gtest.h>

#include "RunWinsim.h"
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;

// Windows XP in English on mains power, the screen saver on, and one
// supported drive on D: that needs the update.
const char* kBaseMachine = R"({
  "name": "start-up road",
  "os": { "platform": 2, "major": 5, "minor": 1, "build": 2600, "csd": "Service Pack 2" },
  "power": { "acLineStatus": 1 },
  "codePage": 1252,
  "screenSaverActive": true,
  "drives": {
    "C:": { "type": "fixed" },
    "D:": { "type": "cdrom",
            "device": { "model": "ZQ-X9046", "revision": "1H12", "level": 0, "medium": { "blocks": 2295104 } } }
  }
})";

struct RunResult {
    int exitCode = -1;
    std::string output;  // what winsim printed, for failure messages
    json machine;
    Lines transcript;    // without times; drive commands without lengths moved and durations
};

// "[    0.016] scsi D: 12 00 00 00 2C 00 | in 44 | moved 44 | status 00 | 2 ms"
// becomes "scsi D: 12 00 00 00 2C 00 | in 44 | status 00".
std::string Plain(const std::string& line) {
    std::string text = line.substr(line.find("] ") + 2);
    if (text.rfind("scsi ", 0) != 0) return text;
    Lines parts;
    for (size_t from = 0;;) {
        size_t bar = text.find(" | ", from);
        parts.push_back(text.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
        if (bar == std::string::npos) break;
        from = bar + 3;
    }
    std::string out = parts[0];
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        if (p.rfind("moved ", 0) == 0 || (p.size() > 3 && p.compare(p.size() - 3, 3, " ms") == 0)) continue;
        out += " | " + p;
    }
    return out;
}

RunResult RunProgram(const json& machine, const char* user = "consenting") {
    static int serial = 0;
    std::filesystem::path file = std::filesystem::temp_directory_path() /
                                 ("winqor-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".json");
    std::ofstream(file) << machine.dump(2);
    WinsimRun raw = RunWinsim(std::string("--trace --user ") + user, file.string());
    RunResult run;
    run.output = raw.output;
    run.exitCode = raw.exitCode;
    run.machine = raw.machine;
    std::filesystem::remove(file);
    if (run.machine.is_object() && run.machine.contains("transcript"))
        for (const auto& line : run.machine["transcript"]) {
            std::string plain = Plain(line.get<std::string>());
            // These roads judge what the program did; how the desktop drew it
            // and which key the user pressed are the desktop's own tests.
            if (plain.rfind("screen: ", 0) == 0 || plain.rfind("user: ", 0) == 0 || plain.rfind("  ", 0) == 0) continue;
            run.transcript.push_back(plain);
        }
    return run;
}

json Machine(const char* patch) {
    json m = json::parse(kBaseMachine);
    m.merge_patch(json::parse(patch));
    return m;
}

Lines Seq(std::initializer_list<Lines> parts) {
    Lines out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Lines Times(int n, const Lines& lines) {
    Lines out;
    for (int i = 0; i < n; ++i) out.insert(out.end(), lines.begin(), lines.end());
    return out;
}

std::string Box(const std::string& text) { return "message box \"Firmware Update Utility\": \"" + text + "\" -> OK"; }

const std::string kSaverOff = "screen saver switched off";
const std::string kSaverOn = "screen saver switched on";
const std::string kEnd = "program ended with exit code 0";

const char* kM1 = "Cannot get operationg system information.";
const char* kM2 = "Win32s or unknown operating system.";
const char* kM3 = "Cannot get the power status of the system.\\r\\n Update abort.";
const char* kM4 = "Try again after AC adapter connect the system.";
const char* kM5 = "CD-Drive firmware is NOT need to update firmware.";
const char* kM6 = "Could not be found CD-Drive for this program.";

std::string Scsi(const std::string& drive, const std::string& rest) { return "scsi " + drive + " " + rest; }
Lines Inquiry(const std::string& d) { return {Scsi(d, "12 00 00 00 2C 00 | in 44 | status 00")}; }
Lines Read16(const std::string& d, const std::string& status = "status 00") {
    return {Scsi(d, "28 00 00 00 00 10 00 00 01 00 | in 2048 | " + status)};
}
Lines FamilyQuery(const std::string& d) {
    return {Scsi(d, "1D 00 00 00 08 00 | out 8 [88 00 00 04 00 40 00 00] | status 00"),
            Scsi(d, "1C 00 00 00 10 00 | in 16 | status 00")};
}
// The start-up's judgement of a drive whose first read finds nothing pending.
Lines Judged(const std::string& d) { return Seq({Read16(d), Inquiry(d), FamilyQuery(d)}); }
// The ASPI scan's probe of a target with a device on it.
Lines Probe(const std::string& d) {
    return Seq({{Scsi(d, "00 00 00 00 00 00 | none 0 | status 00")}, Inquiry(d)});
}

struct Road {
    const char* what;
    const char* patch;  // over the base machine
    Lines transcript;
    bool screenSaverAfter;
};

TEST(StartupRoad, EndsWhereTheMachineOrTheDrivesSay) {
    // The pass-through transport sends a command again on UNIT ATTENTION,
    // seven attempts in all, so each read the start-up sees is seven here.
    const std::string power29 = "status 02 sense 06/29/00";
    const std::string medium28 = "status 02 sense 06/28/00";
    const std::string noDisc = "status 02 sense 02/3A/00";
    const Road roads[] = {
        // The ASPI transport asks for the version too, while it is built.
        {"GetVersionExA fails", R"({"os": {"versionFails": true}})", {Box(kM1), Box(kM1), kEnd}, true},
        {"Win32s", R"({"os": {"platform": 0, "major": 3, "minor": 10}})", {Box(kM2), kEnd}, true},
        {"power query fails", R"({"power": {"callFails": true}})", {Box(kM3), kEnd}, true},
        {"on battery", R"({"power": {"acLineStatus": 0}})", {Box(kM4), kEnd}, true},
        // No ASPI manager on this machine: the transport says so first.
        {"Windows 98, power unknown", R"({"os": {"platform": 1, "major": 4, "minor": 10, "build": 2222},
                                          "power": {"acLineStatus": 255}})",
         {Box("ASPI Initialize Fail!"), Box(kM4), kEnd}, true},
        {"Windows 2000, power unknown", R"({"os": {"major": 5, "minor": 0}, "power": {"acLineStatus": 255}})",
         {Box(kM4), kEnd}, true},
        {"Windows NT 4.0: no power check, mutex WINQOR taken",
         R"({"os": {"major": 4, "minor": 0, "build": 1381}, "power": {"callFails": true}, "foreignMutexes": ["WINQOR"]})",
         {kEnd}, true},
        {"Windows NT 4.0 beside another program's Global\\WINQOR",
         R"({"os": {"major": 4, "minor": 0, "build": 1381}, "power": {"acLineStatus": 0},
             "foreignMutexes": ["Global\\WINQOR"]})",
         Seq({{kSaverOff}, Inquiry("D:"), Judged("D:"), {kSaverOn, kEnd}}), true},
        {"Windows XP, a copy already runs", R"({"foreignMutexes": ["Global\\WINQOR"]})", {kEnd}, true},
        {"Windows 2000, a copy already runs", R"({"os": {"major": 5, "minor": 0}, "foreignMutexes": ["Global\\WINQOR"]})",
         {kEnd}, true},
        {"Windows XP beside another session's WINQOR", R"({"foreignMutexes": ["WINQOR"]})",
         Seq({{kSaverOff}, Inquiry("D:"), Judged("D:"), {kSaverOn, kEnd}}), true},
        {"no optical drive", R"({"drives": {"D:": null}})", {kSaverOff, Box(kM6), kSaverOn, kEnd}, true},
        {"no optical drive, screen saver off", R"({"screenSaverActive": false, "drives": {"D:": null}})",
         {Box(kM6), kEnd}, false},
        {"drive of another vendor", R"({"drives": {"D:": {"device": {"vendor": "OTHERCO "}}}})",
         Seq({{kSaverOff}, Inquiry("D:"), {Box(kM6), kSaverOn, kEnd}}), true},
        {"drive up to date", R"({"drives": {"D:": {"device": {"revision": "1H13", "level": 32}}}})",
         Seq({{kSaverOff}, Inquiry("D:"), Judged("D:"), {Box(kM5), kSaverOn, kEnd}}), true},
        {"drive with firmware of another family letter", R"({"drives": {"D:": {"device": {"revision": "1h12"}}}})",
         Seq({{kSaverOff}, Inquiry("D:"), Read16("D:"), Inquiry("D:"), {Box(kM6), kSaverOn, kEnd}}), true},
        {"family query refused",
         R"({"drives": {"D:": {"device": {"faults": [{"opcode": "0x1D", "status": 2, "sense": "05/24/00"}]}}}})",
         Seq({{kSaverOff},
              Inquiry("D:"),
              Read16("D:"),
              Inquiry("D:"),
              {Scsi("D:", "1D 00 00 00 08 00 | out 8 | status 02 sense 05/24/00")},
              {Box(kM6), kSaverOn, kEnd}}),
         true},
        {"two drives, the first needs the update",
         R"({"drives": {"E:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "revision": "1H12"}}}})",
         Seq({{kSaverOff}, Inquiry("D:"), Inquiry("E:"), Judged("D:"), {kSaverOn, kEnd}}), true},
        // E: holds no disc: its read fails, which changes nothing.
        {"two drives, the first up to date",
         R"({"drives": {"D:": {"device": {"revision": "1H14"}},
                        "E:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "revision": "1H12"}}}})",
         Seq({{kSaverOff}, Inquiry("D:"), Inquiry("E:"), Judged("D:"), Read16("E:", noDisc), Inquiry("E:"),
              FamilyQuery("E:"), {kSaverOn, kEnd}}),
         true},
        {"two drives, neither needs it",
         R"({"drives": {"D:": {"device": {"revision": "1H14"}},
                        "E:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "vendor": "OTHERCO "}}}})",
         Seq({{kSaverOff}, Inquiry("D:"), Inquiry("E:"), Judged("D:"), {Box(kM5), kSaverOn, kEnd}}), true},
        {"reset, then medium change reported",
         R"({"drives": {"D:": {"device": {"faults": [
               {"opcode": "0x28", "status": 2, "sense": "06/29/00", "times": 7},
               {"opcode": "0x28", "status": 2, "sense": "06/28/00", "times": 7}]}}}})",
         Seq({{kSaverOff}, Inquiry("D:"), Times(7, Read16("D:", power29)), Times(7, Read16("D:", medium28)),
              Judged("D:"), {kSaverOn, kEnd}}),
         true},
        // Seven reads at most: a drive that never settles is left alone.
        {"unit attentions without end", R"({"drives": {"D:": {"device": {"unitAttentionStorm": "forever"}}}})",
         Seq({{kSaverOff}, Inquiry("D:"), Times(7 * 7, Read16("D:", power29)), {Box(kM6), kSaverOn, kEnd}}), true},
        // Windows 98/ME: D: is only a letter; the drive is reached on the
        // secondary IDE channel through the ASPI manager, a disk on the primary.
        {"Windows 98 SE, the drive on an ASPI adapter needs the update",
         R"({"os": {"platform": 1, "major": 4, "minor": 10, "build": 2222, "csd": " A "},
             "drives": {"D:": {"device": null}},
             "aspi": {"manager": "present", "adapters": [
               {"targets": {"0": {"device": {"model": "disk"}}}},
               {"targets": {"0": {"device": {"model": "ZQ-X9046", "revision": "1H12", "level": 0,
                                             "medium": {"blocks": 2295104}}}}}]}})",
         Seq({{kSaverOff}, Probe("0:0"), Probe("1:0"), Judged("1:0"), {kSaverOn, kEnd}}), true},
        {"Windows ME, the drive on an ASPI adapter up to date",
         R"({"os": {"platform": 1, "major": 4, "minor": 90, "build": 3000, "csd": " "},
             "drives": {"D:": {"device": null}},
             "aspi": {"manager": "present", "adapters": [
               {"targets": {"0": {"device": {"model": "disk"}}}},
               {"targets": {"0": {"device": {"model": "ZQ-X9046", "revision": "1H13", "level": 32,
                                             "medium": {"blocks": 2295104}}}}}]}})",
         Seq({{kSaverOff}, Probe("0:0"), Probe("1:0"), Judged("1:0"), {Box(kM5), kSaverOn, kEnd}}), true},
        {"Windows 98 SE, another maker's drive on the ASPI adapter",
         R"({"os": {"platform": 1, "major": 4, "minor": 10, "build": 2222, "csd": " A "},
             "drives": {"D:": {"device": null}},
             "aspi": {"manager": "present", "adapters": [
               {"targets": {"0": {"device": {"model": "disk"}}}},
               {"targets": {"1": {"device": {"model": "optical", "medium": {"blocks": 2295104}}}}}]}})",
         Seq({{kSaverOff}, Probe("0:0"), Probe("1:1"), {Box(kM6), kSaverOn, kEnd}}), true},
        // The first adapter's drive holds no disc and is up to date.
        {"Windows ME, two drives on two adapters, the second needs the update",
         R"({"os": {"platform": 1, "major": 4, "minor": 90, "build": 3000, "csd": " "},
             "drives": {"D:": {"device": null}},
             "aspi": {"manager": "present", "adapters": [
               {"scsiId": 7, "targets": {"0": {"device": {"model": "disk"}},
                                         "1": {"device": {"model": "ZQ-X9046", "revision": "1H14"}}}},
               {"scsiId": 0, "targets": {"1": {"device": {"model": "ZQ-X9046", "revision": "1H12",
                                                          "medium": {"blocks": 2295104}}}}}]}})",
         Seq({{kSaverOff}, Probe("0:0"), {Scsi("0:1", "00 00 00 00 00 00 | none 0 | " + noDisc)}, Inquiry("0:1"),
              Probe("1:1"), Read16("0:1", noDisc), Inquiry("0:1"), FamilyQuery("0:1"), Judged("1:1"),
              {kSaverOn, kEnd}}),
         true},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.what);
        // A drive that needs the update leads on to the agreement; these roads
        // end there, with the user declining, so what they show is the scan.
        bool bReachesAgreement = true;
        for (const auto& line : road.transcript)
            if (line.rfind("message box", 0) == 0 || (line == kEnd && road.transcript.size() == 1)) bReachesAgreement = false;
        json machine = Machine(road.patch);
        if (bReachesAgreement) machine["script"] = json::parse(R"([{"press": "Not Agree"}])");
        RunResult run = RunProgram(machine, bReachesAgreement ? "scripted" : "consenting");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.transcript, road.transcript) << run.output;
        EXPECT_EQ(run.machine["screenSaverActive"], road.screenSaverAfter);
    }
}

struct Message {
    const char* what;
    const char* patch;
    const char* english;
    const char* japanese;
};

TEST(StartupRoad, MessagesFollowTheCodePage) {
    const Message messages[] = {
        {"M1", R"({"os": {"versionFails": true}})", kM1, "オペレーティングシステムの情報を取得できません。"},
        {"M2", R"({"os": {"platform": 0}})", kM2, "Win32s または不明なOS です。"},
        {"M3", R"({"power": {"callFails": true}})", kM3,
         "システムの電源状態を取得できません。\\r\\nアップデートを中断します。"},
        {"M4", R"({"power": {"acLineStatus": 0}})", kM4, "システムにAC 電源を接続して再度実行してください。"},
        {"M5", R"({"drives": {"D:": {"device": {"revision": "1H14"}}}})", kM5,
         "CD ドライブのファームウェアは書き換え不要です。"},
        {"M6", R"({"drives": {"D:": null}})", kM6, "このプログラムに対応したCD ドライブが見つかりません。"},
    };
    // Only 932 is Japanese; another multibyte code page gets English.
    const struct {
        int codePage;
        bool japanese;
    } languages[] = {{1252, false}, {932, true}, {936, false}};
    for (const auto& m : messages) {
        for (const auto& l : languages) {
            SCOPED_TRACE(std::string(m.what) + " on code page " + std::to_string(l.codePage));
            json machine = Machine(m.patch);
            machine["codePage"] = l.codePage;
            RunResult run = RunProgram(machine);
            ASSERT_EQ(run.exitCode, 0) << run.output;
            Lines boxes;
            for (const auto& line : run.transcript)
                if (line.rfind("message box ", 0) == 0) boxes.push_back(line);
            ASSERT_FALSE(boxes.empty()) << run.output;
            EXPECT_EQ(boxes.back(), Box(l.japanese ? m.japanese : m.english));
        }
    }
}

}  // namespace
