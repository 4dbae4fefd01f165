// The main dialog on a simulated PC with drives, run by a user who takes
// the test's steps one at a time: each step either acts or waits for what
// it needs to see (a tick, a notice, a message box) in virtual time.
#pragma once
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Text.h"
#include "drive/CDriveAccess.h"
#include "drive_machine.h"
#include "mfc_dialog_fixture.h"
#include "ui/CUpdateDlg.h"

namespace updatedlg_test {

using Model = sim::ScsiDevice::Model;

// A text as the user reads it, in UTF-8: English, then Japanese.
struct Words {
    const char* en;
    const char* ja;
};

inline const Words kScanComplete = {"Scan Complete.", "スキャン終了。"};
inline const Words kNotSupport = {"Not Support.", "サポートしないCD ドライブです。"};
inline const Words kWrongFirmware = {"Not support firmware.", "サポートしないファームウェアです。"};
inline const Words kNotNeeded = {"Unnecessary Firmware Update Drive.", "ファームウェアのアップデートは不要です。"};
inline const Words kReady = {" ", " "};
inline const Words kNowUpdating = {"Now Updating...", "アップデート中…"};
inline const Words kUpdateFailed = {"Update Failed.", "アップデート失敗。"};
inline const Words kUpdateFailedBox = {"Update Failed.", "アップデートに失敗しました。"};
inline const Words kUpdateComplete = {"Update Complete.", "アップデート終了。"};
inline const Words kNotSupportVersionBox = {"Not Support Version.", "サポートしないファームウェアです。"};
inline const Words kDriveLabel = {"CD-Drive", "CD ドライブ"};
inline const Words kAboutMenu = {"About", "バージョン情報"};
inline const Words kStartCaption = {"Start Update", "アップデート開始"};
inline const Words kCancelCaption = {"CANCEL", "中止"};
// The notices the dialog runs, by a line of each.
inline const Words kStartNotice = {"The firmware update takes about 3 minutes.",
                                   "ファームウェアのアップデートには約3 分かかります。"};
inline const Words kEndNotice = {"Firmware update complete.", "ファームウェアのアップデートが終了しました。"};
inline const Words kCancelNotice = {"Retrieves setting and system restart now.", "設定を元に戻しシステムを再起動します。"};

inline const char kCaption[] = "Firmware Update Utility Ver.5.2.0 for  DVD-ROM ZQ-X9046";
inline const char kBoxCaption[] = "Firmware Update Utility";

// One drive behind a drive letter of a Windows XP machine.
struct DriveSetup {
    char letter;
    Model model;
    const char* revision;
    const char* family;
    uint8_t level;
};
inline DriveSetup NeedsUpdate(char letter = 'D') { return {letter, Model::ZqX9046, "1H12", "hq", 0}; }

// What each step of the user does; true when it is done, false to be asked
// again after the next thing that happens.
using UserStep = std::function<bool(HWND top)>;

class StepAgent : public sim::desktop::UserAgent {
public:
    explicit StepAgent(std::vector<UserStep> steps) : m_steps(std::move(steps)) {}
    std::string Name() const override { return "test steps"; }
    sim::desktop::Decision Act(HWND top) override {
        if (m_next >= m_steps.size()) return {};
        if (!m_steps[m_next](top)) return {};
        ++m_next;
        return {sim::desktop::Decision::kActed, 0};
    }
    std::string Stuck() const override {
        return m_next >= m_steps.size() ? "the test has no steps left"
                                        : "step " + std::to_string(m_next + 1) + " of the test cannot go on";
    }
    size_t Done() const { return m_next; }

private:
    std::vector<UserStep> m_steps;
    size_t m_next = 0;
};

class UpdateDlgTest : public mfc_test::MfcDialogTest {
protected:
    void SetUp() override { Boot({NeedsUpdate()}, 1252); }
    void TearDown() override {
        m_drive.reset();
        m_app.reset();
        MfcDialogTest::TearDown();
    }

public:
    // A fresh Windows XP machine with these drives, scanned by nobody yet.
    void Boot(const std::vector<DriveSetup>& drives, unsigned codePage) {
        m_drive.reset();
        m_app.reset();
        sim::Machine m = drivetest::NtMachine();
        m.codePage = codePage;
        for (const DriveSetup& d : drives) {
            sim::ScsiDevice& device = drivetest::PutDrive(m, d.letter, d.model);
            if (device.CarriesFirmware()) {
                device.SetRevision(d.revision);
                device.SetFamily(d.family);
                device.SetLevel(d.level);
            }
        }
        sim::Process::Boot(m);
        sim::desktop::Desktop::Get().Reset();
        sim::desktop::Desktop::Get().SetAgent(sim::desktop::MakeIdleAgent());
        m_japanese = codePage == 932;
        // The icon comes from the application, as in the program.
        m_app = std::make_unique<CWinApp>();
        m_drive = std::make_unique<CDriveAccess>();
        m_drive->m_bUsePassThrough = 1;
    }

