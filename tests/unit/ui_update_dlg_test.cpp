// The main update dialog through the states of an update, on simulated
// drives and in virtual time: each drive judged, Start with each outcome of
// the recheck, the worker polled on the timer until it ends or time runs
// out, and every way of leaving, in English and in Japanese.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "afx.h"
#include "ui_update_dlg_fixture.h"
#include "update/FirmwareIndex.h"
#include "update/FirmwareUpdate.h"

namespace {

using namespace updatedlg_test;

const UINT WM_PROBE = WM_APP + 7;
const unsigned kCodePages[] = {1252, 932};

// The dialog and what a test must see from inside it: each tick of the
// update timer as the dialog left it, the captions as initialisation left
// them, the erase of a minimised paint, and probes that a wait for the
// worker dispatches.
class ObservedUpdateDlg : public CUpdateDlg {
public:
    struct Tick {
        uint64_t at;
        int progress;
        std::string status;
    };
    struct Probe {
        uint64_t at;
        std::string cursor;
        bool updating;
    };
    std::vector<Tick> ticks;
    std::vector<Probe> probes;
    std::string startAtInit, cancelAtInit;
    int iconErases = 0;

protected:
    BOOL OnInitDialog() override {
        BOOL bFocus = CUpdateDlg::OnInitDialog();
        startAtInit = UpdateDlgTest::ItemOf(m_hWnd, 1006);
        cancelAtInit = UpdateDlgTest::ItemOf(m_hWnd, 1007);
        return bFocus;
    }
    afx_msg void OnTimer(UINT_PTR nIDEvent) {
        CUpdateDlg::OnTimer(nIDEvent);
        if (nIDEvent == 107)
            ticks.push_back({UpdateDlgTest::Now(), UpdateDlgTest::Progress(m_hWnd), UpdateDlgTest::ItemOf(m_hWnd, 115)});
    }
    afx_msg LRESULT OnIconEraseBkgnd(WPARAM, LPARAM) {
        ++iconErases;
        return Default();
    }
    afx_msg LRESULT OnProbe(WPARAM, LPARAM) {
        probes.push_back({UpdateDlgTest::Now(), UpdateDlgTest::Cursor(), m_bUpdating != 0});
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ObservedUpdateDlg, CUpdateDlg)
    ON_WM_TIMER()
    ON_MESSAGE(WM_ICONERASEBKGND, &ObservedUpdateDlg::OnIconEraseBkgnd)
    ON_MESSAGE(WM_PROBE, &ObservedUpdateDlg::OnProbe)
END_MESSAGE_MAP()

std::string LanguageOf(unsigned codePage) { return codePage == 932 ? "Japanese" : "English"; }

sim::ScsiDevice& Drive(char letter = 'D') { return drivetest::DriveAt(letter); }

// A SEND DIAGNOSTIC page the drive refuses, or never answers.
sim::Fault PageFault(uint8_t function, uint8_t argument, bool hang) {
    sim::Fault f;
    f.opcode = sim::scsi::kSendDiagnostic;
    f.page = sim::scsi::kVendorPage;
    f.function = function;
    f.argument = argument;
    f.hang = hang;
    f.sense = {0x5, 0x26, 0x00};
    return f;
}

sim::Fault CommandFault(uint8_t opcode) {
    sim::Fault f;
    f.opcode = opcode;
    f.sense = {0x4, 0x44, 0x00};  // hardware error
    return f;
}

// When the worker was done with the drive: its last command's end, and
// the two seconds it waits after the end of data. A command the drive
// never completes ends when the port gives up on it, after the 200 s the
// pass-through transport allows.
uint64_t WorkerEnd(bool bSucceeded) {
    const auto& trace = Drive().Trace();
    const sim::TraceEntry& last = trace.back();
    return last.time + (last.completes ? last.durationMs : 200000) + (bSucceeded ? 2000 : 0);
}

bool DownloadBegan() {
    for (const auto& e : Drive().Trace())
        if (e.cdb.at(0) == sim::scsi::kSendDiagnostic && e.dataOut.size() > 5 && e.dataOut[5] != 0x40) return true;
    return false;
}

// ---------------------------------------------------------------------------
// Judging the drives.

TEST_F(UpdateDlgTest, ShowsEachDrivesJudgementInItsStatusAndStartButton) {
    struct Case {
        const char* name;
        std::vector<DriveSetup> drives;
        Words status;
        const char* controls;
        const char* driveRevision;  // nullptr: not looked at
        const char* targetRevision;
        std::vector<std::string> list;
    };
    const std::string zq = "D:   VALTORA DVD-ROM ZQ-X9046";  // the first 29 characters of its name
    const Case cases[] = {
        {"older revision", {NeedsUpdate()}, kReady, "ready", "1H12", "1H13", {zq}},
        {"same revision, level at the threshold", {{'D', Model::ZqX9046, "1H13", "hq", 32}}, kNotNeeded, "not ready",
         "1H13", "1H13", {zq}},
        {"newer revision", {{'D', Model::ZqX9046, "1H14", "hq", 0}}, kNotNeeded, "not ready", "1H14", "1H13", {zq}},
        {"firmware of another family letter", {{'D', Model::ZqX9046, "1h13", "hq", 0}}, kWrongFirmware, "not ready",
         "1h13", "", {zq}},
        {"revision of another generation", {{'D', Model::ZqX9046, "2H13", "hq", 0}}, kNotSupport, "not ready", "2H13",
         "", {zq}},
        {"family code the table lacks", {{'D', Model::ZqX9046, "1H12", "HQ", 0}}, kNotSupport, "not ready", "1H12",
         "", {zq}},
        // The scan lists only our model.
        {"another maker's drive", {{'D', Model::Optical, "", "", 0}}, kNotSupport, "not ready", nullptr, "", {}},
        {"no drive at all", {}, kNotSupport, "not ready", "", "", {}},
    };
    for (unsigned codePage : kCodePages) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + LanguageOf(codePage));
            Boot(c.drives, codePage);
            UseSteps({Look([&](HWND top) {
                          EXPECT_EQ(ItemOf(top, 115), Say(c.status));
                          EXPECT_EQ(ControlsOf(top), c.controls);
                          if (c.driveRevision) {
                              EXPECT_EQ(ItemOf(top, 1004), c.driveRevision);
                          }
                          EXPECT_EQ(ItemOf(top, 1005), c.targetRevision);
                          EXPECT_EQ(ListEntries(top), c.list);
                          // The first entry is selected when there is one.
                          EXPECT_EQ(SendMessageA(GetDlgItem(top, 1000), CB_GETCURSEL, 0, 0),
                                    c.list.empty() ? CB_ERR : 0);
                      }),
                      ClickOn(1007)});
            ObservedUpdateDlg dlg;
            EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
            EXPECT_EQ(dlg.m_nResult, 2);
            EXPECT_TRUE(Boxes().empty());
            // An empty list would have selected drive 255, whose INQUIRY
            // fails with a beep; nothing is asked of any drive.
            EXPECT_EQ(Beeps(), 0);
        }
    }
}

