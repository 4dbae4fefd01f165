// Uses every family of the Win32 and ASPI declarations the way the updater
// and its framework do. It is compiled in both builds: against our own
// headers on the host, against the system's on Windows (where it is also
// linked, so every function named here must exist in the import
// libraries). Nothing here is meant to run.
#include <cstddef>
#include <cstring>

#include "aspi.h"
#include "win32.h"

// Values the updater depends on by number (the I/O controls it sends, the
// answers that refuse the end of a session, the ASPI codes it reports).
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x4D014, "pass-through I/O control");
static_assert(IOCTL_SCSI_GET_CAPABILITIES == 0x41010, "capability I/O control");
static_assert(SCSI_IOCTL_DATA_OUT == 0 && SCSI_IOCTL_DATA_IN == 1 && SCSI_IOCTL_DATA_UNSPECIFIED == 2,
              "pass-through directions");
static_assert(WM_QUERYENDSESSION == 0x0011 && WM_ENDSESSION == 0x0016 && WM_POWER == 0x0048 &&
                  WM_POWERBROADCAST == 0x0218,
              "end-session and power messages");
static_assert(PWR_SUSPENDREQUEST == 1 && PWR_FAIL == -1, "WM_POWER request and refusal");
static_assert(PBT_APMQUERYSUSPEND == 0 && PBT_APMQUERYSTANDBY == 1 && BROADCAST_QUERY_DENY == 0x424D5144,
              "WM_POWERBROADCAST queries and refusal");
static_assert(SC_HA_INQUIRY == 0x00 && SC_GET_DEV_TYPE == 0x01 && SC_EXEC_SCSI_CMD == 0x02 &&
                  SC_ABORT_SRB == 0x03 && SC_RESET_DEV == 0x04,
              "ASPI command codes");
static_assert(SS_PENDING == 0x00 && SS_COMP == 0x01 && SS_ABORTED == 0x02 && SS_ERR == 0x04 &&
                  SS_INVALID_CMD == 0x80 && SS_INVALID_HA == 0x81 && SS_NO_DEVICE == 0x82,
              "ASPI request status");
static_assert(SS_INVALID_SRB == 0xE0 && SS_BUFFER_ALIGN == 0xE1 && SS_ILLEGAL_MODE == 0xE2 && SS_NO_ASPI == 0xE3 &&
                  SS_FAILED_INIT == 0xE4 && SS_ASPI_IS_BUSY == 0xE5 && SS_BUFFER_TO_BIG == 0xE6 &&
                  SS_MISMATCHED_COMPONENTS == 0xE7 && SS_NO_ADAPTERS == 0xE8 && SS_INSUFFICIENT_RESOURCES == 0xE9,
              "ASPI manager status");
static_assert(HASTAT_OK == 0x00 && HASTAT_SEL_TO == 0x11 && HASTAT_DO_DU == 0x12 && HASTAT_BUS_FREE == 0x13 &&
                  HASTAT_PHASE_ERR == 0x14,
              "ASPI host adapter status");
static_assert(STATUS_GOOD == 0x00 && STATUS_CHKCOND == 0x02 && STATUS_BUSY == 0x08 && STATUS_RESCONF == 0x18,
              "SCSI target status");
static_assert(SRB_POSTING == 0x01 && SRB_DIR_IN == 0x08 && SRB_DIR_OUT == 0x10 && SRB_EVENT_NOTIFY == 0x40,
              "ASPI request flags");
static_assert(SENSE_LEN == 14, "ASPI sense length");

// Layouts handed to the system or to the manager as bytes.
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18, "dialog templates are WORD-packed");
static_assert(sizeof(IO_SCSI_CAPABILITIES) == 24, "capabilities");
static_assert(offsetof(IO_SCSI_CAPABILITIES, MaximumTransferLength) == 4, "capabilities: maximum transfer");
static_assert(sizeof(SRB_HAInquiry) == 60 && offsetof(SRB_HAInquiry, HA_SCSI_ID) == 9, "host adapter inquiry");
static_assert(sizeof(SRB_GDEVBlock) == 12, "device type request");
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44, "pass-through request");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 24 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28,
              "pass-through request fields");
static_assert(sizeof(SRB_ExecSCSICmd) == 80, "execute request");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12 && offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16 &&
                  offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 20 && offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 22 &&
                  offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24 && offsetof(SRB_ExecSCSICmd, CDBByte) == 48 &&
                  offsetof(SRB_ExecSCSICmd, SenseArea) == 64,
              "execute request fields");
