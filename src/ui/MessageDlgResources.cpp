#include "ui/MessageDlgResources.h"

namespace {

const DWORD NOTICE_FRAME = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
const char16_t* const ENGLISH_FACE = u"Arial";
const char16_t* const JAPANESE_FACE = u"ＭＳ Ｐゴシック";

constexpr AFX_DLGITEM Text(int nID, short x, short y, short cx, short cy) {
    return {"STATIC", NULL, nID, WS_VISIBLE | WS_GROUP | SS_LEFT, x, y, cx, cy};
}
constexpr AFX_DLGITEM Button(const char16_t* pszText, int nID, DWORD dwKind, short x, short y, short cx, short cy) {
    return {"BUTTON", pszText, nID, WS_VISIBLE | WS_TABSTOP | dwKind, x, y, cx, cy};
}
constexpr AFX_DLGITEM OK(short x, short y, short cx, short cy) {
    return Button(u"OK", IDOK, BS_DEFPUSHBUTTON, x, y, cx, cy);
}
// Escape must not end a notice: a disabled IDCANCEL makes the dialog
// manager only beep.
constexpr AFX_DLGITEM HiddenCancel(short x, short y) {
    return {"BUTTON", u"Cancel", IDCANCEL, WS_DISABLED | BS_PUSHBUTTON, x, y, 50, 14};
}

template <int N>
constexpr AFX_DLGDESC Notice(UINT nID, short cx, short cy, const char16_t* pszFace, const AFX_DLGITEM (&items)[N]) {
    return {nID, NOTICE_FRAME, 0, 0, 0, cx, cy, u"", pszFace, 10, items, N};
}

const AFX_DLGITEM g_aWarningItems[] = {Text(IDC_WARNING, 7, 3, 154, 24), OK(58, 30, 50, 14), HiddenCancel(58, 30)};
const AFX_DLGITEM g_aCancelItems[] = {Text(IDC_CANCEL, 7, 7, 153, 16), OK(57, 26, 50, 14), HiddenCancel(57, 26)};
const AFX_DLGITEM g_aCancelJItems[] = {Text(IDC_CANCELJ, 7, 7, 149, 17), OK(53, 29, 50, 14), HiddenCancel(53, 29)};
const AFX_DLGITEM g_aWarningJItems[] = {Text(IDC_WARNINGJ, 9, 7, 151, 26), OK(56, 37, 50, 14), HiddenCancel(56, 37)};
const AFX_DLGITEM g_aEndItems[] = {Text(IDC_END, 7, 7, 153, 24), OK(57, 34, 50, 14), HiddenCancel(57, 34)};
const AFX_DLGITEM g_aEndJItems[] = {Text(IDC_ENDJ, 7, 7, 153, 26), OK(58, 37, 50, 14), HiddenCancel(58, 37)};
const AFX_DLGITEM g_aStartItems[] = {Text(IDC_START, 7, 7, 165, 40), OK(63, 51, 50, 14), HiddenCancel(63, 51)};
const AFX_DLGITEM g_aStartJItems[] = {Text(IDC_STARTJ, 7, 7, 183, 41), OK(72, 53, 50, 14), HiddenCancel(72, 53)};
// CANCEL is the default and comes first in the tab order, so that Enter
// (which presses the focused push button) keeps the machine as it is.
const AFX_DLGITEM g_aRebootItems[] = {
    Text(IDC_REBOOT, 7, 7, 173, 32),
    Button(u"CANCEL", IDC_REBOOT_CANCEL, BS_DEFPUSHBUTTON, 104, 43, 47, 15),
    Button(u"OK", IDOK, BS_PUSHBUTTON, 34, 43, 47, 15),
    HiddenCancel(34, 43),
};
const AFX_DLGITEM g_aRebootJItems[] = {
    Text(IDC_REBOOTJ, 7, 7, 173, 33),
    Button(u"キャンセル", IDC_REBOOT_CANCEL, BS_DEFPUSHBUTTON, 105, 45, 49, 14),
    Button(u"OK", IDOK, BS_PUSHBUTTON, 29, 45, 49, 14),
    HiddenCancel(29, 45),
};

// Nothing reads these; they stand under the ids of the statics.
const AFX_STRINGRES g_aMessageStrings[] = {
    {IDC_WARNING, "warning"}, {IDC_REBOOT, "reboot"}, {IDC_REBOOTJ, "rebootj"}, {IDC_WARNINGJ, "warningj"},
    {IDC_CANCEL, "cancel"},   {IDC_CANCELJ, "cancelj"}, {IDC_END, "end"},     {IDC_ENDJ, "endj"},
    {IDC_START, "start"},     {IDC_STARTJ, "startj"},
};

template <class T, int N>
constexpr int CountOf(const T (&)[N]) {
    return N;
}

}  // namespace