TEST_F(UpdateDlgTest, ASelectionOrARescanJudgesTheSelectedDriveAgain) {
    for (unsigned codePage : kCodePages) {
        SCOPED_TRACE(LanguageOf(codePage));
        Boot({{'D', Model::ZqX9046, "1H13", "hq", 40}, NeedsUpdate('E')}, codePage);
        auto pick = [](int index) {
            return [index](HWND top) { return PickAsUser(GetDlgItem(top, 1000), index); };
        };
        UseSteps({Look([&](HWND top) {
                      EXPECT_EQ(ListEntries(top).size(), 2u);
                      EXPECT_EQ(ItemOf(top, 115), Say(kNotNeeded));
                      EXPECT_EQ(ControlsOf(top), "not ready");
                  }),
                  pick(1),
                  Look([&](HWND top) {
                      EXPECT_EQ(ItemOf(top, 115), Say(kReady));
                      EXPECT_EQ(ControlsOf(top), "ready");
                      EXPECT_EQ(ItemOf(top, 1004), "1H12");
                  }),
                  // The rescan no menu offers: the list is filled again and
                  // keeps its selection.
                  PostToTop(WM_COMMAND, 32771),
                  Look([&](HWND top) {
                      EXPECT_EQ(ListEntries(top).size(), 2u);
                      EXPECT_EQ(SendMessageA(GetDlgItem(top, 1000), CB_GETCURSEL, 0, 0), 1);
                      EXPECT_EQ(ItemOf(top, 115), Say(kReady));
                      EXPECT_EQ(ControlsOf(top), "ready");
                  }),
                  pick(0),
                  Look([&](HWND top) {
                      EXPECT_EQ(ItemOf(top, 115), Say(kNotNeeded));
                      EXPECT_EQ(ControlsOf(top), "not ready");
                      // Now E: stops answering its INQUIRY.
                      sim::Fault f = CommandFault(sim::scsi::kInquiry);
                      f.always = true;
                      Drive('E').faults.push_back(f);
                  }),
                  pick(1),
                  Look([&](HWND top) {
                      EXPECT_EQ(Beeps(), 1);
                      EXPECT_EQ(Transcript("beep").at(0), "beep 0xFFFFFFFF");
                      EXPECT_EQ(ItemOf(top, 115), Say(kNotSupport));
                      EXPECT_EQ(ControlsOf(top), "not ready");
                      EXPECT_EQ(ItemOf(top, 1005), "");
                  }),
                  ClickOn(1007)});
        ObservedUpdateDlg dlg;
        EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
    }
}