static_assert(sizeof(SRB_Abort) == 12, "abort request");
#endif

namespace {

// Function pointers from GetProcAddress go through the generic function
// type so that the compiler accepts the cast without a warning.
template <typename T>
T ProcAs(FARPROC proc) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(proc));
}

WNDPROC g_oldProc;
bool g_ending;

LRESULT CALLBACK GuardedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!g_ending) {
        switch (msg) {
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
    switch (msg) {
        case WM_SETCURSOR:
            SetCursor(LoadCursorA(nullptr, IDC_WAIT));
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT rc;
            GetClientRect(hwnd, &rc);
            DrawIcon(dc, (rc.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
                     (rc.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, LoadIconA(nullptr, IDI_APPLICATION));
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) return 0;
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldProc));
            break;
    }
    return CallWindowProcA(g_oldProc, hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dlg, GWLP_USERDATA, lParam);
            g_oldProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(dlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GuardedProc)));
            SetWindowLongA(dlg, GWL_EXSTYLE, GetWindowLongA(dlg, GWL_EXSTYLE) | WS_EX_APPWINDOW);

            HFONT font = CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     FIXED_PITCH | FF_MODERN, "FixedSys");
            if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
            SendMessageA(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);

            SendDlgItemMessageA(dlg, 1012, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendDlgItemMessageA(dlg, 1012, PBM_SETRANGE32, 0, 100);
            SendDlgItemMessageA(dlg, 1012, PBM_SETSTEP, 2, 0);
            SendDlgItemMessageA(dlg, 1012, PBM_STEPIT, 0, 0);
            SendDlgItemMessageA(dlg, 1012, PBM_SETPOS, 2, 0);

            HWND list = GetDlgItem(dlg, 1000);
            SendMessageA(list, CB_RESETCONTENT, 0, 0);
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("D:   VALTORA DVD-ROM ZQ-X9046"));
            SendMessageA(list, CB_SETCURSEL, 0, 0);
            LRESULT selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
            char text[64];
            SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text));
            SendDlgItemMessageA(dlg, 1004, EM_LIMITTEXT, 4, 0);
            SendDlgItemMessageA(dlg, 1004, EM_SETREADONLY, TRUE, 0);
            SendDlgItemMessageA(dlg, IDOK, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
            if (SendDlgItemMessageA(dlg, IDOK, BM_GETCHECK, 0, 0) == BST_CHECKED) CheckDlgButton(dlg, IDOK, BST_UNCHECKED);
            if (IsDlgButtonChecked(dlg, IDCANCEL)) SendMessageA(dlg, DM_SETDEFID, IDCANCEL, 0);

            SetDlgItemTextA(dlg, 115, "Scan Complete.");
            GetDlgItemTextA(dlg, 115, text, sizeof text);
            EnableWindow(GetDlgItem(dlg, 1006), FALSE);
            if (IsWindowEnabled(GetDlgItem(dlg, 1007)))
                SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, 1007)), TRUE);
            SetFocus(GetNextDlgTabItem(dlg, GetFocus(), FALSE));

            HMENU sys = GetSystemMenu(dlg, FALSE);
            if (sys) {
                AppendMenuA(sys, MF_SEPARATOR, 0, nullptr);
                AppendMenuA(sys, MF_STRING, 0x0010, "&About...");
                EnableMenuItem(sys, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
                DeleteMenu(sys, SC_MAXIMIZE, MF_BYCOMMAND);
            }
            HMENU bar = CreateMenu();
            HMENU popup = CreatePopupMenu();
            AppendMenuA(popup, MF_STRING, 32772, "About");
            InsertMenuA(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "&Help");
            ModifyMenuA(bar, 32772, MF_BYCOMMAND | MF_STRING, 32772, "About");
            SetMenu(dlg, bar);
            DrawMenuBar(dlg);

            SendMessageA(dlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconA(nullptr, IDI_APPLICATION)));
            SetWindowTextA(dlg, "Firmware Update Utility");
            if (GetWindowTextLengthA(dlg) > 0) GetWindowTextA(dlg, text, sizeof text);

            RECT rc = {0, 0, 310, 106};
            MapDialogRect(dlg, &rc);
            RECT screen;
            GetWindowRect(GetDesktopWindow(), &screen);
            MoveWindow(dlg, (screen.right - rc.right) / 2, (screen.bottom - rc.bottom) / 2, rc.right, rc.bottom, TRUE);
            SetWindowPos(dlg, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
            SetForegroundWindow(dlg);
            return TRUE;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) {
                g_ending = true;
                EndDialog(dlg, IDOK);
                return TRUE;
            }
            if (HIWORD(wParam) == CBN_SELCHANGE && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == 1000)
                InvalidateRect(dlg, nullptr, TRUE);
            return FALSE;
        case WM_TIMER:
            if (wParam == 107) {
                KillTimer(dlg, 107);
                PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        case WM_CLOSE:
            return TRUE;
        case WM_DESTROY:
            DeleteObject(reinterpret_cast<HGDIOBJ>(SendMessageA(dlg, WM_GETFONT, 0, 0)));
            return FALSE;
    }
    return FALSE;
}

