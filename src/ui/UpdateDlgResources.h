// The main dialog's and the about box's resources: their dialog
// descriptions (templates 102 and 100, menu 129) and the strings they load.
#pragma once
#include "afx.h"

const UINT IDD_ABOUTBOX = 100;
const UINT IDD_UPDATE_DIALOG = 102;
const UINT IDR_MAINFRAME = 128;  // the application icon
const UINT IDR_UPDATE_MENU = 129;
const UINT IDS_ABOUTBOX = 101;

// Controls of the main dialog.
const int IDC_NOTES = 103;
const int IDC_DRIVE_LABEL = 104;
const int IDC_STATUS = 115;
const int IDC_DRIVE_LIST = 1000;
const int IDC_DRIVE_REVISION = 1004;
const int IDC_TARGET_REVISION = 1005;
const int IDC_START_UPDATE = 1006;
const int IDC_CANCEL_UPDATE = 1007;
const int IDC_FIRM_VERSION = 1008;
const int IDC_PROGRESS = 1012;

// Controls of the about box.
const int IDC_ABOUT_FIRM_VERSION = 1004;
const int IDC_ABOUT_MODEL = 1005;

// Commands and the timer.
const UINT ID_SCAN = 32771;
const UINT ID_APP_ABOUT = 32772;
const UINT IDM_ABOUTBOX = 0x0010;  // the about entry of the system menu
const UINT_PTR IDT_UPDATE = 107;

extern const AFX_DLGDESC g_dlgAbout;
extern const AFX_DLGDESC g_dlgUpdate;

// Makes both descriptions findable by id and the strings loadable;
// registering again does nothing.
void RegisterUpdateDlgResources();
