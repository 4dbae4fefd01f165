// The notices' resources: dialog templates 132 to 141, their texts in
// English and in Japanese (code page 932 bytes), and the strings the
// string table keeps under the ids of their statics.
#pragma once
#include "afx.h"

const UINT IDD_WARNING = 132;
const UINT IDD_CANCEL = 133;
const UINT IDD_CANCELJ = 134;
const UINT IDD_WARNINGJ = 135;
const UINT IDD_END = 136;
const UINT IDD_ENDJ = 137;
const UINT IDD_START = 138;
const UINT IDD_STARTJ = 139;
const UINT IDD_REBOOT = 140;
const UINT IDD_REBOOTJ = 141;

// The static each notice shows its text in.
const int IDC_WARNING = 102;
const int IDC_REBOOT = 105;
const int IDC_REBOOTJ = 106;
const int IDC_WARNINGJ = 108;
const int IDC_CANCEL = 109;
const int IDC_CANCELJ = 110;
const int IDC_END = 111;
const int IDC_ENDJ = 112;
const int IDC_START = 113;
const int IDC_STARTJ = 114;
// CANCEL of the restart notices.
const int IDC_REBOOT_CANCEL = 1006;

extern const AFX_DLGDESC g_dlgWarning;
extern const AFX_DLGDESC g_dlgWarningJ;
extern const AFX_DLGDESC g_dlgStart;
extern const AFX_DLGDESC g_dlgStartJ;
extern const AFX_DLGDESC g_dlgEnd;
extern const AFX_DLGDESC g_dlgEndJ;
extern const AFX_DLGDESC g_dlgCancel;
extern const AFX_DLGDESC g_dlgCancelJ;
extern const AFX_DLGDESC g_dlgReboot;
extern const AFX_DLGDESC g_dlgRebootJ;

extern const char g_szWarning[];
extern const char g_szWarningJ[];
extern const char g_szStart[];
extern const char g_szStartJ[];
extern const char g_szEnd[];
extern const char g_szEndJ[];
extern const char g_szCancel[];
extern const char g_szCancelJ[];

// What the start-up routine puts into a restart notice: either the update
// goes on by itself after the restart, or the user has to start the
// program again.
extern const char g_szRebootResume[];
extern const char g_szRebootResumeJ[];
extern const char g_szRebootRunAgain[];
extern const char g_szRebootRunAgainJ[];

// Makes the ten templates findable by id and the strings loadable;
// registering again does nothing.
void RegisterMessageDlgResources();