// ---------------------------------------------------------------------------
// What initialisation and painting show.

TEST_F(UpdateDlgTest, InitialisationSetsCaptionMenuIconAndBarAndPaintingTheJapaneseCaptions) {
    for (unsigned codePage : kCodePages) {
        SCOPED_TRACE(LanguageOf(codePage));
        Boot({NeedsUpdate()}, codePage);
        ObservedUpdateDlg dlg;
        UseSteps({Look([&](HWND top) {
                      EXPECT_EQ(TextOf(top), kCaption);
                      EXPECT_EQ(ItemOf(top, 104), Say(kDriveLabel));
                      char menu[64] = "";
                      GetMenuStringA(GetMenu(top), 32772, menu, sizeof menu, MF_BYCOMMAND);
                      EXPECT_EQ(Utf8(menu), Say(kAboutMenu));
                      EXPECT_EQ(GetMenuItemCount(GetMenu(top)), 1);
                      // Template 102: no system menu, so no close box and no about entry there.
                      const DWORD style = static_cast<DWORD>(GetWindowLongA(top, GWL_STYLE));
                      EXPECT_EQ(style & WS_SYSMENU, 0u);
                      EXPECT_EQ(GetSystemMenu(top, FALSE), nullptr);
                      EXPECT_NE(static_cast<DWORD>(GetWindowLongA(top, GWL_EXSTYLE)) & WS_EX_APPWINDOW, 0u);
                      EXPECT_EQ(FontFace(reinterpret_cast<HFONT>(SendMessageA(top, WM_GETFONT, 0, 0))), "FixedSys 14");
                      // The icon on both sizes, and for dragging.
                      EXPECT_NE(dlg.m_hIcon, nullptr);
                      EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(top, WM_GETICON, ICON_BIG, 0)), dlg.m_hIcon);
                      EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(top, WM_GETICON, ICON_SMALL, 0)), dlg.m_hIcon);
                      EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(top, WM_QUERYDRAGICON, 0, 0)), dlg.m_hIcon);
                      PBRANGE range = {-1, -1};
                      SendMessageA(GetDlgItem(top, 1012), PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
                      EXPECT_EQ(range.iLow, 0);
                      EXPECT_EQ(range.iHigh, 100);
                      EXPECT_EQ(Progress(top), 0);
                      // English in the template; the paints since then set the system's language.
                      EXPECT_EQ(dlg.startAtInit, "Start Update");
                      EXPECT_EQ(dlg.cancelAtInit, "CANCEL");
                      EXPECT_EQ(ItemOf(top, 1006), Say(kStartCaption));
                      EXPECT_EQ(ItemOf(top, 1007), Say(kCancelCaption));
                      // The hidden controls stay hidden.
                      for (int id : {1004, 1005, 1008, 1010, 1011, IDCANCEL})
                          EXPECT_FALSE(IsWindowVisible(GetDlgItem(top, id))) << id;
                      ShowWindow(top, SW_MINIMIZE);
                      InvalidateRect(top, nullptr, TRUE);
                      UpdateWindow(top);
                      EXPECT_EQ(dlg.iconErases, 1) << "a minimised dialog paints its icon";
                      ShowWindow(top, SW_RESTORE);
                  }),
                  ClickOn(1007)});
        EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
    }
}

