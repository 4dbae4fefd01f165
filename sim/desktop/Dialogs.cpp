#include "Dialogs.h"

#include <algorithm>
#include <cstring>

#include "../core/Process.h"
#include "../core/Text.h"
#include "Drawing.h"

namespace sim::desktop {

namespace {

int Scale(int units, int base, int per) { return (units * base + per / 2) / per; }

struct BoxButton {
    int id;
    const char* english;
    const char* japanese;  // UTF-8, converted to the code page
};

const BoxButton kOk{IDOK, "OK", "OK"};
const BoxButton kCancel{IDCANCEL, "Cancel", "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB"};
const BoxButton kAbort{IDABORT, "&Abort", "\xE4\xB8\xAD\xE6\xAD\xA2(&A)"};
const BoxButton kRetry{IDRETRY, "&Retry", "\xE5\x86\x8D\xE8\xA9\xA6\xE8\xA1\x8C(&R)"};
const BoxButton kIgnore{IDIGNORE, "&Ignore", "\xE7\x84\xA1\xE8\xA6\x96(&I)"};
const BoxButton kYes{IDYES, "&Yes", "\xE3\x81\xAF\xE3\x81\x84(&Y)"};
const BoxButton kNo{IDNO, "&No", "\xE3\x81\x84\xE3\x81\x84\xE3\x81\x88(&N)"};

std::vector<BoxButton> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: return {kOk, kCancel};
        case MB_ABORTRETRYIGNORE: return {kAbort, kRetry, kIgnore};
        case MB_YESNOCANCEL: return {kYes, kNo, kCancel};
        case MB_YESNO: return {kYes, kNo};
        case MB_RETRYCANCEL: return {kRetry, kCancel};
        default: return {kOk};
    }
}

bool HasButton(UINT type, int id) {
    for (auto& b : ButtonsOf(type))
        if (b.id == id) return true;
    return false;
}