    StepAgent& UseSteps(std::vector<UserStep> steps) {
        auto agent = std::make_unique<StepAgent>(std::move(steps));
        StepAgent& ref = *agent;
        sim::desktop::Desktop::Get().SetAgent(std::move(agent));
        return ref;
    }

    // The dialog as the start-up routine runs it.
    template <class TDlg>
    INT_PTR Run(TDlg& dlg, int nChangeCount = 0) {
        m_app->m_pMainWnd = &dlg;
        dlg.m_pDrive = m_drive.get();
        dlg.m_nChangeCount = nChangeCount;
        return dlg.DoModal();
    }

    const char* Say(const Words& w) const { return m_japanese ? w.ja : w.en; }

    // ---- what the user sees, in UTF-8

    static std::string Utf8(const std::string& text) {
        return sim::ToUtf8(text, sim::desktop::Desktop::Get().CodePage());
    }
    static std::string TextOf(HWND hwnd) { return Utf8(WindowText(hwnd)); }
    static std::string ItemOf(HWND dlg, int id) { return TextOf(GetDlgItem(dlg, id)); }
    static bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }
    static int Progress(HWND dlg) { return static_cast<int>(SendMessageA(GetDlgItem(dlg, 1012), PBM_GETPOS, 0, 0)); }
    static std::vector<std::string> ListEntries(HWND dlg) {
        HWND list = GetDlgItem(dlg, 1000);
        std::vector<std::string> out;
        const int n = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            char text[256] = "";
            SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            out.push_back(Utf8(text));
        }
        return out;
    }
    static std::string AllTextOf(HWND top) {
        std::string all = TextOf(top) + "\n";
        for (auto& v : sim::desktop::VisibleControls(top)) all += v.text + "\n";
        return all;
    }
    // The text of a message box or notice: its first static.
    static std::string BoxText(HWND top) {
        for (auto& v : sim::desktop::VisibleControls(top))
            if (v.kind == sim::desktop::Kind::Static && !v.text.empty()) return v.text;
        return "";
    }
    static bool IsMainDialog(HWND top) { return TextOf(top) == kCaption; }

    // Which of the list, Start and CANCEL take input, by the names of the
    // dialog's states.
    static std::string ControlsOf(HWND dlg) {
        const bool list = Enabled(dlg, 1000), start = Enabled(dlg, 1006), cancel = Enabled(dlg, 1007);
        if (list && !start && cancel) return "not ready";
        if (list && start && cancel) return "ready";
        if (!list && !start && !cancel) return "busy";
        if (!list && !start && cancel) return "failed";
        return std::string("list ") + (list ? "on" : "off") + ", start " + (start ? "on" : "off") + ", cancel " +
               (cancel ? "on" : "off");
    }

    // ---- steps

    // Runs the test's checks on the window in front, once.
    static UserStep Look(std::function<void(HWND)> check) {
        return [check](HWND top) {
            check(top);
            return true;
        };
    }
    static UserStep ClickOn(int id) {
        return [id](HWND top) {
            Click(top, id);
            return true;
        };
    }
    static UserStep PostToTop(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return [=](HWND top) {
            PostMessageA(top, message, wParam, lParam);
            return true;
        };
    }
    // Waits (in virtual time, at most seconds) for a window in front that
    // shows text, then presses Enter in it. A window that never comes ends
    // the run with a picture of what the user sees.
    UserStep Answer(const Words& text, double seconds = 400) {
        auto deadline = std::make_shared<uint64_t>(0);
        std::string wanted = Say(text);
        return [wanted, seconds, deadline](HWND top) {
            if (!*deadline) *deadline = Now() + static_cast<uint64_t>(seconds * 1000);
            if (!IsMainDialog(top) && AllTextOf(top).find(wanted) != std::string::npos) {
                Key(top, VK_RETURN);
                return true;
            }
            if (Now() < *deadline) return false;
            std::string screen;
            for (auto& line : Draw(top)) screen += line + "\n";
            std::fprintf(stderr, "%s", screen.c_str());
            sim::desktop::Desktop::Get().Fail("no window showed \"" + wanted + "\"", 71);
        };
    }
    // Waits until the dialog's own state says so.
    static UserStep Until(std::function<bool(HWND)> holds) { return holds; }

    // The message boxes of the run: caption, text and answer.
    static std::vector<std::string> Boxes() { return MessageBoxes(); }
    static int Beeps() { return static_cast<int>(Transcript("beep").size()); }
    std::string BoxLine(const Words& text) const {
        return std::string("message box \"") + kBoxCaption + "\": \"" + Say(text) + "\" -> OK";
    }

    std::unique_ptr<CWinApp> m_app;
    std::unique_ptr<CDriveAccess> m_drive;
    bool m_japanese = false;
};

}  // namespace updatedlg_test
