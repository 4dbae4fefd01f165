#include "Drawing.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../core/Process.h"
#include "Desktop.h"

namespace sim::desktop {

namespace {

struct Char {
    std::string bytes;
    int width;
};

bool Wide(uint32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

std::vector<Char> Chars(const std::string& s) {
    std::vector<Char> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (i + n > s.size()) n = 1;
        uint32_t c = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        int width = b < 0x20 ? 0 : Wide(c) ? 2 : 1;
        out.push_back({s.substr(i, n), width});
        i += n;
    }
    return out;
}

std::string RightTrim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// A grid of character cells; a wide character's second cell is empty.
class Canvas {
public:
    Canvas(int width, int height) : m_w(width), m_h(height), m_cells(height, std::vector<std::string>(width, " ")) {}

    void Put(int row, int col, const std::string& text, int limit) {
        if (row < 0 || row >= m_h) return;
        limit = std::min(limit, m_w);
        for (auto& c : Chars(text)) {
            if (c.width == 0) continue;
            if (col + c.width > limit) break;
            if (col >= 0) {
                Clear(row, col);
                m_cells[row][col] = c.bytes;
                if (c.width == 2) {
                    Clear(row, col + 1);
                    m_cells[row][col + 1] = "";
                }
            }
            col += c.width;
        }
    }

