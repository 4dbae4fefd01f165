// Data exchange between a dialog's members and its controls, the
// validation that keeps a dialog open, and the control classes bound with
// DDX_Control.
#include <gtest/gtest.h>

#include "mfc_dialog_fixture.h"

namespace {

using namespace mfc_test;
using nlohmann::json;

class ExchangeDlg : public CDialog {
public:
    ExchangeDlg() : CDialog(kForm) {}
    bool bInt = false;
    int nMaxChars = 0;  // 0: no DDV_MaxChars on the edit
    CString m_strEdit = "abc";
    CString m_strStatic = "status";
    int m_nValue = 42;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        if (bInt) {
            DDX_Text(pDX, 10, m_nValue);
        } else {
            DDX_Text(pDX, 10, m_strEdit);
            if (nMaxChars) DDV_MaxChars(pDX, m_strEdit, nMaxChars);
        }
        DDX_Text(pDX, 11, m_strStatic);
        DDV_MaxChars(pDX, m_strStatic, 2000);
    }
};

class DdxTest : public MfcDialogTest {
protected:
    static LRESULT Limit(HWND dlg) { return SendMessageA(GetDlgItem(dlg, 10), EM_GETLIMITTEXT, 0, 0); }
};

TEST_F(DdxTest, TextGoesIntoTheControlsAtInitAndComesBackOnOK) {
    struct Case {
        const char* name;
        bool bInt;
        int nMaxChars;
        const char* shown;
        const char* typed;
        const char* text;  // the CString member after OK
        int value;         // the int member after OK
    } cases[] = {
        {"a text", false, 0, "abc", "xyz", "xyz", 42},
        {"a text within its limit", false, 5, "abc", "12345", "12345", 42},
        {"a number", true, 0, "42", " -17 ", "abc", -17},
        {"the largest number", true, 0, "42", "+2147483647", "abc", 2147483647},
        {"the smallest number", true, 0, "42", "-2147483648", "abc", -2147483647 - 1},
    };
    for (const Case& c : cases) {
        SetUp();
        std::string shown, staticShown;
        LRESULT limit = 0;
        UseSteps({[&](HWND top) {
            shown = ItemText(top, 10);
            staticShown = ItemText(top, 11);
            limit = Limit(top);
            SetDlgItemTextA(top, 10, c.typed);
            Key(top, VK_RETURN);
        }});
        ExchangeDlg dlg;
        dlg.bInt = c.bInt;
        dlg.nMaxChars = c.nMaxChars;
        EXPECT_EQ(dlg.DoModal(), IDOK) << c.name << "\n" << AllTranscript();
        EXPECT_EQ(shown, c.shown) << c.name;
        EXPECT_EQ(staticShown, "status") << c.name;
        if (c.nMaxChars) {
            EXPECT_EQ(limit, c.nMaxChars) << c.name << ": loading limits the edit";
        }
        EXPECT_EQ(dlg.m_strEdit, c.text) << c.name;
        EXPECT_EQ(dlg.m_nValue, c.value) << c.name;
        EXPECT_TRUE(MessageBoxes().empty()) << c.name << "\n" << AllTranscript();
    }
}

TEST_F(DdxTest, ARefusedValueTellsTheUserAndKeepsTheDialogOpenOnThatControl) {
    struct Case {
        const char* name;
        bool bInt;
        int nMaxChars;
        const char* bad;
        const char* says;
        const char* good;
        const char* text;
        int value;
    } cases[] = {
        {"not a number", true, 0, "12x", "Please enter an integer.", "7", "abc", 7},
        {"nothing", true, 0, "", "Please enter an integer.", "7", "abc", 7},
        {"a sign alone", true, 0, "-", "Please enter an integer.", "7", "abc", 7},
        {"too large", true, 0, "2147483648", "Please enter an integer.", "7", "abc", 7},
        {"too long", false, 5, "123456", "Enter no more than 5 characters.", "short", "short", 42},
    };
    for (const Case& c : cases) {
        SetUp();
        HWND focus = NULL, edit = NULL;
        LRESULT selection = 0;
        UseSteps({
            [&](HWND top) {
                SetDlgItemTextA(top, 10, c.bad);
                Click(top, IDOK);  // the button takes the focus
            },
            [&](HWND top) { Key(top, VK_RETURN); },  // the message box
            [&](HWND top) {
                focus = GetFocus();
                edit = GetDlgItem(top, 10);
                selection = SendMessageA(edit, EM_GETSEL, 0, 0);
                SetDlgItemTextA(top, 10, c.good);
                Key(top, VK_RETURN);
            },
        });
        ExchangeDlg dlg;
        dlg.bInt = c.bInt;
        dlg.nMaxChars = c.nMaxChars;
        EXPECT_EQ(dlg.DoModal(), IDOK) << c.name << "\n" << AllTranscript();
        ASSERT_EQ(MessageBoxes().size(), 1u) << c.name << "\n" << AllTranscript();
        EXPECT_NE(MessageBoxes()[0].find(std::string("\"") + c.says + "\""), std::string::npos)
            << c.name << ": " << MessageBoxes()[0];
        EXPECT_EQ(focus, edit) << c.name << ": the refused control has the focus";
        EXPECT_EQ(LOWORD(selection), 0) << c.name;
        EXPECT_EQ(HIWORD(selection), std::string(c.bad).size()) << c.name << ": and its text is selected";
        EXPECT_EQ(dlg.m_strEdit, c.text) << c.name;
        EXPECT_EQ(dlg.m_nValue, c.value) << c.name;
    }
}