// ---------------------------------------------------------------------------
// Start refused by the recheck.

TEST_F(UpdateDlgTest, AStartTheRecheckRefusesEndsFailedWithOnlyCancelLeft) {
    struct Case {
        const char* name;
        std::function<void()> change;  // what differs from the judgement by the time Start is pressed
        const Words* box;              // nullptr: the facade's error text
        int firmIndex;
    };
    const Case cases[] = {
        {"INQUIRY fails", [] { Drive().faults.push_back(CommandFault(sim::scsi::kInquiry)); }, nullptr, 0},
        {"the family query is refused", [] { Drive().faults.push_back(CommandFault(sim::scsi::kSendDiagnostic)); },
         nullptr, 0},
        {"its answer is refused",
         [] { Drive().faults.push_back(CommandFault(sim::scsi::kReceiveDiagnosticResults)); }, nullptr, 0},
        {"the sibling model below revision 30", [] { Drive().product = "DVDR10  ZQ-X7301"; }, &kNotSupportVersionBox,
         0},
        {"a family code the table lacks", [] { Drive().SetFamily("zz"); }, &kNotSupport, 1},
    };
    for (unsigned codePage : kCodePages) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + LanguageOf(codePage));
            Boot({NeedsUpdate()}, codePage);
            ObservedUpdateDlg dlg;
            std::string firstBox, expectedFirst;
            UseSteps({Look([&](HWND top) {
                          EXPECT_EQ(ControlsOf(top), "ready");
                          c.change();
                          Drive().ClearTrace();
                      }),
                      ClickOn(1006),
                      Until([&](HWND top) {
                          if (IsMainDialog(top)) return false;
                          // Shown after the recheck; the facade still holds the text.
                          expectedFirst = c.box ? Say(*c.box)
                                                : (m_japanese ? std::string("エラー:") : std::string()) +
                                                      Utf8(static_cast<LPCSTR>(m_drive->GetErrorText()));
                          firstBox = BoxText(top);
                          Key(top, VK_RETURN);
                          return true;
                      }),
                      Answer(kUpdateFailedBox, 1),
                      Look([&](HWND top) {
                          EXPECT_EQ(ItemOf(top, 115), Say(kUpdateFailed));
                          EXPECT_EQ(ControlsOf(top), "failed");
                          EXPECT_EQ(Progress(top), 0);
                          EXPECT_EQ(dlg.m_nResult, 1);
                          EXPECT_EQ(dlg.m_bUpdating, 0);
                      }),
                      ClickOn(1007)});
            EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
            EXPECT_FALSE(expectedFirst.empty());
            EXPECT_EQ(firstBox, expectedFirst);
            ASSERT_EQ(Boxes().size(), 2u);
            EXPECT_EQ(Boxes()[1], BoxLine(kUpdateFailedBox));
            EXPECT_EQ(g_nFirmIndex, c.firmIndex);
            EXPECT_EQ(dlg.m_hThread, nullptr) << "no worker was made";
            EXPECT_FALSE(DownloadBegan());
            EXPECT_TRUE(dlg.ticks.empty());
            EXPECT_EQ(dlg.m_nResult, 2);
            EXPECT_EQ(AfxGetWaitCursorCount(), 0);
        }
    }
}

// ---------------------------------------------------------------------------
// The update.