// A template the way the framework lays one out in memory: header, then
// WORD-aligned menu, class, title, font; each item DWORD-aligned.
struct Template {
    alignas(4) WORD words[128];
};

LPCDLGTEMPLATEA BuildTemplate(Template& t) {
    std::memset(&t, 0, sizeof t);
    DLGTEMPLATE* header = reinterpret_cast<DLGTEMPLATE*>(t.words);
    header->style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_CENTER | DS_CENTERMOUSE | DS_3DLOOK;
    header->dwExtendedStyle = WS_EX_APPWINDOW;
    header->cdit = 1;
    header->cx = 310;
    header->cy = 106;
    WORD* p = t.words + sizeof(DLGTEMPLATE) / sizeof(WORD);
    *p++ = 0;  // menu
    *p++ = 0;  // class
    *p++ = 0;  // title
    *p++ = 14;  // point size
    for (const char* face = "FixedSys";; ++face) {
        *p++ = static_cast<WORD>(*face);
        if (!*face) break;
    }
    while (reinterpret_cast<ULONG_PTR>(p) % 4) ++p;
    DLGITEMTEMPLATE* item = reinterpret_cast<DLGITEMTEMPLATE*>(p);
    item->style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
    item->x = 268;
    item->y = 67;
    item->cx = 36;
    item->cy = 17;
    item->id = IDOK;
    p += sizeof(DLGITEMTEMPLATE) / sizeof(WORD);
    *p++ = 0xFFFF;
    *p++ = 0x0080;  // button
    *p++ = 0;  // title
    *p++ = 0;  // creation data
    return header;
}

}  // namespace

INT_PTR DeclCheckDialogs(HINSTANCE instance) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    if (!InitCommonControlsEx(&icc)) InitCommonControls();

    Template t;
    LPCDLGTEMPLATEA tmpl = BuildTemplate(t);
    HWND modeless = CreateDialogIndirectParamA(instance, tmpl, nullptr, &DialogProc, 0);
    if (modeless) {
        ShowWindow(modeless, SW_SHOW);
        UpdateWindow(modeless);
        SetTimer(modeless, 107, 3000, nullptr);
        MSG msg;
        while (IsWindow(modeless) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (!IsDialogMessageA(modeless, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        DestroyWindow(modeless);
    }
    return DialogBoxIndirectParamA(instance, tmpl, nullptr, &DialogProc, 0);
}

HWND DeclCheckWindows(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "WinqorCheck";
    RegisterClassA(&wc);
    HWND top = CreateWindowExA(0, "WinqorCheck", "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                               nullptr, nullptr, instance, nullptr);
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH, 0, 0, 50, 10,
                               top, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(1012)), instance, nullptr);
    char name[32];
    if (GetClassNameA(bar, name, sizeof name) && GetParent(bar) == top && IsWindowVisible(bar))
        SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
    if (FindWindowA("WinqorCheck", nullptr) == GetActiveWindow()) PostQuitMessage(0);
    char line[1024];
    wsprintfA(line, "%c:   %16.28s", 'D', "VALTORA DVD-ROM ZQ-X9046");
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    return top;
}

DWORD DeclCheckPassThrough(char letter) {
    char device[] = "\\\\.\\?:";
    device[4] = letter;
    HANDLE h = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD returned = 0;
    IO_SCSI_CAPABILITIES caps = {};
    DWORD maxTransfer = DeviceIoControl(h, IOCTL_SCSI_GET_CAPABILITIES, nullptr, 0, &caps, sizeof caps, &returned,
                                        nullptr)
                            ? caps.MaximumTransferLength
                            : 0x10000;
    struct {
        SCSI_PASS_THROUGH_DIRECT sptd;
        ULONG filler;
        UCHAR sense[32];
    } request = {};
    UCHAR data[44];
    request.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    request.sptd.TargetId = 1;
    request.sptd.CdbLength = 6;
    request.sptd.SenseInfoLength = 24;
    request.sptd.DataIn = SCSI_IOCTL_DATA_IN;
    request.sptd.DataTransferLength = sizeof data;
    request.sptd.TimeOutValue = 200;
    request.sptd.DataBuffer = data;
    request.sptd.SenseInfoOffset = offsetof(decltype(request), sense);
    request.sptd.Cdb[0] = 0x12;
    request.sptd.Cdb[4] = sizeof data;
    BOOL ok = DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request, sizeof request,
                              &returned, nullptr);
    CloseHandle(h);
    return ok && request.sptd.ScsiStatus == 0 ? maxTransfer : 0;
}