    std::string Line(int row) const {
        std::string s;
        for (auto& c : m_cells[row]) s += c;
        return s;
    }

private:
    // Overwriting half of a wide character blanks the other half.
    void Clear(int row, int col) {
        auto& r = m_cells[row];
        if (r[col].empty() && col > 0) r[col - 1] = " ";
        if (col + 1 < m_w && r[col + 1].empty()) r[col + 1] = " ";
    }
    int m_w, m_h;
    std::vector<std::vector<std::string>> m_cells;
};

std::string Fit(const std::string& text, int width) {
    std::string out;
    int used = 0;
    for (auto& c : Chars(text)) {
        if (used + c.width > width) break;
        out += c.bytes;
        used += c.width;
    }
    return out;
}

std::string Pad(const std::string& text, int width, int align /* 0 left, 1 centre, 2 right */) {
    std::string t = Fit(text, width);
    int room = width - TextWidth(t);
    int left = align == 0 ? 0 : align == 1 ? room / 2 : room;
    return std::string(left, ' ') + t + std::string(room - left, ' ');
}

struct Box {
    int col, row, w, h;
};

struct Geometry {
    int cw, ch;  // pixels of a cell
    int cols, rows;
};

Geometry GeometryOf(Window& t) {
    Desktop& d = Desktop::Get();
    Geometry g{8, 16, 1, 1};
    if (t.dialog) {
        g.cw = t.dialog->baseX;
        g.ch = t.dialog->baseY;
    }
    RECT c = d.ClientRect(t);
    g.cols = std::max(1, (c.right + g.cw / 2) / g.cw);
    g.rows = std::max(1, (c.bottom + g.ch / 2) / g.ch);
    return g;
}

Box BoxOf(const RECT& r, const Geometry& g) {
    Box b;
    b.col = (r.left + g.cw / 2) / g.cw;
    b.row = (r.top + g.ch / 2) / g.ch;
    b.w = std::max(1, (r.right + g.cw / 2) / g.cw - b.col);
    b.h = std::max(1, (r.bottom + g.ch / 2) / g.ch - b.row);
    return b;
}

// What a control shows, as lines inside its box.
struct Look {
    std::vector<std::string> lines;
    int align = 0;
    int firstRow = 0;
};

int ButtonType(const Window& w) { return static_cast<int>(w.style & 0x0F); }

std::vector<std::string> EditLines(Desktop& d, const Window& w, int width) {
    std::string text = d.Utf8(w.text);
    if (w.style & ES_PASSWORD) text = std::string(Chars(text).size(), '*');
    if (!(w.style & ES_MULTILINE)) {
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        return {text};
    }
    return WrapText(text, std::max(1, width));
}

void DrawControl(Canvas& canvas, Desktop& d, Window& w, const Box& b) {
    const bool enabled = d.IsEnabled(w.hwnd);
    const std::string text = d.Utf8(WithoutMnemonic(w.text));
    const int right = b.col + b.w;
    switch (w.kind()) {
        case Kind::Button: {
            const int type = ButtonType(w);
            const int mid = b.row + (b.h - 1) / 2;
            if (type == BS_GROUPBOX) {
                if (b.h < 2) {
                    canvas.Put(b.row, b.col, Pad("-" + text + std::string(b.w, '-'), b.w, 0), right);
                    return;
                }
                std::string top = "+-" + text;
                canvas.Put(b.row, b.col, Fit(top + std::string(b.w, '-'), b.w - 1) + "+", right);
                for (int r = b.row + 1; r < b.row + b.h - 1; ++r) {
                    canvas.Put(r, b.col, "|", right);
                    canvas.Put(r, right - 1, "|", right);
                }
                canvas.Put(b.row + b.h - 1, b.col, "+" + std::string(std::max(0, b.w - 2), '-') + "+", right);
                return;
            }
            if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW || type == BS_USERBUTTON) {
                std::string caption = text;
                const bool isDefault = type == BS_DEFPUSHBUTTON;
                std::string open = !enabled ? "(" : isDefault ? "<" : "[";
                std::string close = !enabled ? ")" : isDefault ? ">" : "]";
                if (b.w < 3) {
                    canvas.Put(mid, b.col, Fit(caption, b.w), right);
                    return;
                }
                canvas.Put(mid, b.col, open + Pad(caption, b.w - 2, 1) + close, right);
                return;
            }
            const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
            std::string mark = radio ? (w.button.check ? "(*)" : "( )")
                                     : w.button.check == BST_CHECKED ? "[x]"
                                     : w.button.check == BST_INDETERMINATE ? "[?]" : "[ ]";
            canvas.Put(mid, b.col, Fit(mark + " " + text, b.w), right);
            return;
        }
        case Kind::Static: {
            const UINT type = w.style & SS_TYPEMASK;
            if (type == SS_ICON) {
                canvas.Put(b.row, b.col, Fit("(i)", b.w), right);
                return;
            }
            if (type == SS_ETCHEDHORZ) {
                canvas.Put(b.row, b.col, std::string(b.w, '-'), right);
                return;
            }
            if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP)
                return;  // frames and rectangles
            std::vector<std::string> lines;
            if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) {
                for (auto& l : WrapText(text, 100000)) lines.push_back(Fit(l, b.w));
            } else {
                lines = WrapText(text, b.w);
            }
            int align = type == SS_CENTER ? 1 : type == SS_RIGHT ? 2 : 0;
            int first = b.row;
            if ((w.style & SS_CENTERIMAGE) && static_cast<int>(lines.size()) < b.h)
                first += (b.h - static_cast<int>(lines.size())) / 2;
            for (int i = 0; i < static_cast<int>(lines.size()) && first + i < b.row + b.h; ++i)
                canvas.Put(first + i, b.col, Pad(lines[i], b.w, align), right);
            return;
        }
        case Kind::Edit: {
            const bool scroll = (w.style & WS_VSCROLL) && (w.style & ES_MULTILINE) && b.h >= 2;
            const int width = b.w - (scroll ? 1 : 0);
            auto lines = EditLines(d, w, width);
            const int align = (w.style & ES_CENTER) ? 1 : (w.style & ES_RIGHT) ? 2 : 0;
            const int first = (w.style & ES_MULTILINE) ? w.edit.firstLine : 0;
            for (int i = 0; i < b.h && first + i < static_cast<int>(lines.size()); ++i)
                canvas.Put(b.row + i, b.col, Pad(lines[first + i], width, align), b.col + width);
            if (!(w.style & ES_READONLY) && w.text.empty()) canvas.Put(b.row, b.col, std::string(width, '_'), b.col + width);
            if (scroll) {
                const int count = static_cast<int>(lines.size());
                const int span = std::max(1, count - b.h);
                const int thumb = b.h > 2 ? 1 + (b.h - 3) * std::min(first, span) / span : -1;
                for (int r = 0; r < b.h; ++r) {
                    std::string c = r == 0 ? "^" : r == b.h - 1 ? "v" : r == thumb ? "#" : "|";
                    canvas.Put(b.row + r, right - 1, c, right);
                }
            }
            return;
        }
        case Kind::ComboBox: {
            std::string shown = w.combo.selected >= 0 ? d.Utf8(w.combo.items[w.combo.selected])
                                                      : ((w.style & 3) == CBS_DROPDOWNLIST ? "" : d.Utf8(w.text));
            std::string open = enabled ? "[" : "(", close = enabled ? "]" : ")";
            // A drop-down's height is the open list's; it draws one row.
            if (b.w < 5) {
                canvas.Put(b.row, b.col, Fit(open + shown, b.w), right);
                return;
            }
            canvas.Put(b.row, b.col, open + Pad(shown, b.w - 4, 0) + "|v" + close, right);
            return;
        }
        case Kind::Progress: {
            const ProgressState& p = w.progress;
            if (b.w < 3) return;
            const int inner = b.w - 2;
            const int span = std::max(1, p.high - p.low);
            const int filled = std::clamp((p.pos - p.low) * inner / span, 0, inner);
            canvas.Put(b.row + (b.h - 1) / 2, b.col,
                       "[" + std::string(filled, '#') + std::string(inner - filled, '.') + "]", right);
            return;
        }
        default:
            canvas.Put(b.row, b.col, Fit(text, b.w), right);
            return;
    }
}