TEST_F(DdxTest, CancelLeavesTheMembersAsTheyWere) {
    UseSteps({[](HWND top) {
        SetDlgItemTextA(top, 10, "changed");
        Key(top, VK_ESCAPE);
    }});
    ExchangeDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_strEdit, "abc");
}

// ---------------------------------------------------------------------------
// Controls.

class SpyButton : public CButton {
public:
    int nMouseUps = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_LBUTTONUP) ++nMouseUps;
        return CButton::WindowProc(message, wParam, lParam);
    }
};

class ControlsDlg : public CDialog {
public:
    ControlsDlg() : CDialog(kForm) {}
    CComboBox m_cbList;
    CProgressCtrl m_progress;
    CEdit m_edit;
    SpyButton m_btnSeven;
    int nRuns = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, 1000, m_cbList);
        DDX_Control(pDX, 1012, m_progress);
        DDX_Control(pDX, 10, m_edit);
        DDX_Control(pDX, 1007, m_btnSeven);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ++nRuns;
        EXPECT_EQ(GetDlgItem(1000), &m_cbList) << "the bound object is the window's object";

        EXPECT_EQ(m_cbList.AddString("A"), 0);
        EXPECT_EQ(m_cbList.AddString("B"), 1);
        EXPECT_EQ(m_cbList.AddString("CC"), 2);
        EXPECT_EQ(m_cbList.GetCount(), 3);
        EXPECT_EQ(m_cbList.GetCurSel(), CB_ERR);
        EXPECT_EQ(m_cbList.SetCurSel(1), 1);
        EXPECT_EQ(m_cbList.GetCurSel(), 1);
        EXPECT_EQ(m_cbList.SetCurSel(9), CB_ERR);
        CString text;
        m_cbList.GetLBText(2, text);
        EXPECT_EQ(text, "CC");
        EXPECT_EQ(m_cbList.GetLBTextLen(2), 2);
        m_cbList.GetLBText(5, text);
        EXPECT_EQ(text, "");
        m_cbList.ResetContent();
        EXPECT_EQ(m_cbList.GetCount(), 0);

        m_progress.SetRange(0, 100);
        EXPECT_EQ(m_progress.SetPos(2), 0) << "SetPos gives the previous position";
        EXPECT_EQ(m_progress.GetPos(), 2);
        m_progress.SetStep(4);
        EXPECT_EQ(m_progress.StepIt(), 2);
        EXPECT_EQ(m_progress.GetPos(), 6);
        EXPECT_EQ(m_progress.OffsetPos(10), 6);
        EXPECT_EQ(m_progress.GetPos(), 16);
        int lower = -1, upper = -1;
        m_progress.GetRange(lower, upper);
        EXPECT_EQ(lower, 0);
        EXPECT_EQ(upper, 100);

        m_edit.SetWindowText("hello world");
        m_edit.LimitText(20);
        EXPECT_EQ(m_edit.SendMessage(EM_GETLIMITTEXT), 20);
        m_edit.SetSel(2, 5);
        int start = -1, end = -1;
        m_edit.GetSel(start, end);
        EXPECT_EQ(start, 2);
        EXPECT_EQ(end, 5);
        return TRUE;
    }
    afx_msg void OnSeven() { EndDialog(7); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ControlsDlg, CDialog)
    ON_BN_CLICKED(1007, &ControlsDlg::OnSeven)
END_MESSAGE_MAP()

TEST_F(DdxTest, BoundControlsWorkTheirWindowsAndLetGoWhenTheDialogEnds) {
    ControlsDlg dlg;
    // Twice with the same object: the controls were let go after the first.
    for (int run = 1; run <= 2; ++run) {
        UseScript(json::array({{{"press", "Seven"}}}));
        EXPECT_EQ(dlg.DoModal(), 7) << "run " << run << "\n" << AllTranscript();
        EXPECT_EQ(dlg.nRuns, run);
        EXPECT_EQ(dlg.m_btnSeven.nMouseUps, run) << "the subclassed button's WindowProc saw the click";
        for (CWnd* control : {static_cast<CWnd*>(&dlg.m_cbList), static_cast<CWnd*>(&dlg.m_progress),
                              static_cast<CWnd*>(&dlg.m_edit), static_cast<CWnd*>(&dlg.m_btnSeven)})
            EXPECT_EQ(control->m_hWnd, nullptr) << "run " << run;
    }
}

}  // namespace