TEST_F(UpdateDlgTest, ASuccessfulUpdateClimbsByTwoEveryTickThenShowsItsEnd) {
    struct Case {
        int changeCount;
        int result;
    } const cases[] = {{0, 2}, {3, 1}};
    for (unsigned codePage : kCodePages) {
        for (const Case& c : cases) {
            SCOPED_TRACE(LanguageOf(codePage) + ", change count " + std::to_string(c.changeCount));
            Boot({NeedsUpdate()}, codePage);
            g_nFirmIndex = 5;
            ObservedUpdateDlg dlg;
            uint64_t started = 0;
            UseSteps({ClickOn(1006),
                      // Starting: the notice comes before any worker exists.
                      Look([&](HWND top) {
                          EXPECT_FALSE(IsMainDialog(top));
                          EXPECT_EQ(ControlsOf(dlg.m_hWnd), "busy");
                          EXPECT_EQ(dlg.m_nResult, 1);
                          EXPECT_EQ(dlg.m_hThread, nullptr);
                      }),
                      Answer(kStartNotice, 1),
                      Look([&](HWND top) {
                          started = Now();
                          EXPECT_EQ(ItemOf(top, 115), Say(kNowUpdating));
                          EXPECT_EQ(ControlsOf(top), "busy");
                          EXPECT_EQ(Progress(top), 2);
                          EXPECT_EQ(dlg.m_bUpdating, 1);
                          EXPECT_EQ(dlg.m_nResult, 1);
                          EXPECT_EQ(Cursor(), "wait");
                          // The mouse over the dialog keeps the hourglass.
                          SendMessageA(top, WM_SETCURSOR, reinterpret_cast<WPARAM>(top),
                                       MAKELPARAM(1 /* HTCLIENT */, WM_MOUSEMOVE));
                          EXPECT_EQ(Cursor(), "wait");
                          EXPECT_EQ(WorkerParam.byDrive, 0);
                          EXPECT_EQ(WorkerParam.pDrive, m_drive.get());
                          EXPECT_EQ(g_nFirmIndex, 0);
                      }),
                      // Asked to close while the worker writes: the timer
                      // alone tells how this ends, and no notice comes up.
                      PostToTop(WM_CLOSE),
                      Look([&](HWND top) {
                          EXPECT_TRUE(IsMainDialog(top));
                          EXPECT_EQ(dlg.m_nResult, 1);
                          EXPECT_EQ(ItemOf(top, 115), Say(kNowUpdating));
                      }),
                      Answer(kEndNotice, 200)});
            EXPECT_EQ(Run(dlg, c.changeCount), IDOK) << AllTranscript();
            EXPECT_EQ(dlg.m_nResult, c.result);
            EXPECT_EQ(dlg.m_bEnding, 1);
            EXPECT_EQ(dlg.m_dwExitCode, 0u);
            EXPECT_EQ(Drive().Revision(), "1H13");
            EXPECT_TRUE(Boxes().empty());
            EXPECT_EQ(AfxGetWaitCursorCount(), 0);

            // 2 at Start, 4 at the first tick, 2 more at each tick after;
            // the first tick after the worker ended shows 100.
            ASSERT_FALSE(dlg.ticks.empty());
            const uint64_t end = WorkerEnd(true);
            const uint64_t doneAt = started + (end - started + 2999) / 3000 * 3000;
            for (size_t i = 0; i + 1 < dlg.ticks.size(); ++i) {
                EXPECT_EQ(dlg.ticks[i].at, started + 3000 * (i + 1)) << i;
                EXPECT_EQ(dlg.ticks[i].progress, std::min<int>(2 * static_cast<int>(i + 2), 88)) << i;
                EXPECT_EQ(dlg.ticks[i].status, Say(kNowUpdating)) << i;
            }
            EXPECT_EQ(dlg.ticks.back().at, doneAt);
            EXPECT_EQ(dlg.ticks.back().progress, 100);
            EXPECT_EQ(dlg.ticks.back().status, Say(kUpdateComplete));
        }
    }
}

