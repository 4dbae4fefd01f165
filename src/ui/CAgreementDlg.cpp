#include "ui/CAgreementDlg.h"

#include "ui/GuardedDialog.h"
#include "util/BeepMessageBox.h"

namespace {

const char MODEL[] = "DVD-ROM ZQ-X9046";

// Names the model twice: the only drive it serves, and the drive that
// must be empty.
const char AGREEMENT[] =
    "Please read the following instructions carefully before using this program. This program may be used only "
    "on the condition that you accept all of the terms below. If you accept them, click the \"I Agree\" button "
    "to proceed.\r\n"
    "\r\n"
    "1) You may not reproduce this program, or distribute it to any third party, in whole or in part.\r\n"
    "2) You may not reverse engineer, decompile, disassemble or modify this program.\r\n"
    "3) All rights in this program belong to VALTORA Corporation (\"VALTORA\").\r\n"
    "4) VALTORA shall not be liable for any damage arising from this program or from its use, including damage "
    "to your computer caused by use other than as described in the following instructions.\r\n"
    "\r\n"
    "[Instructions]\r\n"
    "1) This program is for use only with the \"%s\".  It cannot be used with any other model.\r\n"
    "2) This program can be run under Windows(R) 98 Second Edition, Windows(R) Millennium Edition, Windows(R) "
    "2000, Windows(R) XP.\r\n"
    "3) Using under Windows(R) 2000 or Windows(R) XP, please log on used \"Administrator Group user\", then you "
    "run this program.\r\n"
    "4) Please close all other applications before starting firmware update.\r\n"
    "5) Verify that no media is installed in the \"%s\".\r\n"
    "6) Do not turn off the power supply or reset the system while updating the firmware.\r\n"
    "7) This program may be unable to update some previous versions of firmware.\r\n"
    "\r\n"
    "  Windows is registered trademark of Microsoft Corporation in the United States and/or other countries.\r\n";

// Code page 932. The fifth instruction asks for the disc to be taken out
// instead of naming the model.
const char AGREEMENT_J[] =
    // 本プログラムをご使用になる前に、以下の注意事項を必ずお読み下さい。本プログラムは、以下の全ての条件に同意していただいた場合に限りご使用いただけます。同意していただける場合は「合意する」ボタンをクリックして先へ進んで下さい。
    "\x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xF0\x82\xB2\x8Eg\x97p\x82\xC9\x82\xC8\x82\xE9\x91O\x82\xC9"
    "\x81" "A\x88\xC8\x89\xBA\x82\xCC\x92\x8D\x88\xD3\x8E\x96\x8D\x80\x82\xF0\x95K\x82\xB8\x82\xA8\x93\xC7"
    "\x82\xDD\x89\xBA\x82\xB3\x82\xA2\x81" "B\x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCD\x81" "A\x88\xC8"
    "\x89\xBA\x82\xCC\x91S\x82\xC4\x82\xCC\x8F\xF0\x8C\x8F\x82\xC9\x93\xAF\x88\xD3\x82\xB5\x82\xC4\x82\xA2"
    "\x82\xBD\x82\xBE\x82\xA2\x82\xBD\x8F\xEA\x8D\x87\x82\xC9\x8C\xC0\x82\xE8\x82\xB2\x8Eg\x97p\x82\xA2\x82"
    "\xBD\x82\xBE\x82\xAF\x82\xDC\x82\xB7\x81" "B\x93\xAF\x88\xD3\x82\xB5\x82\xC4\x82\xA2\x82\xBD\x82\xBE"
    "\x82\xAF\x82\xE9\x8F\xEA\x8D\x87\x82\xCD\x81u\x8D\x87\x88\xD3\x82\xB7\x82\xE9\x81v\x83{\x83^\x83\x93"
    "\x82\xF0\x83N\x83\x8A\x83" "b\x83N\x82\xB5\x82\xC4\x90\xE6\x82\xD6\x90i\x82\xF1\x82\xC5\x89\xBA\x82\xB3"
    "\x82\xA2\x81" "B\r\n"
    // 1) 本プログラムの全部または一部を複製し、第三者に配布することはできません。
    "1) \x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCC\x91S\x95\x94\x82\xDC\x82\xBD\x82\xCD\x88\xEA\x95\x94"
    "\x82\xF0\x95\xA1\x90\xBB\x82\xB5\x81" "A\x91\xE6\x8EO\x8E\xD2\x82\xC9\x94z\x95z\x82\xB7\x82\xE9\x82\xB1"
    "\x82\xC6\x82\xCD\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B\r\n"
    // 2) 本プログラムのリバースエンジニアリング、逆コンパイル、逆アセンブル及び改変はできません。
    "2) \x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCC\x83\x8A\x83o\x81[\x83X\x83G\x83\x93\x83W\x83j\x83"
    "A\x83\x8A\x83\x93\x83O\x81" "A\x8Bt\x83R\x83\x93\x83p\x83" "C\x83\x8B\x81" "A\x8Bt\x83" "A\x83Z\x83\x93"
    "\x83u\x83\x8B\x8By\x82\xD1\x89\xFC\x95\xCF\x82\xCD\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B\r\n"
    // 3) 本プログラムに関する権利は全てVALTORA 株式会社（以下「VALTORA」）に帰属します。
    "3) \x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xC9\x8A\xD6\x82\xB7\x82\xE9\x8C\xA0\x97\x98\x82\xCD\x91S"
    "\x82\xC4VALTORA \x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\x81i\x88\xC8\x89\xBA\x81uVALTORA\x81v\x81j\x82\xC9\x8B"
    "A\x91\xAE\x82\xB5\x82\xDC\x82\xB7\x81" "B\r\n"
    // 4) VALTORA は、本プログラムまたはその使用により生じたいかなる損害についても責任を負いません。以下の注意事項に従わない使用によりコンピュータに生じた損害についても同様です。
    "4) VALTORA \x82\xCD\x81" "A\x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xDC\x82\xBD\x82\xCD\x82\xBB\x82"
    "\xCC\x8Eg\x97p\x82\xC9\x82\xE6\x82\xE8\x90\xB6\x82\xB6\x82\xBD\x82\xA2\x82\xA9\x82\xC8\x82\xE9\x91\xB9"
    "\x8AQ\x82\xC9\x82\xC2\x82\xA2\x82\xC4\x82\xE0\x90\xD3\x94" "C\x82\xF0\x95\x89\x82\xA2\x82\xDC\x82\xB9"
    "\x82\xF1\x81" "B\x88\xC8\x89\xBA\x82\xCC\x92\x8D\x88\xD3\x8E\x96\x8D\x80\x82\xC9\x8F]\x82\xED\x82\xC8"
    "\x82\xA2\x8Eg\x97p\x82\xC9\x82\xE6\x82\xE8\x83R\x83\x93\x83s\x83\x85\x81[\x83^\x82\xC9\x90\xB6\x82\xB6"
    "\x82\xBD\x91\xB9\x8AQ\x82\xC9\x82\xC2\x82\xA2\x82\xC4\x82\xE0\x93\xAF\x97l\x82\xC5\x82\xB7\x81" "B\r\n"
    "\r\n"
    // [注意事項]
    "[\x92\x8D\x88\xD3\x8E\x96\x8D\x80]\r\n"
    // 1) 本プログラムは"%s" 専用です。他のモデルではご使用になれません。
    "1) \x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCD\"%s\" \x90\xEA\x97p\x82\xC5\x82\xB7\x81" "B\x91\xBC"
    "\x82\xCC\x83\x82\x83" "f\x83\x8B\x82\xC5\x82\xCD\x82\xB2\x8Eg\x97p\x82\xC9\x82\xC8\x82\xEA\x82\xDC\x82"
    "\xB9\x82\xF1\x81" "B\r\n"
    // 2) 本プログラムはWindows (R) 98 Second Edition 、Windows (R) Millennium Edition 、Windows (R) 2000 、Windows (R) XP でお使い下さい。
    "2) \x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCDWindows (R) 98 Second Edition \x81" "AWindows (R) Mil"
    "lennium Edition \x81" "AWindows (R) 2000 \x81" "AWindows (R) XP \x82\xC5\x82\xA8\x8Eg\x82\xA2\x89\xBA"
    "\x82\xB3\x82\xA2\x81" "B\r\n"
    // 3) Windows (R) 2000 またはWindows (R) XP でお使いの場合は、"Administrators グループのユーザー" でログオンし、本プログラムを実行して下さい。
    "3) Windows (R) 2000 \x82\xDC\x82\xBD\x82\xCDWindows (R) XP \x82\xC5\x82\xA8\x8Eg\x82\xA2\x82\xCC\x8F"
    "\xEA\x8D\x87\x82\xCD\x81" "A\"Administrators \x83O\x83\x8B\x81[\x83v\x82\xCC\x83\x86\x81[\x83U\x81[\" "
    "\x82\xC5\x83\x8D\x83O\x83I\x83\x93\x82\xB5\x81" "A\x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xF0\x8E"
    "\xC0\x8Ds\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81" "B\r\n"
    // 4) ファームウェアアップデート前に他のアプリケーションは全て終了させておいて下さい。
    "4) \x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x91O\x82\xC9"
    "\x91\xBC\x82\xCC\x83" "A\x83v\x83\x8A\x83P\x81[\x83V\x83\x87\x83\x93\x82\xCD\x91S\x82\xC4\x8FI\x97\xB9"
    "\x82\xB3\x82\xB9\x82\xC4\x82\xA8\x82\xA2\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81" "B\r\n"
    // 5) ファームウェアアップデート前にドライブからディスクを取り出しておいて下さい。
    "5) \x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x91O\x82\xC9"
    "\x83h\x83\x89\x83" "C\x83u\x82\xA9\x82\xE7\x83" "f\x83" "B\x83X\x83N\x82\xF0\x8E\xE6\x82\xE8\x8Fo\x82"
    "\xB5\x82\xC4\x82\xA8\x82\xA2\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81" "B\r\n"
    // 6) ファームウェアアップデート中はコンピュータ及びドライブの電源を切らないで下さい。
    "6) \x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x92\x86\x82"
    "\xCD\x83R\x83\x93\x83s\x83\x85\x81[\x83^\x8By\x82\xD1\x83h\x83\x89\x83" "C\x83u\x82\xCC\x93" "d\x8C\xB9"
    "\x82\xF0\x90\xD8\x82\xE7\x82\xC8\x82\xA2\x82\xC5\x89\xBA\x82\xB3\x82\xA2\x81" "B\r\n"
    // 7) 現在のファームウェアのバージョンによっては、本プログラムでアップデートできない場合があります。
    "7) \x8C\xBB\x8D\xDD\x82\xCC\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xCC\x83o\x81[\x83W\x83"
    "\x87\x83\x93\x82\xC9\x82\xE6\x82\xC1\x82\xC4\x82\xCD\x81" "A\x96{\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82"
    "\xC5\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xC5\x82\xAB\x82\xC8\x82\xA2\x8F\xEA\x8D\x87\x82\xAA\x82"
    "\xA0\x82\xE8\x82\xDC\x82\xB7\x81" "B\r\n"
    "\r\n"
    //   Windows は、米国Microsoft Corporation の米国及びその他の国における登録商標です。
    "  Windows \x82\xCD\x81" "A\x95\xC4\x8D\x91Microsoft Corporation \x82\xCC\x95\xC4\x8D\x91\x8By\x82\xD1"
    "\x82\xBB\x82\xCC\x91\xBC\x82\xCC\x8D\x91\x82\xC9\x82\xA8\x82\xAF\x82\xE9\x93o\x98^\x8F\xA4\x95W\x82\xC5"
    "\x82\xB7\x81" "B\r\n\r\n";

// 合意する, 合意しない
const char AGREE_J[] = "\x8D\x87\x88\xD3\x82\xB7\x82\xE9";
const char NOT_AGREE_J[] = "\x8D\x87\x88\xD3\x82\xB5\x82\xC8\x82\xA2";

bool IsJapanese() { return _getmbcp() == 932; }

// "I Agree" is no tab stop, so the focus starts on the default "Not
// Agree" and Enter never agrees by accident.
const AFX_DLGITEM g_aAgreementItems[] = {
    {"BUTTON", u"I Agree", IDOK, WS_VISIBLE | BS_PUSHBUTTON, 185, 137, 50, 14},
    {"BUTTON", u"Not Agree", IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 258, 137, 50, 14},
    {"EDIT", NULL, IDC_AGREEMENT_TEXT,
     WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_NOHIDESEL, 1, 4, 307, 130},
};

}  // namespace

