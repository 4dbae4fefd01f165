// USER32 dialogs: templates in memory, modal and modeless dialogs, the
// dialog procedure's defaults and the dialog keyboard interface.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../core/Process.h"
#include "../desktop/Dialogs.h"
#include "win32.h"

using sim::Proc;
using sim::desktop::Desktop;
using sim::desktop::Window;

namespace {

Desktop& D() { return Desktop::Get(); }

// Messages whose answer is what the dialog procedure returns, not
// DWLP_MSGRESULT.
bool AnswersDirectly(UINT msg) {
    switch (msg) {
        case WM_INITDIALOG:
        case WM_QUERYDRAGICON:
        case 0x0039:  // WM_COMPAREITEM
        case 0x002E:  // WM_VKEYTOITEM
        case 0x002F:  // WM_CHARTOITEM
        case 0x030F:  // WM_QUERYNEWPALETTE
            return true;
        default:
            return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC;
    }
}

HWND ParseAndCreate(HINSTANCE instance, LPCDLGTEMPLATEA tmpl, HWND owner, DLGPROC proc, LPARAM param, bool modal) {
    Desktop& d = D();
    if (owner && !d.FindOrFail(owner)) return nullptr;
    sim::desktop::DialogSpec desc;
    try {
        desc = sim::desktop::ParseTemplate(tmpl, d.CodePage());
    } catch (const sim::desktop::TemplateError& e) {
        Proc().Log(std::string("dialog refused: ") + e.what());
        Proc().SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    sim::desktop::DialogOptions options;
    options.modal = modal;
    std::string error;
    // A dialog belongs to the top-level window of the owner it is given.
    HWND top = owner && !(desc.style & WS_CHILD) ? d.TopLevel(owner) : owner;
    HWND dlg = sim::desktop::CreateDialogFromSpec(desc, instance, top, proc, param, options, error);
    if (!dlg) Proc().Log("dialog \"" + d.Utf8(desc.title) + "\" refused: " + error);
    return dlg;
}

bool InDialog(HWND dlg, HWND hwnd) { return hwnd == dlg || D().IsDescendant(dlg, hwnd); }

}  // namespace

extern "C" {

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA tmpl, HWND owner, DLGPROC proc,
                                       LPARAM param) {
    HWND dlg = ParseAndCreate(instance, tmpl, owner, proc, param, true);
    if (!dlg) return -1;
    Window* w = D().Find(dlg);
    return sim::desktop::RunModal(dlg, w ? w->owner : nullptr);
}

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA tmpl, HWND owner, DLGPROC proc,
                                       LPARAM param) {
    return ParseAndCreate(instance, tmpl, owner, proc, param, false);
}