TEST_F(UpdateDlgTest, AFailingWorkerIsReportedAtTheNextTick) {
    struct Case {
        const char* name;
        sim::Fault fault;
        int changeCount;
        int result;
    };
    const Case cases[] = {
        {"the first start page refused", PageFault(0xF0, 0x00, false), 0, 2},
        {"block 2 refused", PageFault(0xC0, 0x02, false), 0, 2},
        {"block 2 refused, settings changed", PageFault(0xC0, 0x02, false), 1, 1},
    };
    for (unsigned codePage : kCodePages) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + LanguageOf(codePage));
            Boot({NeedsUpdate()}, codePage);
            Drive().faults.push_back(c.fault);
            ObservedUpdateDlg dlg;
            uint64_t started = 0, reported = 0;
            std::vector<UserStep> steps = {ClickOn(1006), Answer(kStartNotice, 1), Look([&](HWND) { started = Now(); }),
                                       Answer(kUpdateFailedBox, 200),
                                       Look([&](HWND top) {
                                           reported = Now();
                                           EXPECT_EQ(ItemOf(top, 115), Say(kUpdateFailed));
                                           EXPECT_EQ(Progress(top), 0);
                                           EXPECT_EQ(ControlsOf(top), "failed");
                                           EXPECT_EQ(dlg.m_bUpdating, 0);
                                           EXPECT_EQ(AfxGetWaitCursorCount(), 0);
                                       }),
                                       ClickOn(1007)};
            if (c.changeCount) steps.push_back(Answer(kCancelNotice, 1));
            UseSteps(steps);
            EXPECT_EQ(Run(dlg, c.changeCount), IDOK) << AllTranscript();
            const uint64_t end = WorkerEnd(false);
            EXPECT_GE(reported, end);
            EXPECT_LT(reported - end, 3000u);
            EXPECT_EQ((reported - started) % 3000, 0u) << "on a tick";
            ASSERT_FALSE(dlg.ticks.empty());
            EXPECT_EQ(dlg.ticks.back().at, reported) << "no tick after the failure";
            EXPECT_EQ(dlg.m_dwExitCode, 1u);
            EXPECT_EQ(dlg.m_nResult, c.result);
            EXPECT_EQ(Boxes(), std::vector<std::string>{BoxLine(kUpdateFailedBox)});
            EXPECT_EQ(Drive().Revision(), "1H12");
        }
    }
}