const AFX_DLGDESC g_dlgWarning = Notice(IDD_WARNING, 171, 51, ENGLISH_FACE, g_aWarningItems);
const AFX_DLGDESC g_dlgCancel = Notice(IDD_CANCEL, 167, 47, ENGLISH_FACE, g_aCancelItems);
const AFX_DLGDESC g_dlgCancelJ = Notice(IDD_CANCELJ, 163, 50, JAPANESE_FACE, g_aCancelJItems);
const AFX_DLGDESC g_dlgWarningJ = Notice(IDD_WARNINGJ, 167, 58, JAPANESE_FACE, g_aWarningJItems);
const AFX_DLGDESC g_dlgEnd = Notice(IDD_END, 167, 55, ENGLISH_FACE, g_aEndItems);
const AFX_DLGDESC g_dlgEndJ = Notice(IDD_ENDJ, 167, 58, JAPANESE_FACE, g_aEndJItems);
const AFX_DLGDESC g_dlgStart = Notice(IDD_START, 179, 72, ENGLISH_FACE, g_aStartItems);
const AFX_DLGDESC g_dlgStartJ = Notice(IDD_STARTJ, 197, 74, JAPANESE_FACE, g_aStartJItems);
const AFX_DLGDESC g_dlgReboot = Notice(IDD_REBOOT, 187, 65, ENGLISH_FACE, g_aRebootItems);
const AFX_DLGDESC g_dlgRebootJ = Notice(IDD_REBOOTJ, 187, 66, JAPANESE_FACE, g_aRebootJItems);

const char g_szWarning[] = "Close all applications before updating firmware.";
// ファームウェアのアップデートを行う前にアプリケーションを全て終了して下さい。
const char g_szWarningJ[] =
    "\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xCC\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xF0"
    "\x8Ds\x82\xA4\x91O\x82\xC9\x83" "A\x83v\x83\x8A\x83P\x81[\x83V\x83\x87\x83\x93\x82\xF0\x91S\x82\xC4\x8F"
    "I\x97\xB9\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81" "B";
const char g_szStart[] =
    "The firmware update takes about 3 minutes.\r\n"
    "During the update, do NOT run other applications, shut down, or restart your PC.\r\n"
    "Doing so may permanently damage your CD drive.";
// ファームウェアのアップデートには約3 分かかります。\r\nアップデート中は他のアプリケーションの実行や、パソコンを終了・再起動させることは絶対に行わないでください。\r\nCD ドライブが故障するおそれがあります。
const char g_szStartJ[] =
    "\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xCC\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xC9"
    "\x82\xCD\x96\xF1" "3 \x95\xAA\x82\xA9\x82\xA9\x82\xE8\x82\xDC\x82\xB7\x81" "B\r\n\x83" "A\x83" "b\x83v"
    "\x83" "f\x81[\x83g\x92\x86\x82\xCD\x91\xBC\x82\xCC\x83" "A\x83v\x83\x8A\x83P\x81[\x83V\x83\x87\x83\x93"
    "\x82\xCC\x8E\xC0\x8Ds\x82\xE2\x81" "A\x83p\x83\\\x83R\x83\x93\x82\xF0\x8FI\x97\xB9\x81" "E\x8D\xC4\x8BN"
    "\x93\xAE\x82\xB3\x82\xB9\x82\xE9\x82\xB1\x82\xC6\x82\xCD\x90\xE2\x91\xCE\x82\xC9\x8Ds\x82\xED\x82\xC8"
    "\x82\xA2\x82\xC5\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B\r\nCD \x83h\x83\x89\x83" "C\x83u\x82\xAA\x8C"
    "\xCC\x8F\xE1\x82\xB7\x82\xE9\x82\xA8\x82\xBB\x82\xEA\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7\x81" "B";
