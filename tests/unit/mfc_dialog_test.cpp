// CDialog and CWnd on the simulated desktop: a dialog made from a
// description runs modally, its message map and WindowProc see what the
// user and the system send, and the framework's own handling (OnOK,
// OnCancel, timers, menus, the wait cursor, the main window, centring)
// behaves as the dialogs rely on.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "mfc_dialog_fixture.h"

namespace {

using namespace mfc_test;
using nlohmann::json;

std::string Hex(UINT_PTR v) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
    return text;
}

// ---------------------------------------------------------------------------
// Running and ending.

class FormDlg : public CDialog {
public:
    explicit FormDlg(const AFX_DLGDESC& desc = kForm, CWnd* pParent = NULL) : CDialog(desc, pParent) {}
    std::string caption, font;
    HWND hwndSeen = NULL;
    int nInit = 0, nOK = 0, nCancel = 0;
    bool bIgnoreCancel = false;

protected:
    BOOL OnInitDialog() override {
        ++nInit;
        hwndSeen = m_hWnd;
        CString text;
        GetWindowText(text);
        caption = static_cast<LPCSTR>(text);
        font = desktop_test::DesktopTest::FontFace(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
        return CDialog::OnInitDialog();
    }
    void OnOK() override {
        ++nOK;
        CDialog::OnOK();
    }
    void OnCancel() override {
        ++nCancel;
        if (!bIgnoreCancel) CDialog::OnCancel();
    }
    afx_msg void OnSeven() { EndDialog(7); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(FormDlg, CDialog)
    ON_BN_CLICKED(1007, &FormDlg::OnSeven)
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, RunsModallyAndReturnsWhatEndedIt) {
    struct Case {
        const char* name;
        json script;
        bool ignoreCancel;
        INT_PTR result;
        int nOK, nCancel;
    } cases[] = {
        {"Enter: OnOK", {"enter"}, false, IDOK, 1, 0},
        {"the OK button: OnOK", {{{"press", "OK"}}}, false, IDOK, 1, 0},
        {"Escape: OnCancel", {"escape"}, false, IDCANCEL, 0, 1},
        {"the close box: OnCancel", {"close"}, false, IDCANCEL, 0, 1},
        {"a mapped button that ends with its own result", {{{"press", "Seven"}}}, false, 7, 0, 0},
        {"an OnCancel that does nothing keeps it open", {"escape", "close", "enter"}, true, IDOK, 1, 2},
    };
    for (const Case& c : cases) {
        SetUp();
        UseScript(c.script);
        FormDlg dlg;
        dlg.bIgnoreCancel = c.ignoreCancel;
        EXPECT_EQ(dlg.DoModal(), c.result) << c.name << "\n" << AllTranscript();
        EXPECT_EQ(dlg.nInit, 1) << c.name;
        EXPECT_EQ(dlg.nOK, c.nOK) << c.name;
        EXPECT_EQ(dlg.nCancel, c.nCancel) << c.name;
        EXPECT_EQ(dlg.caption, "Form") << c.name;
        EXPECT_EQ(dlg.font, "MS Sans Serif 8") << c.name;
        EXPECT_EQ(dlg.m_hWnd, nullptr) << c.name << ": the object still holds the window";
        EXPECT_FALSE(IsWindow(dlg.hwndSeen)) << c.name;
    }
}

TEST_F(MfcDialogTest, ADialogThatCannotBeMadeReturnsMinusOneWithoutInitialising) {
    static const AFX_DLGITEM badClass[] = {{"NoSuchClass", u"?", 5, WS_VISIBLE, 1, 1, 10, 10}};
    static const AFX_DLGITEM nonAscii[] = {{"B\xC4", u"?", 5, WS_VISIBLE, 1, 1, 10, 10}};
    const AFX_DLGDESC refusedBySystem = {0, kDialogStyle, 0, 0, 0, 100, 50, u"Bad", nullptr, 0, badClass, 1};
    const AFX_DLGDESC refusedByBuilder = {0, kDialogStyle, 0, 0, 0, 100, 50, u"Bad", nullptr, 0, nonAscii, 1};
    for (const AFX_DLGDESC* desc : {&refusedBySystem, &refusedByBuilder}) {
        SetUp();
        FormDlg dlg(*desc);
        EXPECT_EQ(dlg.DoModal(), -1);
        EXPECT_EQ(dlg.nInit, 0);
        EXPECT_EQ(dlg.m_hWnd, nullptr);
    }
    CDialog byUnknownId(4711);
    EXPECT_EQ(byUnknownId.DoModal(), -1);
}

// ---------------------------------------------------------------------------
// Message maps.

// Sends itself one message of each mapped kind and keeps what the handlers
// got and gave back.
class MapDlg : public CDialog {
public:
    MapDlg() : CDialog(kForm) {}
    std::vector<std::string> log;
    int nPaints = 0, nPaintsByUpdate = 0;
    LRESULT appResult = 0, dragIconResult = 0, setCursorResult = 0;
    HICON hIcon = ::LoadIconA(NULL, IDI_APPLICATION);

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        appResult = SendMessage(WM_APP + 1, 5, 6);
        SendMessage(WM_SYSCOMMAND, 0x0013, 7);
        dragIconResult = SendMessage(WM_QUERYDRAGICON);
        setCursorResult = SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(m_hWnd), MAKELPARAM(1, WM_MOUSEMOVE));
        SetTimer(5, 10);
        return TRUE;
    }
    afx_msg LRESULT OnApp(WPARAM w, LPARAM l) {
        log.push_back("app " + std::to_string(w) + " " + std::to_string(l));
        return 42;
    }
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam) {
        log.push_back("syscommand " + Hex(nID) + " " + std::to_string(lParam));
    }
    afx_msg HCURSOR OnQueryDragIcon() {
        log.push_back("querydragicon");
        return hIcon;
    }
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
        log.push_back(std::string("setcursor ") + (pWnd == this ? "self " : "other ") + std::to_string(nHitTest) +
                      " " + Hex(message));
        return TRUE;
    }
    afx_msg void OnTimer(UINT_PTR nIDEvent) {
        log.push_back("timer " + std::to_string(nIDEvent));
        KillTimer(nIDEvent);
        const int nBefore = nPaints;
        Invalidate();
        UpdateWindow();
        nPaintsByUpdate = nPaints - nBefore;
        SendMessage(WM_CLOSE);
    }
    afx_msg void OnPaint() {
        CPaintDC dc(this);
        if (dc.GetSafeHdc()) ++nPaints;
    }
    afx_msg void OnClose() {
        log.push_back("close");
        EndDialog(3);
    }
    afx_msg void OnDestroy() {
        log.push_back("destroy");
        CDialog::OnDestroy();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapDlg, CDialog)
    ON_MESSAGE(WM_APP + 1, &MapDlg::OnApp)
    ON_WM_SYSCOMMAND()
    ON_WM_QUERYDRAGICON()
    ON_WM_SETCURSOR()
    ON_WM_TIMER()
    ON_WM_PAINT()
    ON_WM_CLOSE()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, WindowMessagesReachTheirHandlersWithTheirParametersAndResults) {
    MapDlg dlg;
    EXPECT_EQ(dlg.DoModal(), 3) << AllTranscript();
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"app 5 6", "syscommand 0x13 7", "querydragicon",
                                                  "setcursor self 1 0x200", "timer 5", "close", "destroy"}));
    EXPECT_EQ(dlg.nPaintsByUpdate, 1) << "Invalidate and UpdateWindow paint at once";
    EXPECT_EQ(dlg.appResult, 42);
    EXPECT_EQ(dlg.dragIconResult, reinterpret_cast<LRESULT>(dlg.hIcon));
    EXPECT_EQ(dlg.setCursorResult, TRUE);
}