// The first start page never completes: the port gives up on it after 200
// s, so the worker ends about 322 s after Start, after the dialog's 300 s.
TEST_F(UpdateDlgTest, AtTheTimeOutTheFailureShowsAndLeavingWaitsForTheWorker) {
    enum Leave { ByCancel, ByClose };
    for (unsigned codePage : kCodePages) {
        for (Leave leave : {ByCancel, ByClose}) {
            SCOPED_TRACE(LanguageOf(codePage) + (leave == ByCancel ? ", CANCEL" : ", a close request"));
            Boot({NeedsUpdate()}, codePage);
            Drive().faults.push_back(PageFault(0xF0, 0x00, true));
            ObservedUpdateDlg dlg;
            uint64_t started = 0, failedAt = 0, closeDone = 0;
            std::vector<UserStep> steps = {
                ClickOn(1006), Answer(kStartNotice, 1), Look([&](HWND) { started = Now(); }),
                Answer(kUpdateFailedBox, 310),
                Look([&](HWND top) {
                    failedAt = Now();
                    EXPECT_EQ(ItemOf(top, 115), Say(kUpdateFailed));
                    EXPECT_EQ(ControlsOf(top), "failed");
                    EXPECT_EQ(WaitForSingleObject(dlg.m_hThread, 0), static_cast<DWORD>(WAIT_TIMEOUT))
                        << "the worker still runs";
                    if (leave == ByCancel) {
                        Click(top, 1007);
                    } else {
                        PostMessageA(top, WM_CLOSE, 0, 0);
                    }
                    // Dispatched while leaving waits.
                    PostMessageA(top, WM_PROBE, 0, 0);
                })};
            if (leave == ByClose) {
                steps.push_back(Look([&](HWND top) {
                    closeDone = Now();
                    EXPECT_TRUE(IsMainDialog(top)) << "a close request does not end the dialog";
                    EXPECT_EQ(dlg.m_nResult, 2);
                    EXPECT_EQ(ControlsOf(top), "failed");
                }));
                steps.push_back(ClickOn(1007));
            }
            UseSteps(steps);
            EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
            const uint64_t ended = Now();

            ASSERT_EQ(dlg.ticks.size(), 100u);
            for (size_t i = 0; i < 99; ++i) {
                EXPECT_EQ(dlg.ticks[i].at, started + 3000 * (i + 1)) << i;
                EXPECT_EQ(dlg.ticks[i].progress, std::min<int>(2 * static_cast<int>(i + 2), 88)) << i;
            }
            EXPECT_EQ(dlg.ticks[42].at - started, 129000u);
            EXPECT_EQ(dlg.ticks[42].progress, 88);
            EXPECT_EQ(dlg.ticks[99].at - started, 300000u);
            EXPECT_EQ(dlg.ticks[99].progress, 0);
            EXPECT_EQ(dlg.ticks[99].status, Say(kUpdateFailed));
            EXPECT_EQ(failedAt - started, 300000u);

            // Left only once the worker had ended, under the hourglass.
            const uint64_t workerEnd = WorkerEnd(false);
            EXPECT_GT(workerEnd - started, 320000u);
            EXPECT_EQ(WaitForSingleObject(dlg.m_hThread, 0), static_cast<DWORD>(WAIT_OBJECT_0));
            EXPECT_EQ(dlg.m_dwExitCode, 1u);
            ASSERT_FALSE(dlg.probes.empty());
            EXPECT_LT(dlg.probes.front().at, workerEnd);
            EXPECT_EQ(dlg.probes.front().cursor, "wait");
            EXPECT_TRUE(dlg.probes.front().updating);
            EXPECT_GE(leave == ByClose ? closeDone : ended, workerEnd);
            EXPECT_EQ(dlg.m_nResult, 2);
            EXPECT_EQ(AfxGetWaitCursorCount(), 0);
            EXPECT_EQ(Boxes(), std::vector<std::string>{BoxLine(kUpdateFailedBox)});
        }
    }
}

// ---------------------------------------------------------------------------
// Leaving.

TEST_F(UpdateDlgTest, LeavingWithAndWithoutRecordedChanges) {
    enum Way { Cancel, Enter, Close, Escape };
    struct Case {
        const char* name;
        Way way;
        int changeCount;
        bool notice;  // the cancel notice
        bool ends;
        int result;  // m_nResult once the user did it
    };
    const Case cases[] = {
        {"CANCEL, nothing changed", Cancel, 0, false, true, 2},
        {"CANCEL, settings changed", Cancel, 2, true, true, 1},
        {"Enter presses CANCEL", Enter, 2, true, true, 1},
        {"a close request, nothing changed", Close, 0, false, false, 2},
        {"a close request, settings changed", Close, 2, true, false, 1},
        {"Escape does nothing", Escape, 2, false, false, 0},
    };
    for (unsigned codePage : kCodePages) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + LanguageOf(codePage));
            Boot({NeedsUpdate()}, codePage);
            ObservedUpdateDlg dlg;
            std::vector<UserStep> steps = {[&](HWND top) {
                switch (c.way) {
                    case Cancel: Click(top, 1007); break;
                    case Enter: Key(top, VK_RETURN); break;
                    case Close: PostMessageA(top, WM_CLOSE, 0, 0); break;
                    case Escape: Key(top, VK_ESCAPE); break;
                }
                return true;
            }};
            if (c.notice) steps.push_back(Answer(kCancelNotice, 1));
            if (!c.ends) {
                steps.push_back(Look([&](HWND top) {
                    EXPECT_TRUE(IsMainDialog(top));
                    EXPECT_EQ(dlg.m_nResult, c.result);
                    EXPECT_EQ(ControlsOf(top), "ready");
                    // Out the normal way, with nothing to restore.
                    dlg.m_nChangeCount = 0;
                    Click(top, 1007);
                }));
            }
            UseSteps(steps);
            EXPECT_EQ(Run(dlg, c.changeCount), IDOK) << AllTranscript();
            if (c.ends) {
                EXPECT_EQ(dlg.m_nResult, c.result);
            }
            EXPECT_EQ(dlg.m_bEnding, 1);
            EXPECT_TRUE(Boxes().empty());
        }
    }
}

