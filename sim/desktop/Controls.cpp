// The predefined control classes: static, button, edit, drop-down combo box
// and the common controls' progress bar.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "../core/Process.h"
#include "Desktop.h"
#include "Drawing.h"

namespace sim::desktop {

namespace {

Window* Self(HWND hwnd) { return Desktop::Get().Find(hwnd); }

void Notify(HWND hwnd, int code) {
    Desktop& d = Desktop::Get();
    Window* w = d.Find(hwnd);
    if (!w || !w->parent) return;
    d.Send(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), static_cast<WORD>(code)),
           reinterpret_cast<LPARAM>(hwnd));
}

void Changed(HWND hwnd) {
    Desktop& d = Desktop::Get();
    ++d.changes;
    d.Invalidate(hwnd);
}

// Messages every control answers the same way.
bool Common(Window* w, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_SETFONT:
            w->font = reinterpret_cast<HFONT>(wParam);
            if (lParam) Desktop::Get().Invalidate(w->hwnd);
            result = 0;
            return true;
        case WM_GETFONT:
            result = reinterpret_cast<LRESULT>(w->font);
            return true;
        default:
            return false;
    }
}

// A click takes the focus; the parent hears of focus coming and going.
bool FocusMessage(HWND hwnd, UINT msg, int setCode, int killCode) {
    switch (msg) {
        case WM_LBUTTONDOWN:
            Desktop::Get().SetFocus(hwnd);
            return true;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Changed(hwnd);
            Notify(hwnd, msg == WM_SETFOCUS ? setCode : killCode);
            return true;
        default:
            return false;
    }
}

int ButtonType(const Window& w) { return static_cast<int>(w.style & 0x0F); }

void ButtonClicked(HWND hwnd) {
    Window* w = Self(hwnd);
    if (!w) return;
    switch (ButtonType(*w)) {
        case BS_AUTOCHECKBOX:
            w->button.check = w->button.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            Changed(hwnd);
            break;
        case BS_AUTO3STATE:
            w->button.check = (w->button.check + 1) % 3;
            Changed(hwnd);
            break;
        case BS_AUTORADIOBUTTON: {
            // The others of its group go out.
            Desktop& d = Desktop::Get();
            if (Window* p = d.Find(w->parent)) {
                auto& kids = p->children;
                auto me = std::find(kids.begin(), kids.end(), hwnd);
                auto first = me;
                while (first != kids.begin() && !(d.Find(*first)->style & WS_GROUP)) --first;
                for (auto it = first; it != kids.end(); ++it) {
                    Window* o = d.Find(*it);
                    if (it != first && (o->style & WS_GROUP)) break;
                    if (o != w && o->kind() == Kind::Button && ButtonType(*o) == BS_AUTORADIOBUTTON &&
                        o->button.check) {
                        o->button.check = BST_UNCHECKED;
                        Changed(*it);
                    }
                }
            }
            w->button.check = BST_CHECKED;
            Changed(hwnd);
            break;
        }
        default:
            break;
    }
    Notify(hwnd, BN_CLICKED);
}

int DefaultLimit() { return 32767; }

// Lines of a multi-line edit as it wraps them at its width.
int EditLineCount(const Window& w) {
    if (!(w.style & ES_MULTILINE)) return 1;
    Desktop& d = Desktop::Get();
    int baseX = 8;
    if (Window* p = d.Find(w.parent))
        if (p->dialog) baseX = p->dialog->baseX;
    RECT r = d.ClientRect(w);
    int width = r.right / baseX - ((w.style & WS_VSCROLL) ? 1 : 0);
    if (width < 1) width = 1;
    return static_cast<int>(std::max<size_t>(1, WrapText(d.Utf8(w.text), width).size()));
}

int VisibleLines(const Window& w) {
    Desktop& d = Desktop::Get();
    int baseY = 16;
    if (Window* p = d.Find(w.parent))
        if (p->dialog) baseY = p->dialog->baseY;
    return std::max(1, static_cast<int>(d.ClientRect(w).bottom / baseY));
}

void ScrollEdit(Window* w, int lines) {
    int count = EditLineCount(*w);
    int first = std::clamp(w->edit.firstLine + lines, 0, std::max(0, count - 1));
    if (first != w->edit.firstLine) {
        w->edit.firstLine = first;
        Changed(w->hwnd);
    }
}

