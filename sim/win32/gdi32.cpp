// The few GDI32 calls the dialogs make (fonts are names and sizes on the
// simulated screen) and COMCTL32's start-up calls.
#include <cstring>

#include "../core/Process.h"
#include "../desktop/Desktop.h"
#include "win32.h"

using sim::Proc;
using sim::desktop::Desktop;
using sim::desktop::GdiObject;

namespace {

Desktop& D() { return Desktop::Get(); }

struct DcState {
    HGDIOBJ font = nullptr;
    int bkMode = OPAQUE;
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF textColor = RGB(0, 0, 0);
};

DcState& StateOf(HDC dc) {
    static std::map<uintptr_t, DcState> states;
    return states[reinterpret_cast<uintptr_t>(dc)];
}

COLORREF SysColor(int index) {
    switch (index) {
        case COLOR_WINDOW: return RGB(255, 255, 255);
        case COLOR_WINDOWTEXT: case COLOR_BTNTEXT: return RGB(0, 0, 0);
        case COLOR_HIGHLIGHT: return RGB(10, 36, 106);
        case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
        case COLOR_BTNFACE: return RGB(212, 208, 200);
        case COLOR_BTNSHADOW: case COLOR_GRAYTEXT: return RGB(128, 128, 128);
        default: return RGB(192, 192, 192);
    }
}

}  // namespace

extern "C" {

HGDIOBJ WINAPI GetStockObject(int index) { return D().Stock(index); }

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    auto& gdi = D().Gdi();
    auto it = gdi.find(reinterpret_cast<uintptr_t>(object));
    if (it == gdi.end()) return FALSE;
    if (it->second.stock) return TRUE;  // stock objects stay
    gdi.erase(it);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    if (!dc) return nullptr;
    auto& gdi = D().Gdi();
    auto it = gdi.find(reinterpret_cast<uintptr_t>(object));
    if (it == gdi.end()) return nullptr;
    DcState& s = StateOf(dc);
    if (it->second.type != GdiObject::kFont) return D().Stock(it->second.type == GdiObject::kPen ? BLACK_PEN : WHITE_BRUSH);
    HGDIOBJ old = s.font ? s.font : D().Stock(SYSTEM_FONT);
    s.font = object;
    return old;
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
    GdiObject f;
    f.type = GdiObject::kFont;
    f.face = face ? face : "";
    f.height = height;
    f.weight = weight;
    // A negative height is the character height in pixels at 96 dpi.
    int pixels = height < 0 ? -height : height * 4 / 5;
    f.pointSize = (pixels * 72 + 48) / 96;
    return static_cast<HFONT>(D().NewGdi(f));
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lf) {
    if (!lf) {
        Proc().SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, lf->lfFaceName, LF_FACESIZE);
    return CreateFontA(lf->lfHeight, lf->lfWidth, lf->lfEscapement, lf->lfOrientation, lf->lfWeight, lf->lfItalic,
                       lf->lfUnderline, lf->lfStrikeOut, lf->lfCharSet, lf->lfOutPrecision, lf->lfClipPrecision,
                       lf->lfQuality, lf->lfPitchAndFamily, face);
}

int WINAPI GetDeviceCaps(HDC, int index) {
    switch (index) {
        case LOGPIXELSX: case LOGPIXELSY: return 96;
        default: return 0;
    }
}

int WINAPI SetBkMode(HDC dc, int mode) {
    if (!dc) return 0;
    int old = StateOf(dc).bkMode;
    StateOf(dc).bkMode = mode;
    return old;
}

COLORREF WINAPI SetBkColor(HDC dc, COLORREF color) {
    if (!dc) return 0xFFFFFFFFu;
    COLORREF old = StateOf(dc).bkColor;
    StateOf(dc).bkColor = color;
    return old;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF color) {
    if (!dc) return 0xFFFFFFFFu;
    COLORREF old = StateOf(dc).textColor;
    StateOf(dc).textColor = color;
    return old;
}

DWORD WINAPI GetSysColor(int index) { return SysColor(index); }

HBRUSH WINAPI GetSysColorBrush(int index) {
    // One brush per system colour, made once and never deleted.
    static std::map<int, HGDIOBJ> brushes;
    auto& gdi = D().Gdi();
    auto it = brushes.find(index);
    if (it != brushes.end() && gdi.count(reinterpret_cast<uintptr_t>(it->second))) return static_cast<HBRUSH>(it->second);
    GdiObject b;
    b.type = GdiObject::kBrush;
    b.stock = true;
    HGDIOBJ h = D().NewGdi(b);
    brushes[index] = h;
    return static_cast<HBRUSH>(h);
}

void WINAPI InitCommonControls(void) {}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
    if (!icc || icc->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    return TRUE;
}

}  // extern "C"