// The menu bar comes from the description; the system menu gets an item of
// the dialog's own, as the update dialog's about entry.
const AFX_DLGMENUITEM kMenu[] = {{"About", 32772}};
const AFX_DLGDESC kFormWithMenu = {201, kDialogStyle | WS_SYSMENU, 0, 0, 0, 160, 90, u"Menu", u"MS Sans Serif",
                                   8, kFormItems, 7, kMenu, 1};

class CommandDlg : public CDialog {
public:
    CommandDlg() : CDialog(kFormWithMenu) {}
    std::vector<std::string> log;
    RECT client = {0, 0, 0, 0}, templateSize = {0, 0, 0, 0};
    CString menuText;
    UINT nMenuItems = 0, nSysItemsBefore = 0, nSysItemsAfter = 0, nPrevState = 0;
    CComboBox m_cbList;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 1000, m_cbList); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_cbList.AddString("zero");
        m_cbList.AddString("one");
        CMenu* pMenu = GetMenu();
        nMenuItems = pMenu->GetMenuItemCount();
        pMenu->GetMenuString(32772, menuText, MF_BYCOMMAND);
        pMenu->ModifyMenu(32772, MF_BYCOMMAND | MF_STRING, 32772, "Info");
        CMenu* pSysMenu = GetSystemMenu(FALSE);
        nSysItemsBefore = pSysMenu->GetMenuItemCount();
        pSysMenu->AppendMenu(MF_SEPARATOR);
        pSysMenu->AppendMenu(MF_STRING, 0x0010, "&Extra...");
        pSysMenu->AppendMenu(MF_STRING, 0x0020, "Gone");
        pSysMenu->DeleteMenu(0x0020, MF_BYCOMMAND);
        nSysItemsAfter = pSysMenu->GetMenuItemCount();
        nPrevState = pSysMenu->EnableMenuItem(0x0010, MF_BYCOMMAND | MF_GRAYED);
        pSysMenu->EnableMenuItem(0x0010, MF_BYCOMMAND | MF_ENABLED);
        GetClientRect(&client);
        templateSize = {0, 0, kFormWithMenu.cx, kFormWithMenu.cy};
        MapDialogRect(m_hWnd, &templateSize);
        // An accelerator's code 1 without a control is a command, not CBN_SELCHANGE.
        SendMessage(WM_COMMAND, MAKEWPARAM(32772, 1), 0);
        return TRUE;
    }
    afx_msg void OnSelChange() {
        log.push_back("selchange " + std::to_string(m_cbList.GetCurSel()));
    }
    afx_msg void OnInfo() { log.push_back("command 32772"); }
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam) {
        if ((nID & 0xFFF0) == 0x0010)
            log.push_back("syscommand " + Hex(nID));
        else
            CDialog::OnSysCommand(nID, lParam);
    }
    afx_msg void OnSeven() {
        log.push_back("seven");
        EndDialog(7);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CommandDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_COMMAND(32772, &CommandDlg::OnInfo)
    ON_CBN_SELCHANGE(1000, &CommandDlg::OnSelChange)
    ON_BN_CLICKED(1007, &CommandDlg::OnSeven)
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, WhatTheUserDoesReachesTheMappedCommandsAndNotifications) {
    UseScript(json::array({{{"pick", 1}, {"in", 1000}},
                           {{"menu", "Info"}},
                           {{"menu", "Extra..."}},
                           {{"press", "Seven"}}}));
    CommandDlg dlg;
    EXPECT_EQ(dlg.DoModal(), 7) << AllTranscript();
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"command 32772", "selchange 1", "command 32772", "syscommand 0x10",
                                                 "seven"}));
    EXPECT_EQ(dlg.nMenuItems, 1u);
    EXPECT_EQ(dlg.menuText, "About");
    EXPECT_EQ(dlg.nSysItemsAfter, dlg.nSysItemsBefore + 2) << "a separator and \"Extra...\"; \"Gone\" is gone";
    EXPECT_EQ(dlg.nPrevState, static_cast<UINT>(MF_ENABLED));
    // The bar does not take its height from the template's client area.
    EXPECT_EQ(dlg.client.right, dlg.templateSize.right);
    EXPECT_EQ(dlg.client.bottom, dlg.templateSize.bottom);
}