std::string MenuBar(Desktop& d, const Window& t) {
    std::string bar;
    if (Menu* m = d.FindMenu(t.menu)) {
        for (auto& item : m->items) {
            if (item.flags & MF_SEPARATOR) continue;
            bar += " " + d.Utf8(WithoutMnemonic(item.text)) + " ";
        }
    }
    return bar;
}

std::string Xml(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace

int TextWidth(const std::string& utf8) {
    int w = 0;
    for (auto& c : Chars(utf8)) w += c.width;
    return w;
}

std::vector<std::string> WrapText(const std::string& utf8, int width) {
    std::vector<std::string> lines;
    if (width < 1) width = 1;
    size_t start = 0;
    while (start <= utf8.size()) {
        size_t end = utf8.find('\n', start);
        std::string para = utf8.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!para.empty() && para.back() == '\r') para.pop_back();
        // Words are runs of narrow characters; a wide character stands alone
        // and a line may break on either side of it.
        std::string line;
        int used = 0;
        auto flush = [&] {
            lines.push_back(RightTrim(line));
            line.clear();
            used = 0;
        };
        auto chars = Chars(para);
        size_t i = 0;
        while (i < chars.size()) {
            if (chars[i].bytes == " ") {
                if (used + 1 <= width) {
                    line += ' ';
                    ++used;
                } else {
                    flush();
                }
                ++i;
                continue;
            }
            size_t j = i;
            int tokenWidth = 0;
            std::string token;
            if (chars[i].width == 2) {
                token = chars[i].bytes;
                tokenWidth = 2;
                j = i + 1;
            } else {
                while (j < chars.size() && chars[j].bytes != " " && chars[j].width != 2) {
                    token += chars[j].bytes;
                    tokenWidth += chars[j].width;
                    ++j;
                }
            }
            if (used + tokenWidth > width && used > 0) {
                flush();
                // A broken line does not start with the blanks it broke at.
            }
            if (tokenWidth > width) {
                for (size_t k = i; k < j; ++k) {
                    if (used + chars[k].width > width) flush();
                    line += chars[k].bytes;
                    used += chars[k].width;
                }
            } else {
                line += token;
                used += tokenWidth;
            }
            i = j;
        }
        lines.push_back(RightTrim(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> DrawLines(HWND top) {
    Desktop& d = Desktop::Get();
    Window* t = d.Find(top);
    if (!t) return {};
    Geometry g = GeometryOf(*t);
    Canvas canvas(g.cols, g.rows);
    for (HWND c : t->children) {
        Window* w = d.Find(c);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        DrawControl(canvas, d, *w, BoxOf(w->rect, g));
    }
    std::vector<std::string> out;
    // Title bar with the close box when there is one.
    std::string box = HasCloseBox(*t) ? (CloseBoxEnabled(*t) ? "[X]" : "[-]") : "";
    std::string caption = " " + d.Utf8(t->text) + " ";
    int room = g.cols - TextWidth(box) - 1;
    std::string title = "=" + Fit(caption, std::max(0, room));
    title += std::string(std::max(0, g.cols - TextWidth(title) - TextWidth(box)), '=') + box;
    if ((t->style & WS_CAPTION) == WS_CAPTION) {
        out.push_back("+" + title + "+");
    } else {
        out.push_back("+" + std::string(g.cols, '-') + "+");
    }
    if (t->menu) {
        out.push_back("|" + Pad(MenuBar(d, *t), g.cols, 0) + "|");
        out.push_back("|" + std::string(g.cols, '-') + "|");
    }
    for (int r = 0; r < g.rows; ++r) out.push_back("|" + canvas.Line(r) + "|");
    out.push_back("+" + std::string(g.cols, '-') + "+");
    return out;
}

std::string DrawSvg(HWND top) {
    Desktop& d = Desktop::Get();
    Window* t = d.Find(top);
    if (!t) return "";
    Geometry g = GeometryOf(*t);
    int side, topFrame, bottom;
    FrameOf(*t, side, topFrame, bottom);
    const int width = t->rect.right - t->rect.left;
    const int height = t->rect.bottom - t->rect.top;
    const std::string face = t->dialog && !t->dialog->fontName.empty() ? d.Utf8(t->dialog->fontName) : "MS Sans Serif";
    const int fontPx = std::max(8, g.ch * 3 / 4);
    std::string s;
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
                  "font-family=\"%s, sans-serif\" font-size=\"%d\">\n",
                  width, height, width, height, Xml(face).c_str(), fontPx);
    s += buf;
    std::snprintf(buf, sizeof buf, "<rect x=\"0.5\" y=\"0.5\" width=\"%d\" height=\"%d\" fill=\"#d4d0c8\" stroke=\"#404040\"/>\n",
                  width - 1, height - 1);
    s += buf;
    if ((t->style & WS_CAPTION) == WS_CAPTION) {
        std::snprintf(buf, sizeof buf, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#0a246a\"/>\n", side, side,
                      width - 2 * side, kCaptionHeight);
        s += buf;
        std::snprintf(buf, sizeof buf, "<text x=\"%d\" y=\"%d\" fill=\"#ffffff\" font-weight=\"bold\">", side + 4,
                      side + kCaptionHeight - 5);
        s += buf + Xml(d.Utf8(t->text)) + "</text>\n";
        if (HasCloseBox(*t)) {
            const bool on = CloseBoxEnabled(*t);
            int x = width - side - 18;
            std::snprintf(buf, sizeof buf,
                          "<rect x=\"%d\" y=\"%d\" width=\"16\" height=\"14\" fill=\"#d4d0c8\" stroke=\"#404040\"/>"
                          "<text x=\"%d\" y=\"%d\" fill=\"%s\" text-anchor=\"middle\">x</text>\n",
                          x, side + 2, x + 8, side + 13, on ? "#000000" : "#808080");
            s += buf;
        }
    }
    if (t->menu) {
        int y = side + kCaptionHeight;
        std::snprintf(buf, sizeof buf, "<text x=\"%d\" y=\"%d\">", side + 4, y + kMenuHeight - 5);
        s += buf + Xml(MenuBar(d, *t)) + "</text>\n";
    }
    const int ox = side, oy = topFrame;
    for (HWND c : t->children) {
        Window* w = d.Find(c);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        const int x = ox + w->rect.left, y = oy + w->rect.top;
        const int cw = w->rect.right - w->rect.left, chgt = w->rect.bottom - w->rect.top;
        const bool enabled = d.IsEnabled(c);
        const char* ink = enabled ? "#000000" : "#808080";
        const std::string text = d.Utf8(WithoutMnemonic(w->text));
        auto textAt = [&](int tx, int ty, const std::string& line, const char* anchor) {
            std::snprintf(buf, sizeof buf, "<text x=\"%d\" y=\"%d\" fill=\"%s\" text-anchor=\"%s\">", tx, ty, ink, anchor);
            s += buf + Xml(line) + "</text>\n";
        };
        Box b = BoxOf(w->rect, g);
        switch (w->kind()) {
            case Kind::Button: {
                const int type = ButtonType(*w);
                if (type == BS_GROUPBOX) {
                    std::snprintf(buf, sizeof buf, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"#808080\"/>\n",
                                  x, y + g.ch / 2, cw, std::max(0, chgt - g.ch / 2));
                    s += buf;
                    textAt(x + 6, y + g.ch - 4, text, "start");
                } else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
                    std::snprintf(buf, sizeof buf,
                                  "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#d4d0c8\" stroke=\"#000000\" "
                                  "stroke-width=\"%d\"/>\n",
                                  x, y, cw, chgt, type == BS_DEFPUSHBUTTON ? 2 : 1);
                    s += buf;
                    textAt(x + cw / 2, y + chgt / 2 + fontPx / 3, text, "middle");
                } else {
                    std::snprintf(buf, sizeof buf, "<rect x=\"%d\" y=\"%d\" width=\"10\" height=\"10\" fill=\"#ffffff\" stroke=\"#404040\"/>\n",
                                  x, y + chgt / 2 - 5);
                    s += buf;
                    if (w->button.check) textAt(x + 5, y + chgt / 2 + 4, "x", "middle");
                    textAt(x + 14, y + chgt / 2 + fontPx / 3, text, "start");
                }
                break;
            }
            case Kind::Static: {
                const UINT type = w->style & SS_TYPEMASK;
                if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP)
                    break;
                auto lines = WrapText(text, b.w);
                const char* anchor = type == SS_CENTER ? "middle" : type == SS_RIGHT ? "end" : "start";
                int tx = type == SS_CENTER ? x + cw / 2 : type == SS_RIGHT ? x + cw : x;
                for (size_t i = 0; i < lines.size() && static_cast<int>(i) < b.h; ++i)
                    textAt(tx, y + static_cast<int>(i + 1) * g.ch - g.ch / 4, lines[i], anchor);
                break;
            }
            case Kind::Edit: {
                std::snprintf(buf, sizeof buf, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\" stroke=\"%s\"/>\n",
                              x, y, cw, chgt, (w->style & ES_READONLY) ? "#d4d0c8" : "#ffffff",
                              (w->style & WS_BORDER) || (w->exStyle & WS_EX_CLIENTEDGE) ? "#808080" : "none");
                s += buf;
                const bool scroll = (w->style & WS_VSCROLL) && (w->style & ES_MULTILINE);
                auto lines = EditLines(d, *w, b.w - (scroll ? 1 : 0));
                const int first = (w->style & ES_MULTILINE) ? w->edit.firstLine : 0;
                for (int i = 0; i < b.h && first + i < static_cast<int>(lines.size()); ++i)
                    textAt(x + 2, y + (i + 1) * g.ch - g.ch / 4, lines[first + i], "start");
                break;
            }
            case Kind::ComboBox: {
                std::string shown = w->combo.selected >= 0 ? d.Utf8(w->combo.items[w->combo.selected]) : "";
                int boxH = std::min(chgt, g.ch + 6);
                std::snprintf(buf, sizeof buf,
                              "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\" stroke=\"#808080\"/>"
                              "<rect x=\"%d\" y=\"%d\" width=\"16\" height=\"%d\" fill=\"#d4d0c8\" stroke=\"#808080\"/>\n",
                              x, y, cw, boxH, enabled ? "#ffffff" : "#d4d0c8", x + cw - 16, y, boxH);
                s += buf;
                textAt(x + 3, y + boxH / 2 + fontPx / 3, shown, "start");
                break;
            }
            case Kind::Progress: {
                const ProgressState& p = w->progress;
                const int span = std::max(1, p.high - p.low);
                const int filled = std::clamp((p.pos - p.low) * (cw - 2) / span, 0, cw - 2);
                std::snprintf(buf, sizeof buf,
                              "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#ffffff\" stroke=\"#808080\"/>"
                              "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#0a246a\"><title>%d</title></rect>\n",
                              x, y, cw, chgt, x + 1, y + 1, filled, std::max(0, chgt - 2), p.pos);
                s += buf;
                break;
            }
            default:
                textAt(x, y + g.ch - g.ch / 4, text, "start");
                break;
        }
    }
    s += "</svg>\n";
    return s;
}

std::string WriteSnapshot(HWND top, const std::string& dir) {
    namespace fs = std::filesystem;
    Desktop& d = Desktop::Get();
    Window* t = d.Find(top);
    if (!t) return "";
    std::error_code ec;
    fs::create_directories(dir, ec);
    size_t count = 0;
    for (auto& entry : fs::directory_iterator(dir, ec))
        if (entry.path().extension() == ".svg") ++count;
    std::string slug;
    for (char c : d.Utf8(t->text)) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    if (slug.empty()) slug = "window";
    char name[32];
    std::snprintf(name, sizeof name, "%03zu-", count + 1);
    fs::path path = fs::path(dir) / (name + slug.substr(0, 48) + ".svg");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << DrawSvg(top);
    return path.string();
}

}  // namespace sim::desktop