const char g_szEnd[] = "Firmware update complete. \r\nRetrieves setting and system restart now.";
// ファームウェアのアップデートが終了しました。\r\n設定を元に戻し、再起動します。
const char g_szEndJ[] =
    "\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xCC\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xAA"
    "\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81" "B\r\n\x90\xDD\x92\xE8\x82\xF0\x8C\xB3\x82\xC9\x96"
    "\xDF\x82\xB5\x81" "A\x8D\xC4\x8BN\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x81" "B";
const char g_szCancel[] = "Retrieves setting and system restart now.";
// 設定を元に戻しシステムを再起動します。
const char g_szCancelJ[] =
    "\x90\xDD\x92\xE8\x82\xF0\x8C\xB3\x82\xC9\x96\xDF\x82\xB5\x83V\x83X\x83" "e\x83\x80\x82\xF0\x8D\xC4\x8BN"
    "\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x81" "B";
const char g_szRebootResume[] =
    "The system needs to be restarted to continue the firmware update.\r\n"
    "Follow the update instructions that appear after restarting.";
// ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n再起動後ファームウェアのアップデートを行ってください。
const char g_szRebootResumeJ[] =
    "\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xF0\x8F\x91\x82\xAB\x8A\xB7\x82\xA6\x82\xE7\x82\xEA"
    "\x82\xE9\x82\xE6\x82\xA4\x83V\x83X\x83" "e\x83\x80\x90\xDD\x92\xE8\x82\xF0\x95\xCF\x8DX\x82\xB5\x82\xC4"
    "\x8D\xC4\x8BN\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x81" "B\r\n\x8D\xC4\x8BN\x93\xAE\x8C\xE3\x83t\x83@\x81["
    "\x83\x80\x83" "E\x83" "F\x83" "A\x82\xCC\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xF0\x8Ds\x82\xC1"
    "\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B";
const char g_szRebootRunAgain[] =
    "The system needs to be restarted to continue the firmware update.\r\n"
    "Please run again this program after restart.";
// ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n再起動後もう一度このプログラムを実行して下さい。
const char g_szRebootRunAgainJ[] =
    "\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xF0\x8F\x91\x82\xAB\x8A\xB7\x82\xA6\x82\xE7\x82\xEA"
    "\x82\xE9\x82\xE6\x82\xA4\x83V\x83X\x83" "e\x83\x80\x90\xDD\x92\xE8\x82\xF0\x95\xCF\x8DX\x82\xB5\x82\xC4"
    "\x8D\xC4\x8BN\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x81" "B\r\n\x8D\xC4\x8BN\x93\xAE\x8C\xE3\x82\xE0\x82\xA4"
    "\x88\xEA\x93x\x82\xB1\x82\xCC\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xF0\x8E\xC0\x8Ds\x82\xB5\x82\xC4"
    "\x89\xBA\x82\xB3\x82\xA2\x81" "B";
void RegisterMessageDlgResources() {
    static const AFX_DLGDESC* const s_apDescs[] = {&g_dlgWarning, &g_dlgCancel, &g_dlgCancelJ, &g_dlgWarningJ,
                                                   &g_dlgEnd,     &g_dlgEndJ,   &g_dlgStart,   &g_dlgStartJ,
                                                   &g_dlgReboot,  &g_dlgRebootJ};
    AfxRegisterDialogTemplates(s_apDescs, CountOf(s_apDescs));
    AfxRegisterStringTable(g_aMessageStrings, CountOf(g_aMessageStrings));
}