DWORD DeclCheckAspi() {
    HMODULE manager = LoadLibraryA("wnaspi32.dll");
    if (!manager) return SS_NO_ASPI;
    auto supportInfo = ProcAs<PFNGETASPI32SUPPORTINFO>(GetProcAddress(manager, "GetASPI32SupportInfo"));
    auto send = ProcAs<PFNSENDASPI32COMMAND>(GetProcAddress(manager, "SendASPI32Command"));
    DWORD status = SS_FAILED_INIT;
    if (supportInfo && send && HIBYTE(LOWORD(supportInfo())) == SS_COMP) {
        SRB_HAInquiry inquiry = {};
        inquiry.SRB_Cmd = SC_HA_INQUIRY;
        send(&inquiry);

        HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        HGLOBAL block = GlobalAlloc(GHND, sizeof(SRB_ExecSCSICmd));
        auto* srb = static_cast<SRB_ExecSCSICmd*>(GlobalLock(block));
        BYTE data[44];
        srb->SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb->SRB_HaId = 0;
        srb->SRB_Flags = SRB_EVENT_NOTIFY | SRB_DIR_IN;
        srb->SRB_Target = inquiry.HA_SCSI_ID == 0 ? 1 : 0;
        srb->SRB_BufPointer = data;
        srb->SRB_BufLen = sizeof data;
        srb->SRB_SenseLen = SENSE_LEN;
        srb->SRB_CDBLen = 6;
        srb->SRB_PostProc = done;
        srb->CDBByte[0] = 0x12;
        srb->CDBByte[4] = sizeof data;
        if (send(srb) == SS_PENDING) WaitForSingleObject(done, 10000);
        if (srb->SRB_Status == SS_PENDING) {
            SRB_Abort abort = {};
            abort.SRB_Cmd = SC_ABORT_SRB;
            abort.SRB_ToAbort = srb;
            send(&abort);
        }
        status = srb->SRB_Status == SS_ERR && srb->SRB_TargStat == STATUS_CHKCOND ? srb->SenseArea[2] & 0x0F
                                                                                  : srb->SRB_Status;
        GlobalUnlock(block);
        GlobalFree(block);
        CloseHandle(done);
    }
    FreeLibrary(manager);
    return status;
}

BOOL DeclCheckSystem() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    SYSTEM_POWER_STATUS power;
    if (!GetVersionExA(&version) || !GetSystemPowerStatus(&power) || power.ACLineStatus == AC_LINE_OFFLINE)
        return FALSE;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, version.dwMajorVersion >= 5 ? "Global\\WINQOR" : "WINQOR");
    BOOL active = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);

    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\VALTORA_ODD_WINQOR", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD type = 0, value = 0, size = sizeof value;
        RegQueryValueExA(key, "Changed", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
        RegCloseKey(key);
    }

    char cwd[MAX_PATH];
    if (_getmbcp() == 932 && _getcwd(cwd, sizeof cwd)) MessageBeep(0xFFFFFFFF);
    char text[80];
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   text, sizeof text, nullptr);
    MessageBoxA(nullptr, text, "Firmware Update Utility", MB_OK);

    HANDLE token;
    TOKEN_PRIVILEGES privileges = {};
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) &&
        LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        CloseHandle(token);
    }
    if (mutex) ReleaseMutex(mutex);
    return ExitWindowsEx(EWX_REBOOT, 0);
}

#ifdef _WIN32
int main() {
    return 0;
}
#endif