BOOL WINAPI EndDialog(HWND hwnd, INT_PTR result) {
    Desktop& d = D();
    Window* w = d.FindOrFail(hwnd);
    if (!w || !w->dialog) return FALSE;
    auto info = w->dialog;
    info->ended = true;
    info->result = result;
    // The owner comes back first, so it is the one activated next.
    if (info->disabledOwner) {
        HWND owner = info->disabledOwner;
        info->disabledOwner = nullptr;
        if (d.Find(owner)) d.Enable(owner, true);
    }
    if (d.Find(hwnd)) d.Show(hwnd, SW_HIDE);
    return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Desktop& d = D();
    Window* w = d.Find(hwnd);
    if (!w) return 0;
    if (!w->dialog) w->dialog = std::make_shared<sim::desktop::DialogInfo>();
    if (DLGPROC proc = sim::desktop::DialogProcOf(*w)) {
        sim::desktop::SetMessageResult(*w, 0);
        INT_PTR handled = proc(hwnd, msg, wParam, lParam);
        w = d.Find(hwnd);
        if (!w) return handled;
        if (handled) return AnswersDirectly(msg) ? handled : sim::desktop::MessageResultOf(*w);
    }
    auto info = w->dialog;
    switch (msg) {
        case WM_CLOSE: {
            // As a click on Cancel, unless that button is disabled.
            HWND cancel = GetDlgItem(hwnd, IDCANCEL);
            if (cancel && !d.IsEnabled(cancel)) {
                MessageBeep(0);
                return 0;
            }
            d.Post(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case DM_GETDEFID: {
            if (info->defId) return MAKELRESULT(info->defId, DC_HASDEFID);
            for (HWND c : w->children) {
                Window* cw = d.Find(c);
                if (cw && cw->kind() == sim::desktop::Kind::Button && (cw->style & 0x0F) == BS_DEFPUSHBUTTON)
                    return MAKELRESULT(static_cast<WORD>(cw->id), DC_HASDEFID);
            }
            return 0;
        }
        case DM_SETDEFID: {
            int old = sim::desktop::DefaultId(hwnd);
            if (HWND b = GetDlgItem(hwnd, old))
                if (d.Send(b, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) d.Send(b, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
            if (HWND b = GetDlgItem(hwnd, static_cast<int>(wParam)))
                if (d.Send(b, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON) d.Send(b, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
            if ((w = d.Find(hwnd)) != nullptr) w->dialog->defId = static_cast<int>(wParam);
            return TRUE;
        }
        case DM_REPOSITION:
            return 0;
        case WM_NEXTDLGCTL: {
            HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                         : sim::desktop::NextTabItem(hwnd, GetFocus(), wParam != 0);
            if (target && InDialog(hwnd, target)) sim::desktop::FocusControl(target);
            return 0;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (d.IsDescendant(hwnd, focus)) info->savedFocus = focus;
                return 0;
            }
            [[fallthrough]];
        case WM_SETFOCUS: {
            HWND f = info->savedFocus && d.IsDescendant(hwnd, info->savedFocus) ? info->savedFocus
                                                                                 : sim::desktop::NextTabItem(hwnd, nullptr, false);
            HWND now = GetFocus();
            if (f && now != f && !d.IsDescendant(hwnd, now)) d.SetFocus(f);
            return 0;
        }
        case WM_SETFONT:
            info->font = reinterpret_cast<HFONT>(wParam);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(info->font);
        case WM_NCDESTROY:
            if (info->ownFont && info->font) d.Gdi().erase(reinterpret_cast<uintptr_t>(info->font));
            info->font = nullptr;
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

BOOL WINAPI IsDialogMessageA(HWND dlg, LPMSG msg) {
    Desktop& d = D();
    if (!msg || !d.Find(dlg) || !msg->hwnd || !InDialog(dlg, msg->hwnd)) return FALSE;
    if (msg->message == WM_KEYDOWN) {
        HWND focus = GetFocus();
        if (!InDialog(dlg, focus)) focus = nullptr;
        LRESULT code = focus ? d.Send(focus, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) : 0;
        if (!d.Find(dlg)) return TRUE;
        if (!(code & DLGC_WANTALLKEYS)) {
            switch (msg->wParam) {
                case VK_TAB:
                    if (code & DLGC_WANTTAB) break;
                    d.Send(dlg, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0, 0);
                    return TRUE;
                case VK_RETURN: {
                    // A push button with the focus is the one Enter presses.
                    int id = (focus && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
                                 ? static_cast<int>(d.Find(focus)->id)
                                 : sim::desktop::DefaultId(dlg);
                    if (!id) id = IDOK;
                    HWND button = GetDlgItem(dlg, id);
                    if (button && !d.IsEnabled(button)) {
                        MessageBeep(0);
                        return TRUE;
                    }
                    d.Send(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
                    return TRUE;
                }
                case VK_ESCAPE: {
                    HWND cancel = GetDlgItem(dlg, IDCANCEL);
                    if (cancel && !d.IsEnabled(cancel)) {
                        MessageBeep(0);
                        return TRUE;
                    }
                    d.Send(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
                    return TRUE;
                }
                default:
                    break;
            }
        }
    }
    if (msg->message == WM_CHAR && (msg->wParam == '\r' || msg->wParam == 0x1B || msg->wParam == '\t')) {
        HWND focus = GetFocus();
        LRESULT code = InDialog(dlg, focus) ? d.Send(focus, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) : 0;
        if (!(code & DLGC_WANTALLKEYS)) return TRUE;
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dlg, int id) {
    Desktop& d = D();
    Window* w = d.FindOrFail(dlg);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        Window* cw = d.Find(c);
        if (cw && static_cast<int>(cw->id) == id) return c;
    }
    // Ids of plain templates are words: -1 is 0xFFFF.
    if (id < 0)
        for (HWND c : w->children)
            if (Window* cw = d.Find(c); cw && cw->id == (id & 0xFFFF)) return c;
    Proc().SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
    Window* w = D().FindOrFail(hwnd);
    if (!w || !(w->style & WS_CHILD)) return 0;
    return static_cast<int>(w->id);
}

BOOL WINAPI SetDlgItemTextA(HWND dlg, int id, LPCSTR text) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SetWindowTextA(c, text) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dlg, int id, LPSTR buffer, int max) {
    HWND c = GetDlgItem(dlg, id);
    if (!c) {
        if (buffer && max > 0) buffer[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(c, buffer, max));
}

BOOL WINAPI SetDlgItemInt(HWND dlg, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    else
        std::snprintf(text, sizeof text, "%u", value);
    return SetDlgItemTextA(dlg, id, text);
}

UINT WINAPI GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL isSigned) {
    char text[64];
    if (translated) *translated = FALSE;
    if (!GetDlgItemTextA(dlg, id, text, sizeof text)) return 0;
    char* p = text;
    while (*p == ' ') ++p;
    bool negative = isSigned && *p == '-';
    if (negative || *p == '+') ++p;
    if (*p < '0' || *p > '9') return 0;
    unsigned long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + static_cast<unsigned>(*p - '0');
        if (v > (isSigned ? 0x80000000ull : 0xFFFFFFFFull)) return 0;
    }
    while (*p == ' ') ++p;
    if (*p) return 0;
    if (isSigned && !negative && v > 0x7FFFFFFFull) return 0;
    if (translated) *translated = TRUE;
    return negative ? static_cast<UINT>(-static_cast<long long>(v)) : static_cast<UINT>(v);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND c = GetDlgItem(dlg, id);
    return c ? D().Send(c, msg, wParam, lParam) : 0;
}

BOOL WINAPI CheckDlgButton(HWND dlg, int id, UINT check) {
    HWND c = GetDlgItem(dlg, id);
    if (!c) return FALSE;
    D().Send(c, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dlg, int id) {
    HWND c = GetDlgItem(dlg, id);
    return c ? static_cast<UINT>(D().Send(c, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI MapDialogRect(HWND dlg, LPRECT rect) {
    Window* w = D().FindOrFail(dlg);
    if (!w || !w->dialog || !rect) return FALSE;
    const int bx = w->dialog->baseX, by = w->dialog->baseY;
    rect->left = (rect->left * bx + 2) / 4;
    rect->right = (rect->right * bx + 2) / 4;
    rect->top = (rect->top * by + 4) / 8;
    rect->bottom = (rect->bottom * by + 4) / 8;
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) {
    int bx, by;
    sim::desktop::BaseUnitsFor(0, bx, by);
    return MAKELONG(bx, by);
}

HWND WINAPI GetNextDlgTabItem(HWND dlg, HWND control, BOOL previous) {
    if (!D().FindOrFail(dlg)) return nullptr;
    return sim::desktop::NextTabItem(dlg, control, previous != FALSE);
}

HWND WINAPI GetNextDlgGroupItem(HWND dlg, HWND control, BOOL previous) {
    Desktop& d = D();
    Window* w = d.FindOrFail(dlg);
    if (!w || w->children.empty()) return nullptr;
    auto& kids = w->children;
    size_t n = kids.size(), at = 0;
    for (size_t i = 0; i < n; ++i)
        if (kids[i] == control) at = i;
    // A group runs from a WS_GROUP control up to the next one.
    size_t start = at;
    while (start > 0 && !(d.Find(kids[start])->style & WS_GROUP)) --start;
    size_t end = at + 1;
    while (end < n && !(d.Find(kids[end])->style & WS_GROUP)) ++end;
    size_t size = end - start;
    for (size_t k = 1; k <= size; ++k) {
        size_t i = start + (previous ? (at - start + size - k) % size : (at - start + k) % size);
        Window* cw = d.Find(kids[i]);
        if ((cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED)) return kids[i];
    }
    return control;
}

}  // extern "C"