// The caption is replaced at the first paint, with the model in it.
const AFX_DLGDESC g_dlgAgreement = {IDD_AGREEMENT,
                                   WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                                   0,
                                   0,
                                   0,
                                   310,
                                   152,
                                   u"Agreement",
                                   u"FixedSys",
                                   14,
                                   g_aAgreementItems,
                                   3};

CAgreementDlg::CAgreementDlg(CWnd* pParentWnd) : CDialog(g_dlgAgreement, pParentWnd), m_bEnding(false) {
    if (IsJapanese())
        m_strAgreement.Format(AGREEMENT_J, MODEL);
    else
        m_strAgreement.Format(AGREEMENT, MODEL, MODEL);
}

CAgreementDlg::~CAgreementDlg() = default;

void CAgreementDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnAgree);
    DDX_Control(pDX, IDCANCEL, m_btnNotAgree);
    DDX_Text(pDX, IDC_AGREEMENT_TEXT, m_strAgreement);
    DDV_MaxChars(pDX, m_strAgreement, 2000);
}

LRESULT CAgreementDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardedWindowProc(this, m_bEnding, message, wParam, lParam);
}

// Checked at every paint, so the texts are in place from the first
// drawing; set only when they differ, since setting a text repaints.
void CAgreementDlg::OnPaint() {
    CPaintDC dc(this);
    CString strCaption = CString(g_szMessageCaption) + " For  " + m_strModel;
    AfxSetWindowText(m_hWnd, strCaption);
    if (IsJapanese()) {
        AfxSetWindowText(m_btnAgree.m_hWnd, AGREE_J);
        AfxSetWindowText(m_btnNotAgree.m_hWnd, NOT_AGREE_J);
    }
}

void CAgreementDlg::OnOK() {
    m_bEnding = true;
    CDialog::OnOK();
}

void CAgreementDlg::OnCancel() {
    m_bEnding = true;
    CDialog::OnCancel();
}

BEGIN_MESSAGE_MAP(CAgreementDlg, CDialog)
    ON_WM_PAINT()
END_MESSAGE_MAP()