// A derived map's entry wins; what it does not map comes from the base's.
class BaseDlg : public CDialog {
public:
    BaseDlg() : CDialog(kForm) {}
    bool bStartTimer = false;

protected:
    BOOL OnInitDialog() override {
        if (bStartTimer) SetTimer(1, 100);
        return CDialog::OnInitDialog();
    }
    afx_msg void OnSeven() { EndDialog(7); }
    afx_msg void OnTimer(UINT_PTR) { EndDialog(8); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseDlg, CDialog)
    ON_BN_CLICKED(1007, &BaseDlg::OnSeven)
    ON_WM_TIMER()
END_MESSAGE_MAP()

class DerivedDlg : public BaseDlg {
protected:
    afx_msg void OnSevenAgain() { EndDialog(77); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedDlg, BaseDlg)
    ON_BN_CLICKED(1007, &DerivedDlg::OnSevenAgain)
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, ADerivedMapOverridesItsBaseAndFallsBackToIt) {
    {
        UseScript(json::array({{{"press", "Seven"}}}));
        BaseDlg base;
        EXPECT_EQ(base.DoModal(), 7);
    }
    {
        SetUp();
        UseScript(json::array({{{"press", "Seven"}}}));
        DerivedDlg derived;
        EXPECT_EQ(derived.DoModal(), 77);
    }
    {
        SetUp();
        DerivedDlg derived;
        derived.bStartTimer = true;
        EXPECT_EQ(derived.DoModal(), 8) << "the base's timer entry";
    }
}

// Commands a dialog does not map go to its owner's map, then to the
// application's.
class RoutingApp : public CWinApp {
public:
    int nAppCommands = 0;

protected:
    afx_msg void OnAppCommand() { ++nAppCommands; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RoutingApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
    ON_COMMAND(0xE140, &RoutingApp::OnAppCommand)
END_MESSAGE_MAP()

class ChildDlg : public CDialog {
public:
    explicit ChildDlg(CWnd* pParent) : CDialog(kForm, pParent) {}
    BOOL bHelpHandled = FALSE, bUnknownHandled = TRUE;
    int nOwnCommands = 0;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SendMessage(WM_COMMAND, MAKEWPARAM(0x8001, 0), 0);
        SendMessage(WM_COMMAND, MAKEWPARAM(0x8002, 0), 0);
        SendMessage(WM_COMMAND, MAKEWPARAM(0xE140, 0), 0);
        bHelpHandled = OnCmdMsg(ID_HELP, CN_COMMAND);
        bUnknownHandled = OnCmdMsg(0x9999, CN_COMMAND);
        EndDialog(IDOK);
        return TRUE;
    }
    afx_msg void OnOwnCommand() { ++nOwnCommands; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ChildDlg, CDialog)
    ON_COMMAND(0x8002, &ChildDlg::OnOwnCommand)
END_MESSAGE_MAP()

class OwnerDlg : public CDialog {
public:
    OwnerDlg() : CDialog(kForm) {}
    int nOwnerCommands = 0;
    ChildDlg* pChild = NULL;

protected:
    afx_msg void OnOwnerCommand() { ++nOwnerCommands; }
    afx_msg void OnSeven() {
        pChild->DoModal();
        EndDialog(IDOK);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(OwnerDlg, CDialog)
    ON_COMMAND(0x8001, &OwnerDlg::OnOwnerCommand)
    ON_COMMAND(0x8002, &OwnerDlg::OnOwnerCommand)
    ON_BN_CLICKED(1007, &OwnerDlg::OnSeven)
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, UnmappedCommandsGoToTheOwnerThenToTheApplication) {
    RoutingApp app;
    UseScript(json::array({{{"press", "Seven"}}}));
    OwnerDlg owner;
    ChildDlg child(&owner);
    owner.pChild = &child;
    EXPECT_EQ(owner.DoModal(), IDOK) << AllTranscript();
    EXPECT_EQ(child.nOwnCommands, 1) << "the child's own entry comes first";
    EXPECT_EQ(owner.nOwnerCommands, 1);
    EXPECT_EQ(app.nAppCommands, 1);
    EXPECT_TRUE(child.bHelpHandled) << "ID_HELP reaches CWinApp::OnHelp";
    EXPECT_FALSE(child.bUnknownHandled);
}

// ---------------------------------------------------------------------------
// WindowProc.

// Refuses the end of the session and suspension until it may end, as the
// program's dialogs do.
class GuardedDlg : public CDialog {
public:
    explicit GuardedDlg(const AFX_DLGDESC& desc = kForm) : CDialog(desc) {}
    bool m_bEnding = false;
    std::vector<UINT> seen;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        if (!m_bEnding) {
            switch (message) {
                case WM_QUERYENDSESSION:
                case WM_ENDSESSION:
                    return 0;
                case WM_POWER:
                    if (wParam == PWR_SUSPENDREQUEST) return PWR_FAIL;
                    break;
                case WM_POWERBROADCAST:
                    if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMQUERYSTANDBY) return BROADCAST_QUERY_DENY;
                    break;
            }
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
    afx_msg void OnSeven() { m_bEnding = true; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(GuardedDlg, CDialog)
    ON_BN_CLICKED(1007, &GuardedDlg::OnSeven)
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, WindowProcSeesTheSystemsRequestsAndADerivedDialogCanRefuseThem) {
    const char* const requests[] = {"queryendsession", "logoff",      "endsession",   "suspendrequest",
                                    "querysuspend",    "querystandby", "resumesuspend"};
    std::vector<std::string> waiting, ending;
    auto ask = [&](std::vector<std::string>& answers) {
        return [&answers, &requests](HWND top) {
            for (const char* name : requests) {
                LRESULT result = 0;
                answers.push_back(sim::desktop::SendBroadcast(top, *sim::desktop::FindBroadcast(name), result));
            }
        };
    };
    UseSteps({ask(waiting), [](HWND top) { Click(top, 1007); }, ask(ending), [](HWND top) { Click(top, IDOK); }});
    GuardedDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK) << AllTranscript();
    EXPECT_EQ(waiting, (std::vector<std::string>{"refused", "refused", "noted", "refused", "denied", "denied",
                                                 "noted"}));
    // Once it may end, the requests take their normal course.
    EXPECT_EQ(ending, (std::vector<std::string>{"allowed", "allowed", "noted", "allowed", "allowed", "allowed",
                                                "noted"}));
    std::set<UINT> seen(dlg.seen.begin(), dlg.seen.end());
    for (UINT m : {WM_INITDIALOG, WM_QUERYENDSESSION, WM_ENDSESSION, WM_POWER, WM_POWERBROADCAST, WM_COMMAND,
                   WM_DESTROY, WM_NCDESTROY})
        EXPECT_TRUE(seen.count(m)) << "WindowProc never saw " << Hex(m);
    EXPECT_EQ(std::count(dlg.seen.begin(), dlg.seen.end(), static_cast<UINT>(WM_INITDIALOG)), 1);
}

TEST_F(MfcDialogTest, WindowProcTakesOverAtTheFirstMessageAndTheDialogManagerStillDoesItsPart) {
    // With a font the dialog manager's first message is WM_SETFONT, without
    // one WM_INITDIALOG; either way it still keeps the font and sets the
    // focus that OnInitDialog's TRUE asks for.
    const AFX_DLGDESC noFont = {0, kDialogStyle, 0, 0, 0, 160, 90, u"Plain", nullptr, 0, kFormItems, 7};
    struct Case {
        const AFX_DLGDESC* desc;
        UINT first;
    } cases[] = {{&kForm, WM_SETFONT}, {&noFont, WM_INITDIALOG}};
    for (const Case& c : cases) {
        SetUp();
        HWND focus = NULL, edit = NULL;
        HFONT font = NULL;
        UseSteps({[&](HWND top) {
            focus = GetFocus();
            edit = GetDlgItem(top, 10);
            font = reinterpret_cast<HFONT>(SendMessageA(top, WM_GETFONT, 0, 0));
            Key(top, VK_RETURN);
        }});
        GuardedDlg dlg(*c.desc);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        ASSERT_FALSE(dlg.seen.empty());
        EXPECT_EQ(dlg.seen.front(), c.first) << Hex(dlg.seen.front());
        EXPECT_EQ(focus, edit) << "the first tab stop has the focus";
        EXPECT_EQ(font != NULL, c.desc->pszFace != nullptr);
    }
}

// ---------------------------------------------------------------------------
// Timers, the wait cursor, the main window, placement.

class TimerDlg : public CDialog {
public:
    TimerDlg() : CDialog(kForm) {}
    uint64_t started = 0;
    std::vector<uint64_t> ticks;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        started = desktop_test::DesktopTest::Now();
        SetTimer(107, 3000);
        SetTimer(9, 1000);
        return TRUE;
    }
    afx_msg void OnTimer(UINT_PTR nIDEvent) {
        if (nIDEvent == 107) {
            ticks.push_back(desktop_test::DesktopTest::Now());
            if (ticks.size() == 3) {
                KillTimer(107);
                EndDialog(static_cast<int>(ticks.size()));
            }
        } else {
            CDialog::OnTimer(nIDEvent);  // the default: nothing happens
        }
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TimerDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, TimersTickInVirtualTime) {
    TimerDlg dlg;
    EXPECT_EQ(dlg.DoModal(), 3) << AllTranscript();
    ASSERT_EQ(dlg.ticks.size(), 3u);
    EXPECT_EQ(dlg.ticks[0] - dlg.started, 3000u);
    EXPECT_EQ(dlg.ticks[1] - dlg.ticks[0], 3000u);
    EXPECT_EQ(dlg.ticks[2] - dlg.ticks[1], 3000u);
}

TEST_F(MfcDialogTest, TheWaitCursorShowsUntilTheOutermostEndAndComesBackWhenRestored) {
    CCmdTarget target;
    SetCursor(LoadCursorA(NULL, IDC_IBEAM));
    target.BeginWaitCursor();
    EXPECT_EQ(Cursor(), "wait");
    target.BeginWaitCursor();
    target.EndWaitCursor();
    EXPECT_EQ(Cursor(), "wait") << "an inner End leaves the outer wait";
    SetCursor(LoadCursorA(NULL, IDC_ARROW));  // as a message box would
    target.RestoreWaitCursor();
    EXPECT_EQ(Cursor(), "wait");
    target.EndWaitCursor();
    EXPECT_EQ(Cursor(), "text") << "back to the cursor before the first Begin";
    target.EndWaitCursor();
    target.RestoreWaitCursor();
    EXPECT_EQ(Cursor(), "text") << "an unmatched End or a Restore without a wait changes nothing";
    EXPECT_EQ(AfxGetWaitCursorCount(), 0);

    // In a dialog, from a button's handler until OK.
    class BusyDlg : public FormDlg {
    protected:
        void OnOK() override {
            EndWaitCursor();
            FormDlg::OnOK();
        }
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
            if (message == WM_COMMAND && LOWORD(wParam) == 1007) {
                BeginWaitCursor();
                return 0;
            }
            return FormDlg::WindowProc(message, wParam, lParam);
        }
    };
    UseScript(json::array({{{"press", "Seven"}}, {{"expect", {{"cursor", "wait"}}}}, {{"press", "OK"}}}));
    BusyDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK) << AllTranscript();
    EXPECT_EQ(AfxGetWaitCursorCount(), 0);
    EXPECT_NE(Cursor(), "wait");
}

// A dialog-based program names its dialog the main window before running it.
class NoticeDlg : public CDialog {
public:
    NoticeDlg() : CDialog(kForm) {}
    HWND owner = reinterpret_cast<HWND>(1);

protected:
    BOOL OnInitDialog() override {
        owner = ::GetWindow(m_hWnd, GW_OWNER);
        EndDialog(IDOK);
        return CDialog::OnInitDialog();
    }
};

class MainDlg : public CDialog {
public:
    MainDlg() : CDialog(kForm) {}
    NoticeDlg notice;
    CWnd* mainDuringRun = NULL;
    HWND hWndDuringRun = NULL;

protected:
    BOOL OnInitDialog() override {
        mainDuringRun = AfxGetMainWnd();
        hWndDuringRun = m_hWnd;
        notice.DoModal();
        EndDialog(IDOK);
        return CDialog::OnInitDialog();
    }
};

TEST_F(MfcDialogTest, TheMainWindowOwnsUnparentedDialogsAndLetsGoWhenItsWindowGoes) {
    CWinApp app;
    MainDlg main;
    app.m_pMainWnd = &main;
    NoticeDlg before;  // the main dialog has no window yet
    EXPECT_EQ(before.DoModal(), IDOK);
    EXPECT_EQ(before.owner, nullptr);
    EXPECT_EQ(app.m_pMainWnd, &main);

    EXPECT_EQ(main.DoModal(), IDOK);
    EXPECT_EQ(main.mainDuringRun, &main);
    EXPECT_NE(main.hWndDuringRun, nullptr);
    EXPECT_EQ(main.notice.owner, main.hWndDuringRun);
    EXPECT_EQ(app.m_pMainWnd, nullptr) << "the main window's end resets m_pMainWnd";
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) << "and ends the thread's message loop";