void ReplaceSelection(Window* w, const std::string& text) {
    int length = static_cast<int>(w->text.size());
    int a = std::clamp(std::min(w->edit.selStart, w->edit.selEnd), 0, length);
    int b = std::clamp(std::max(w->edit.selStart, w->edit.selEnd), 0, length);
    w->text = w->text.substr(0, a) + text + w->text.substr(b);
    w->edit.selStart = w->edit.selEnd = a + static_cast<int>(text.size());
    w->edit.modified = true;
    Changed(w->hwnd);
}

LRESULT CopyText(const std::string& text, WPARAM size, LPARAM buffer) {
    char* out = reinterpret_cast<char*>(buffer);
    if (!out || size == 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

bool SameTextNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool PrefixNoCase(const std::string& item, const char* prefix) {
    size_t n = std::strlen(prefix);
    return item.size() >= n && strncasecmp(item.c_str(), prefix, n) == 0;
}

int ComboFind(const ComboState& c, WPARAM start, const char* text, bool exact) {
    if (!text) return CB_ERR;
    const int count = static_cast<int>(c.items.size());
    int from = static_cast<int>(static_cast<LONG_PTR>(start));
    if (from < -1 || from >= count) from = -1;
    for (int k = 1; k <= count; ++k) {
        int i = (from + k) % count;
        if (exact ? SameTextNoCase(c.items[i], text) : PrefixNoCase(c.items[i], text)) return i;
    }
    return CB_ERR;
}

void ComboSelectByUser(HWND hwnd, int index) {
    Window* w = Self(hwnd);
    if (!w || index < 0 || index >= static_cast<int>(w->combo.items.size())) return;
    if (w->combo.selected == index) return;
    w->combo.selected = index;
    Changed(hwnd);
    Notify(hwnd, CBN_SELCHANGE);
}

}  // namespace

// ---------------------------------------------------------------------------

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Self(hwnd);
    if (!w) return 0;
    LRESULT result = 0;
    if (Common(w, msg, wParam, lParam, result)) return result;
    const int type = ButtonType(*w);
    const bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                           type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
    switch (msg) {
        case WM_GETDLGCODE:
            if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
            if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) return DLGC_BUTTON | DLGC_RADIOBUTTON;
            if (type == BS_GROUPBOX) return DLGC_STATIC;
            return DLGC_BUTTON;
        case BM_GETCHECK:
            return checkable ? w->button.check : BST_UNCHECKED;
        case BM_SETCHECK:
            if (checkable && w->button.check != static_cast<int>(wParam)) {
                w->button.check = static_cast<int>(wParam) & 3;
                Changed(hwnd);
            }
            return 0;
        case BM_GETSTATE: {
            Desktop& d = Desktop::Get();
            int state = checkable ? w->button.check : 0;
            if (w->button.pushed) state |= BST_PUSHED;
            if (d.Queue(w->thread).focus == hwnd) state |= BST_FOCUS;
            return state;
        }
        case BM_SETSTATE:
            if (w->button.pushed != (wParam != 0)) {
                w->button.pushed = wParam != 0;
                Changed(hwnd);
            }
            return 0;
        case BM_SETSTYLE:
            w->style = (w->style & 0xFFFF0000u) | LOWORD(wParam);
            ++Desktop::Get().changes;
            if (lParam) Desktop::Get().Invalidate(hwnd);
            return 0;
        case BM_CLICK:
            if (!Desktop::Get().IsEnabled(hwnd)) return 0;
            Desktop::Get().Send(hwnd, WM_LBUTTONDOWN, 1, 0);
            Desktop::Get().Send(hwnd, WM_LBUTTONUP, 0, 0);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (type == BS_GROUPBOX) return 0;
            Desktop::Get().SetFocus(hwnd);
            if ((w = Self(hwnd)) == nullptr) return 0;
            w->button.pushed = true;
            Changed(hwnd);
            return 0;
        case WM_LBUTTONUP:
            if (w->button.pushed) {
                w->button.pushed = false;
                Changed(hwnd);
                ButtonClicked(hwnd);
            }
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE && type != BS_GROUPBOX) {
                w->button.pushed = true;
                Changed(hwnd);
            }
            return 0;
        case WM_KEYUP:
            if (wParam == VK_SPACE && w->button.pushed) {
                w->button.pushed = false;
                Changed(hwnd);
                ButtonClicked(hwnd);
            }
            return 0;
        case WM_SETFOCUS:
            Changed(hwnd);
            if (w->style & BS_NOTIFY) Notify(hwnd, BN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            if (w->button.pushed) w->button.pushed = false;
            Changed(hwnd);
            if (w->style & BS_NOTIFY) Notify(hwnd, BN_KILLFOCUS);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Self(hwnd);
    if (!w) return 0;
    LRESULT result = 0;
    if (Common(w, msg, wParam, lParam, result)) return result;
    switch (msg) {
        case WM_NCCREATE:
            // An icon static names its icon resource; the program's module
            // has none, so it shows no icon.
            if ((w->style & SS_TYPEMASK) == SS_ICON) return TRUE;
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_NCHITTEST:
            return (w->style & SS_NOTIFY) ? 1 /* HTCLIENT */ : -1 /* HTTRANSPARENT */;
        case STM_SETICON: {
            HICON old = w->staticIcon;
            w->staticIcon = reinterpret_cast<HICON>(wParam);
            Changed(hwnd);
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETICON:
            return reinterpret_cast<LRESULT>(w->staticIcon);
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Self(hwnd);
    if (!w) return 0;
    LRESULT result = 0;
    if (Common(w, msg, wParam, lParam, result)) return result;
    const bool multi = (w->style & ES_MULTILINE) != 0;
    const int length = static_cast<int>(w->text.size());
    switch (msg) {
        case WM_SETTEXT: {
            LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
            if ((w = Self(hwnd)) == nullptr) return r;
            w->edit.selStart = w->edit.selEnd = 0;
            w->edit.firstLine = 0;
            w->edit.modified = false;
            // A multi-line edit does not report text set this way.
            if (!multi) {
                Notify(hwnd, EN_UPDATE);
                Notify(hwnd, EN_CHANGE);
            }
            return r;
        }
        case WM_GETDLGCODE: {
            LRESULT code = DLGC_HASSETSEL | DLGC_WANTCHARS | DLGC_WANTARROWS;
            if (multi && (w->style & ES_WANTRETURN)) code |= DLGC_WANTALLKEYS;
            return code;
        }
        case EM_SETSEL: {
            int a = static_cast<int>(static_cast<LONG_PTR>(wParam));
            int b = static_cast<int>(lParam);
            if (a == -1) {
                w->edit.selStart = w->edit.selEnd = std::clamp(w->edit.selEnd, 0, length);
            } else {
                if (b == -1 || b > length) b = length;
                a = std::clamp(a, 0, length);
                b = std::clamp(b, 0, length);
                w->edit.selStart = std::min(a, b);
                w->edit.selEnd = std::max(a, b);
            }
            Changed(hwnd);
            return 0;
        }
        case EM_GETSEL:
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(w->edit.selStart);
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(w->edit.selEnd);
            if (w->edit.selStart > 0xFFFF || w->edit.selEnd > 0xFFFF) return -1;
            return MAKELRESULT(w->edit.selStart, w->edit.selEnd);
        case EM_LIMITTEXT:
            w->edit.limit = wParam ? static_cast<size_t>(wParam) : 0x7FFFFFFEu;
            return 0;
        case EM_GETLIMITTEXT:
            return static_cast<LRESULT>(w->edit.limit ? w->edit.limit : DefaultLimit());
        case EM_REPLACESEL:
            ReplaceSelection(w, lParam ? reinterpret_cast<const char*>(lParam) : "");
            Notify(hwnd, EN_UPDATE);
            Notify(hwnd, EN_CHANGE);
            return 0;
        case EM_SETREADONLY:
            if (wParam)
                w->style |= ES_READONLY;
            else
                w->style &= ~ES_READONLY;
            Changed(hwnd);
            return TRUE;
        case EM_GETMODIFY:
            return w->edit.modified ? TRUE : FALSE;
        case EM_SETMODIFY:
            w->edit.modified = wParam != 0;
            return 0;
        case EM_GETLINECOUNT:
            return EditLineCount(*w);
        case EM_GETFIRSTVISIBLELINE:
            return multi ? w->edit.firstLine : 0;
        case EM_LINESCROLL:
            if (!multi) return FALSE;
            ScrollEdit(w, static_cast<int>(lParam));
            return TRUE;
        case EM_SCROLL: {
            if (!multi) return FALSE;
            int before = w->edit.firstLine;
            int page = VisibleLines(*w);
            int delta = wParam == 0 ? -1 : wParam == 1 ? 1 : wParam == 2 ? -page : wParam == 3 ? page : 0;
            ScrollEdit(w, delta);
            return MAKELRESULT(static_cast<WORD>(Self(hwnd)->edit.firstLine - before), TRUE);
        }
        case WM_KEYDOWN:
            if (multi) {
                int page = VisibleLines(*w);
                if (wParam == VK_DOWN) ScrollEdit(w, 1);
                if (wParam == VK_UP) ScrollEdit(w, -1);
                if (wParam == VK_NEXT) ScrollEdit(w, page);
                if (wParam == VK_PRIOR) ScrollEdit(w, -page);
                if (wParam == VK_HOME) ScrollEdit(w, -EditLineCount(*w));
                if (wParam == VK_END) ScrollEdit(w, EditLineCount(*w));
            }
            return 0;
        case WM_CHAR: {
            if (w->style & ES_READONLY) return 0;
            char c = static_cast<char>(wParam);
            if (c == '\b') {
                if (w->edit.selStart == w->edit.selEnd && w->edit.selStart > 0) --w->edit.selStart;
                ReplaceSelection(w, "");
            } else if (static_cast<unsigned char>(c) >= 0x20 || (multi && c == '\r')) {
                size_t limit = w->edit.limit ? w->edit.limit : DefaultLimit();
                if (w->text.size() - (w->edit.selEnd - w->edit.selStart) >= limit) {
                    Notify(hwnd, EN_MAXTEXT);
                    return 0;
                }
                ReplaceSelection(w, c == '\r' ? std::string("\r\n") : std::string(1, c));
            } else {
                return 0;
            }
            Notify(hwnd, EN_UPDATE);
            Notify(hwnd, EN_CHANGE);
            return 0;
        }
        default:
            if (FocusMessage(hwnd, msg, EN_SETFOCUS, EN_KILLFOCUS)) return 0;
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Self(hwnd);
    if (!w) return 0;
    LRESULT result = 0;
    if (Common(w, msg, wParam, lParam, result)) return result;
    ComboState& c = w->combo;
    const int count = static_cast<int>(c.items.size());
    const bool list = (w->style & 3) == CBS_DROPDOWNLIST;
    const int index = static_cast<int>(static_cast<LONG_PTR>(wParam));
    switch (msg) {
        case CB_ADDSTRING:
        case CB_INSERTSTRING: {
            std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            int at = count;
            if (msg == CB_INSERTSTRING) {
                if (index > count) return CB_ERR;
                if (index >= 0) at = index;
            } else if (w->style & CBS_SORT) {
                at = 0;
                while (at < count && strcasecmp(c.items[at].c_str(), text.c_str()) <= 0) ++at;
            }
            c.items.insert(c.items.begin() + at, text);
            c.data.insert(c.data.begin() + at, 0);
            if (c.selected >= at) ++c.selected;
            Changed(hwnd);
            return at;
        }
        case CB_DELETESTRING:
            if (index < 0 || index >= count) return CB_ERR;
            c.items.erase(c.items.begin() + index);
            c.data.erase(c.data.begin() + index);
            if (c.selected == index)
                c.selected = -1;
            else if (c.selected > index)
                --c.selected;
            Changed(hwnd);
            return count - 1;
        case CB_RESETCONTENT:
            c.items.clear();
            c.data.clear();
            c.selected = -1;
            Changed(hwnd);
            return CB_OKAY;
        case CB_GETCOUNT:
            return count;
        case CB_SETCURSEL:
            if (index < 0 || index >= count) {
                if (c.selected != -1) Changed(hwnd);
                c.selected = -1;
                return CB_ERR;
            }
            if (c.selected != index) Changed(hwnd);
            c.selected = index;
            return index;
        case CB_GETCURSEL:
            return c.selected;
        case CB_GETLBTEXT:
            if (index < 0 || index >= count || !lParam) return CB_ERR;
            std::memcpy(reinterpret_cast<char*>(lParam), c.items[index].c_str(), c.items[index].size() + 1);
            return static_cast<LRESULT>(c.items[index].size());
        case CB_GETLBTEXTLEN:
            if (index < 0 || index >= count) return CB_ERR;
            return static_cast<LRESULT>(c.items[index].size());
        case CB_FINDSTRING:
            return ComboFind(c, wParam, reinterpret_cast<const char*>(lParam), false);
        case CB_FINDSTRINGEXACT:
            return ComboFind(c, wParam, reinterpret_cast<const char*>(lParam), true);
        case CB_SELECTSTRING: {
            int found = ComboFind(c, wParam, reinterpret_cast<const char*>(lParam), false);
            if (found != CB_ERR && found != c.selected) {
                c.selected = found;
                Changed(hwnd);
            }
            return found;
        }
        case CB_SETITEMDATA:
            if (index < 0 || index >= count) return CB_ERR;
            c.data[index] = lParam;
            return CB_OKAY;
        case CB_GETITEMDATA:
            if (index < 0 || index >= count) return CB_ERR;
            return c.data[index];
        case CB_SHOWDROPDOWN:
            if (c.dropped != (wParam != 0)) {
                c.dropped = wParam != 0;
                Changed(hwnd);
                Notify(hwnd, c.dropped ? CBN_DROPDOWN : CBN_CLOSEUP);
            }
            return TRUE;
        case CB_GETDROPPEDSTATE:
            return c.dropped ? TRUE : FALSE;
        case CB_LIMITTEXT:
            return TRUE;
        case CB_SETEXTENDEDUI:
        case CB_SETITEMHEIGHT:
        case CB_SETDROPPEDWIDTH:
        case CB_SETHORIZONTALEXTENT:
            return CB_OKAY;
        case WM_GETTEXT:
            if (list) return CopyText(c.selected >= 0 ? c.items[c.selected] : std::string(), wParam, lParam);
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        case WM_GETTEXTLENGTH:
            if (list) return c.selected >= 0 ? static_cast<LRESULT>(c.items[c.selected].size()) : 0;
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        case WM_SETTEXT:
            if (list) return CB_ERR;
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case kMsgUserPick:
            // The user opens the list and clicks an entry.
            Desktop::Get().SetFocus(hwnd);
            if (!Self(hwnd)) return 0;
            Notify(hwnd, CBN_DROPDOWN);
            ComboSelectByUser(hwnd, index);
            Notify(hwnd, CBN_SELENDOK);
            Notify(hwnd, CBN_CLOSEUP);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_DOWN) ComboSelectByUser(hwnd, c.selected + 1);
            if (wParam == VK_UP && c.selected > 0) ComboSelectByUser(hwnd, c.selected - 1);
            return 0;
        default:
            if (FocusMessage(hwnd, msg, CBN_SETFOCUS, CBN_KILLFOCUS)) return 0;
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Self(hwnd);
    if (!w) return 0;
    LRESULT result = 0;
    if (Common(w, msg, wParam, lParam, result)) return result;
    ProgressState& p = w->progress;
    auto setPos = [&](long pos) {
        int previous = p.pos;
        pos = std::clamp<long>(pos, p.low, p.high);
        if (pos != p.pos) {
            p.pos = static_cast<int>(pos);
            Changed(hwnd);
        }
        return previous;
    };
    auto setRange = [&](int low, int high) {
        LRESULT previous = MAKELRESULT(static_cast<WORD>(p.low), static_cast<WORD>(p.high));
        p.low = low;
        p.high = high;
        if (p.high < p.low) p.high = p.low;
        p.pos = std::clamp(p.pos, p.low, p.high);
        Changed(hwnd);
        return previous;
    };
    switch (msg) {
        case PBM_SETRANGE:
            return setRange(LOWORD(lParam), HIWORD(lParam));
        case PBM_SETRANGE32:
            return setRange(static_cast<int>(static_cast<LONG_PTR>(wParam)), static_cast<int>(lParam));
        case PBM_GETRANGE:
            if (lParam) {
                auto* r = reinterpret_cast<PBRANGE*>(lParam);
                r->iLow = p.low;
                r->iHigh = p.high;
            }
            return wParam ? p.low : p.high;
        case PBM_SETPOS:
            return setPos(static_cast<int>(static_cast<LONG_PTR>(wParam)));
        case PBM_DELTAPOS:
            return setPos(static_cast<long>(p.pos) + static_cast<int>(static_cast<LONG_PTR>(wParam)));
        case PBM_SETSTEP: {
            int previous = p.step;
            p.step = static_cast<int>(static_cast<LONG_PTR>(wParam));
            return previous;
        }
        case PBM_STEPIT: {
            // Past the end the bar starts over from the beginning.
            int previous = p.pos;
            long next = static_cast<long>(p.pos) + p.step;
            if (next > p.high) next = p.low + (next - p.high);
            if (next < p.low) next = p.high - (p.low - next);
            setPos(next);
            return previous;
        }
        case PBM_GETPOS:
            return p.pos;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace sim::desktop