INT_PTR CALLBACK MessageBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    Desktop& d = Desktop::Get();
    Window* w = d.Find(hwnd);
    if (!w || !w->dialog) return FALSE;
    const UINT type = w->dialog->boxType;
    switch (msg) {
        case WM_INITDIALOG: {
            int id = DefaultId(hwnd);
            if (HWND b = GetDlgItem(hwnd, id)) d.SetFocus(b);
            return FALSE;
        }
        case WM_COMMAND: {
            int id = LOWORD(wParam);
            // Escape and the close box give Cancel where there is one, OK
            // in a box that has nothing but OK, and nothing otherwise.
            if (id == IDCANCEL && !HasButton(type, IDCANCEL)) {
                if ((type & MB_TYPEMASK) == MB_OK) EndDialog(hwnd, IDOK);
                return TRUE;
            }
            if (HasButton(type, id)) EndDialog(hwnd, id);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

DLGPROC DialogProcOf(const Window& w) {
    DLGPROC p = nullptr;
    if (w.extra.size() >= DWLP_DLGPROC + sizeof p) std::memcpy(&p, w.extra.data() + DWLP_DLGPROC, sizeof p);
    return p;
}

void SetDialogProc(Window& w, DLGPROC proc) {
    if (w.extra.size() >= DWLP_DLGPROC + sizeof proc) std::memcpy(w.extra.data() + DWLP_DLGPROC, &proc, sizeof proc);
}

LONG_PTR MessageResultOf(const Window& w) {
    LONG_PTR v = 0;
    if (w.extra.size() >= DWLP_MSGRESULT + sizeof v) std::memcpy(&v, w.extra.data() + DWLP_MSGRESULT, sizeof v);
    return v;
}

void SetMessageResult(Window& w, LONG_PTR value) {
    if (w.extra.size() >= DWLP_MSGRESULT + sizeof value)
        std::memcpy(w.extra.data() + DWLP_MSGRESULT, &value, sizeof value);
}

HWND NextTabItem(HWND dialog, HWND control, bool previous) {
    Desktop& d = Desktop::Get();
    Window* w = d.Find(dialog);
    if (!w) return nullptr;
    std::vector<HWND> stops;
    for (HWND c : w->children) {
        Window* cw = d.Find(c);
        if (cw && (cw->style & WS_TABSTOP) && (cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED)) stops.push_back(c);
    }
    if (stops.empty()) return nullptr;
    if (previous) std::reverse(stops.begin(), stops.end());
    // The control itself may not be a tab stop: go from its place in the order.
    auto& all = w->children;
    auto at = std::find(all.begin(), all.end(), control);
    if (!control || at == all.end()) return stops.front();
    const size_t n = all.size();
    size_t index = static_cast<size_t>(at - all.begin());
    for (size_t k = 1; k <= n; ++k) {
        size_t i = previous ? (index + n - k) % n : (index + k) % n;
        if (std::find(stops.begin(), stops.end(), all[i]) != stops.end()) return all[i];
    }
    return nullptr;
}

void FocusControl(HWND control) {
    Desktop& d = Desktop::Get();
    d.SetFocus(control);
    if (d.Find(control) && (d.Send(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
        d.Send(control, EM_SETSEL, 0, -1);
}

int DefaultId(HWND dialog) {
    LRESULT r = Desktop::Get().Send(dialog, DM_GETDEFID, 0, 0);
    return HIWORD(r) == DC_HASDEFID ? LOWORD(r) : 0;
}

const char* AnswerName(int id) {
    switch (id) {
        case IDOK: return "OK";
        case IDCANCEL: return "Cancel";
        case IDABORT: return "Abort";
        case IDRETRY: return "Retry";
        case IDIGNORE: return "Ignore";
        case IDYES: return "Yes";
        case IDNO: return "No";
        default: return "nothing";
    }
}

HWND CreateDialogFromSpec(const DialogSpec& desc, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param,
                          const DialogOptions& options, std::string& error) {
    Desktop& d = Desktop::Get();
    if (desc.menu.present) {
        // Resources live in the program's module; the host build has none.
        error = "the template names menu resource " +
                (desc.menu.isId ? std::to_string(desc.menu.id) : "\"" + d.Utf8(desc.menu.name) + "\"") +
                ", and the program's module holds no resources";
        Proc().SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::shared_ptr<WindowClass> cls;
    if (!desc.cls.present)
        cls = d.FindClass("#32770", instance);
    else if (desc.cls.isId)
        cls = d.FindClass(MAKEINTRESOURCEA(desc.cls.id), instance);
    else
        cls = d.FindClass(desc.cls.name.c_str(), instance);
    if (!cls) {
        error = "the template names a window class that is not registered";
        Proc().SetLastError(1407);
        return nullptr;
    }
    if (cls->wndExtra < DLGWINDOWEXTRA) {
        error = "the dialog class \"" + cls->name + "\" has fewer than DLGWINDOWEXTRA window bytes";
        Proc().SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int baseX, baseY;
    BaseUnitsFor(desc.hasFont ? desc.pointSize : 0, baseX, baseY);
    HFONT font = nullptr;
    if (desc.hasFont) {
        GdiObject f;
        f.type = GdiObject::kFont;
        f.face = desc.face;
        f.pointSize = desc.pointSize;
        f.height = -((desc.pointSize * 96 + 36) / 72);
        f.weight = FW_NORMAL;
        font = static_cast<HFONT>(d.NewGdi(f));
    }
    DWORD style = desc.style & ~WS_VISIBLE;
    DWORD exStyle = desc.exStyle;
    if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
    const bool child = (style & WS_CHILD) != 0;
    Window probe;
    probe.style = style | ((!child && !(style & WS_POPUP)) ? WS_CAPTION : 0u);
    probe.exStyle = exStyle;
    int side, top, bottom;
    FrameOf(probe, side, top, bottom);
    const int width = Scale(desc.cx, baseX, 4) + 2 * side;
    const int height = Scale(desc.cy, baseY, 8) + top + bottom;
    int x = Scale(desc.x, baseX, 4), y = Scale(desc.y, baseY, 8);
    if (!child) {
        if (style & (DS_CENTER | DS_CENTERMOUSE)) {
            x = (kScreenWidth - width) / 2;
            y = (kScreenHeight - height) / 2;
        } else if (!(style & DS_ABSALIGN) && owner) {
            POINT o = d.ClientOrigin(owner);
            x += o.x;
            y += o.y;
        }
        // The dialog manager keeps a dialog on the screen.
        x = std::clamp(x, 0, std::max(0, kScreenWidth - width));
        y = std::clamp(y, 0, std::max(0, kScreenHeight - height));
    }
    HWND dlg = d.Create(exStyle, cls->name.c_str(), desc.title.c_str(), style, x, y, width, height, owner, nullptr,
                        instance, reinterpret_cast<LPVOID>(param));
    if (!dlg) {
        if (font) d.Gdi().erase(reinterpret_cast<uintptr_t>(font));
        error = "the dialog window could not be created";
        return nullptr;
    }
    Window* w = d.Find(dlg);
    if (!w->dialog) w->dialog = std::make_shared<DialogInfo>();
    auto info = w->dialog;
    info->modal = options.modal;
    info->messageBox = options.messageBox;
    info->boxType = options.boxType;
    info->baseX = baseX;
    info->baseY = baseY;
    info->fontName = desc.face;
    info->pointSize = desc.hasFont ? desc.pointSize : 0;
    info->font = font;
    info->ownFont = font != nullptr;
    SetDialogProc(*w, proc);
    if (font) d.Send(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (size_t i = 0; i < desc.items.size() && d.Find(dlg); ++i) {
        const DialogItem& item = desc.items[i];
        const char* clsName = item.cls.isId ? ClassOfOrdinal(item.cls.id) : item.cls.name.c_str();
        LPCSTR title = item.title.isId ? MAKEINTRESOURCEA(item.title.id) : item.title.name.c_str();
        const WORD id = desc.extended ? static_cast<WORD>(item.id) : static_cast<WORD>(item.id);
        HWND c = d.Create(item.exStyle | WS_EX_NOPARENTNOTIFY, clsName, title, (item.style | WS_CHILD) & ~WS_POPUP,
                          Scale(item.x, baseX, 4), Scale(item.y, baseY, 8), Scale(item.cx, baseX, 4),
                          Scale(item.cy, baseY, 8), dlg, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), instance,
                          const_cast<void*>(item.creationData));
        if (!d.Find(dlg)) break;
        if (!c) {
            if (desc.style & DS_NOFAILCREATE) continue;
            error = "item " + std::to_string(i + 1) + " (class " + (clsName ? clsName : "?") + ", id " +
                    std::to_string(id) + ") could not be created";
            d.Destroy(dlg);
            return nullptr;
        }
        if (font) d.Send(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (!d.Find(dlg)) {
        error = "the dialog was destroyed while its controls were made";
        return nullptr;
    }
    HWND first = NextTabItem(dlg, nullptr, false);
    LRESULT focus = d.Send(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!d.Find(dlg)) {
        error = "the dialog was destroyed during WM_INITDIALOG";
        return nullptr;
    }
    if (focus && first && d.Find(first)) FocusControl(first);
    if ((desc.style & WS_VISIBLE) && !options.modal && !info->ended) d.Show(dlg, SW_SHOWNORMAL);
    return dlg;
}

INT_PTR RunModal(HWND dialog, HWND owner) {
    Desktop& d = Desktop::Get();
    Window* w = d.Find(dialog);
    if (!w || !w->dialog) return -1;
    auto info = w->dialog;
    if (owner && d.Find(owner) && d.IsEnabled(owner)) {
        d.Enable(owner, false);
        info->disabledOwner = owner;
    }
    if (!info->ended) d.Show(dialog, SW_SHOWNORMAL);
    while (!info->ended && d.Find(dialog)) {
        MSG msg;
        d.Fetch(&msg, nullptr, 0, 0, true, true);
        if (msg.message == WM_QUIT) {
            // The loop that asked to quit is further out.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    INT_PTR result = info->ended ? info->result : 0;
    if (info->disabledOwner) {
        if (d.Find(info->disabledOwner)) d.Enable(info->disabledOwner, true);
        info->disabledOwner = nullptr;
    }
    if (d.Find(dialog)) d.Destroy(dialog);
    return result;
}

int RunMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    Desktop& d = Desktop::Get();
    if (owner && !d.FindOrFail(owner)) return 0;
    const unsigned cp = d.CodePage();
    const bool japanese = cp == 932;
    const std::string body = text ? text : "";
    const std::string title = caption ? caption : "Error";
    auto buttons = ButtonsOf(type);

    // Laid out in dialog units: the text wraps at 70 characters, the
    // buttons are 50 by 14 in a row under it, centred.
    std::vector<std::string> lines = WrapText(ToUtf8(body, cp), 70);
    int columns = 0;
    for (auto& l : lines) columns = std::max(columns, TextWidth(l));
    const bool icon = (type & MB_ICONMASK) != 0;
    const int textX = icon ? 36 : 10;
    const int textW = std::max(columns, 1) * 4 + 2;
    const int textH = std::max(static_cast<int>(lines.size()), 1) * 8;
    const int bodyH = std::max(textH, icon ? 20 : 8);
    const int buttonsW = static_cast<int>(buttons.size()) * 50 + (static_cast<int>(buttons.size()) - 1) * 6;
    const int width = std::max({textX + textW + 10, buttonsW + 20, 120});
    const int height = 10 + bodyH + 10 + 14 + 8;
    size_t defIndex = (type >> 8) & 0x0F;
    if (defIndex >= buttons.size()) defIndex = 0;

    DialogSpec desc;
    desc.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
    desc.cx = static_cast<short>(width);
    desc.cy = static_cast<short>(height);
    desc.title = title;
    desc.hasFont = true;
    desc.pointSize = japanese ? 9 : 8;
    desc.face = japanese ? FromUtf8("\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", cp)
                         : "MS Sans Serif";
    if (icon) {
        DialogItem i;
        i.style = WS_VISIBLE | SS_ICON;
        i.x = 10;
        i.y = 10;
        i.cx = 21;
        i.cy = 20;
        i.id = 0xFFFF;
        i.cls = {true, true, 0x0082, ""};
        i.title = {true, true, static_cast<WORD>(32512 + ((type & MB_ICONMASK) >> 4)), ""};
        desc.items.push_back(i);
    }
    DialogItem t;
    t.style = WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX;
    t.x = static_cast<short>(textX);
    t.y = static_cast<short>(10 + (bodyH - textH) / 2);
    t.cx = static_cast<short>(textW);
    t.cy = static_cast<short>(textH);
    t.id = 0xFFFF;
    t.cls = {true, true, 0x0082, ""};
    t.title = {true, false, 0, body};
    desc.items.push_back(t);
    int bx = (width - buttonsW) / 2;
    for (size_t i = 0; i < buttons.size(); ++i) {
        DialogItem b;
        b.style = WS_VISIBLE | WS_TABSTOP | (i == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (i == 0 ? WS_GROUP : 0u);
        b.x = static_cast<short>(bx + static_cast<int>(i) * 56);
        b.y = static_cast<short>(10 + bodyH + 10);
        b.cx = 50;
        b.cy = 14;
        b.id = static_cast<DWORD>(buttons[i].id);
        b.cls = {true, true, 0x0080, ""};
        b.title = {true, false, 0, japanese ? FromUtf8(buttons[i].japanese, cp) : std::string(buttons[i].english)};
        desc.items.push_back(b);
    }

    // A task-modal box without an owner holds up every window of the thread.
    std::vector<HWND> disabled;
    if (!owner && (type & MB_TASKMODAL)) {
        for (HWND h : d.TopLevels(d.CurrentThread()))
            if (d.IsEnabled(h)) {
                d.Enable(h, false);
                disabled.push_back(h);
            }
    }
    DialogOptions options;
    options.modal = true;
    options.messageBox = true;
    options.boxType = type;
    std::string error;
    HWND box = CreateDialogFromSpec(desc, nullptr, owner, MessageBoxProc, 0, options, error);
    int result = 0;
    if (box) {
        // Without Cancel the close box only works for a box with just OK.
        if (!HasButton(type, IDCANCEL) && (type & MB_TYPEMASK) != MB_OK)
            EnableMenuItem(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        result = static_cast<int>(RunModal(box, owner ? d.TopLevel(owner) : nullptr));
    } else {
        Proc().Log("message box \"" + ToUtf8(title, cp) + "\" could not be shown: " + error);
    }
    for (HWND h : disabled)
        if (d.Find(h)) d.Enable(h, true);
    if (box) {
        std::string escaped;
        for (char c : ToUtf8(body, cp)) escaped += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
        Proc().Log("message box \"" + ToUtf8(title, cp) + "\": \"" + escaped + "\" -> " + AnswerName(result));
    }
    return result;
}

}  // namespace sim::desktop