    // An object that goes first takes its place with it.
    {
        CDialog gone(kForm);
        app.m_pMainWnd = &gone;
    }
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST_F(MfcDialogTest, StartUpThatGivesUpDestroysAMainWindowStillOpen) {
    class OpenApp : public CWinApp {
    public:
        CWnd wnd;
        HWND hWnd = NULL;
        BOOL InitInstance() override {
            hWnd = CreateWindowExA(0, "STATIC", "main", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
            EXPECT_TRUE(wnd.SubclassWindow(hWnd));
            m_pMainWnd = &wnd;
            return FALSE;
        }
    };
    OpenApp app;
    char cmdLine[] = "";
    EXPECT_EQ(WinMain(NULL, NULL, cmdLine, 1), 0);
    EXPECT_FALSE(IsWindow(app.hWnd));
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(app.wnd.m_hWnd, nullptr);
}

TEST_F(MfcDialogTest, TheFrameworkCentresADialogUnlessItWasPlaced) {
    class PlacedDlg : public CDialog {
    public:
        PlacedDlg(const AFX_DLGDESC& desc, CWnd* pParent) : CDialog(desc, pParent) {}
        bool bMoveSelf = false;
        PlacedDlg* pChild = NULL;
        RECT rc = {0, 0, 0, 0};

    protected:
        BOOL OnInitDialog() override {
            if (bMoveSelf) SetWindowPos(NULL, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            return CDialog::OnInitDialog();
        }
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
            LRESULT r = CDialog::WindowProc(message, wParam, lParam);
            // Once shown, where it ended up; then the child, if any.
            if (message == WM_INITDIALOG) PostMessage(WM_APP);
            if (message == WM_APP) {
                GetWindowRect(&rc);
                if (pChild) pChild->DoModal();
                EndDialog(IDOK);
            }
            return r;
        }
    };
    auto centre = [](const RECT& r) { return std::make_pair((r.left + r.right) / 2, (r.top + r.bottom) / 2); };
    const auto screen = std::make_pair(sim::desktop::kScreenWidth / 2, sim::desktop::kScreenHeight / 2);

    PlacedDlg alone(kForm, NULL);
    EXPECT_EQ(alone.DoModal(), IDOK);
    EXPECT_LE(std::abs(centre(alone.rc).first - screen.first), 1);
    EXPECT_LE(std::abs(centre(alone.rc).second - screen.second), 1);

    PlacedDlg owner(kForm, NULL);
    owner.bMoveSelf = true;
    PlacedDlg child(kForm, &owner);
    owner.pChild = &child;
    EXPECT_EQ(owner.DoModal(), IDOK);
    EXPECT_EQ(owner.rc.left, 10) << "placed in OnInitDialog: left where it was put";
    EXPECT_EQ(owner.rc.top, 20);
    EXPECT_EQ(centre(child.rc), centre(owner.rc)) << "an owned dialog is centred on its owner";
}

}  // namespace