// While open, and while the worker writes, the dialog keeps the session
// from ending and the machine from sleeping.
TEST_F(UpdateDlgTest, RefusesEndingTheSessionAndSuspendWhileOpen) {
    const std::pair<const char*, const char*> requests[] = {
        {"queryendsession", "refused"}, {"logoff", "refused"}, {"suspendrequest", "refused"},
        {"querysuspend", "denied"},     {"querystandby", "denied"},
    };
    std::vector<std::string> waiting, updating;
    auto ask = [&](std::vector<std::string>& answers) {
        return Look([&answers, &requests](HWND top) {
            for (auto& r : requests) {
                LRESULT result = 0;
                answers.push_back(sim::desktop::SendBroadcast(top, *sim::desktop::FindBroadcast(r.first), result));
            }
        });
    };
    UseSteps({ask(waiting), ClickOn(1006), Answer(kStartNotice, 1), ask(updating), Answer(kEndNotice, 200)});
    ObservedUpdateDlg dlg;
    EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
    std::vector<std::string> expected;
    for (auto& r : requests) expected.push_back(r.second);
    EXPECT_EQ(waiting, expected);
    EXPECT_EQ(updating, expected);
}

// The same road as the scripted user of winsim's machine files walks it.
TEST_F(UpdateDlgTest, TheScriptedUserWalksAWholeUpdate) {
    for (unsigned codePage : kCodePages) {
        SCOPED_TRACE(LanguageOf(codePage));
        Boot({NeedsUpdate()}, codePage);
        const std::string main = kCaption;
        UseScript(nlohmann::json::array({
            {{"expect", {{"window", main}, {"text", Say(kDriveLabel)}, {"enabled", {Say(kStartCaption), Say(kCancelCaption)}}}}},
            {{"press", Say(kStartCaption)}},
            {{"expect", {{"text", Say(kStartNotice)}}}},
            {{"press", "OK"}},
            {{"expect", {{"window", main}, {"text", Say(kNowUpdating)}, {"cursor", "wait"},
                         {"disabled", {Say(kStartCaption), Say(kCancelCaption)}}}}},
            {{"wait", {{"text", Say(kEndNotice)}, {"within", 135}}}},
            {{"press", "OK"}},
        }));
        CUpdateDlg dlg;
        EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
        EXPECT_EQ(dlg.m_nResult, 2);
        EXPECT_EQ(Drive().Revision(), "1H13");
    }
}

// ---------------------------------------------------------------------------
// The about box.

TEST_F(UpdateDlgTest, TheAboutBoxComesFromTheMenuAndTheSystemCommand) {
    for (unsigned codePage : kCodePages) {
        SCOPED_TRACE(LanguageOf(codePage));
        Boot({NeedsUpdate()}, codePage);
        int seen = 0;
        auto lookAtAbout = Look([&](HWND top) {
            ++seen;
            EXPECT_EQ(TextOf(top), "About  Firmware Update Utility");
            EXPECT_EQ(ItemOf(top, 1005), "DVD-ROM ZQ-X9046");
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(top, 1005)));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(top, 1004)));
            EXPECT_NE(AllTextOf(top).find("Ver.5.2.0"), std::string::npos);
            EXPECT_NE(GetWindow(top, GW_OWNER), nullptr);
            Key(top, VK_RETURN);
        });
        UseSteps({[&](HWND top) {
                      std::string why;
                      EXPECT_TRUE(sim::desktop::ChooseMenu(top, Say(kAboutMenu), why)) << why;
                      return true;
                  },
                  lookAtAbout, Look([](HWND top) { EXPECT_TRUE(IsMainDialog(top)); }),
                  PostToTop(WM_SYSCOMMAND, 0x0010), lookAtAbout, ClickOn(1007)});
        ObservedUpdateDlg dlg;
        EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
        EXPECT_EQ(seen, 2);
    }
}

}  // namespace
