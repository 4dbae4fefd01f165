// A fresh simulated desktop for each test, the user the test chooses, and a
// writer of in-memory dialog templates laid out as Windows reads them.
#pragma once
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/Process.h"
#include "desktop/Agent.h"
#include "desktop/Desktop.h"
#include "desktop/Drawing.h"
#include "win32.h"

namespace desktop_test {

// A user that calls a function of the test whenever the program would wait.
class FunctionAgent : public sim::desktop::UserAgent {
public:
    explicit FunctionAgent(std::function<bool(HWND)> act) : m_act(std::move(act)) {}
    std::string Name() const override { return "test"; }
    sim::desktop::Decision Act(HWND top) override {
        return m_act(top) ? sim::desktop::Decision{sim::desktop::Decision::kActed, 0} : sim::desktop::Decision{};
    }

private:
    std::function<bool(HWND)> m_act;
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override { Boot(1252); }
    // Later tests meet the desktop and the user the environment gives.
    void TearDown() override { sim::desktop::Desktop::Get().Reset(); }

public:

    void Boot(unsigned codePage) {
        sim::Machine m = sim::Machine::Default();
        m.codePage = codePage;
        sim::Process::Boot(m);
        sim::desktop::Desktop::Get().Reset();
        sim::desktop::Desktop::Get().SetAgent(sim::desktop::MakeIdleAgent());
    }

    void UseScript(const nlohmann::json& steps) {
        sim::desktop::Desktop::Get().SetAgent(sim::desktop::MakeScriptedAgent(steps, "test script", 0, false));
    }
    void UseConsentingUser() { sim::desktop::Desktop::Get().SetAgent(sim::desktop::MakeConsentingAgent()); }
    void UseAgent(std::function<bool(HWND)> act) {
        sim::desktop::Desktop::Get().SetAgent(std::make_unique<FunctionAgent>(std::move(act)));
    }
    static bool PickAsUser(HWND combo, int index) {
        std::string why;
        return sim::desktop::PickEntry(combo, index, why);
    }
    // The error a malformed script gets, or "" when it is accepted.
    static std::string ScriptProblem(const nlohmann::json& steps) {
        try {
            sim::desktop::MakeScriptedAgent(steps, "test script", 0, false);
        } catch (const sim::desktop::ScriptError& e) {
            return e.what();
        }
        return "";
    }

    // Transcript lines without their time stamps, those starting with prefix.
    static std::vector<std::string> Transcript(const std::string& prefix = "") {
        std::vector<std::string> out;
        for (auto& line : sim::Proc().machine().transcript) {
            std::string text = line.substr(line.find("] ") + 2);
            if (text.rfind(prefix, 0) == 0) out.push_back(text);
        }
        return out;
    }
    static std::string AllTranscript() {
        std::string all;
        for (auto& line : Transcript()) all += line + "\n";
        return all;
    }
    static uint64_t Now() { return sim::Proc().scheduler().Now(); }

    static std::vector<std::string> Draw(HWND top) { return sim::desktop::DrawLines(top); }
    static std::string Svg(HWND top) { return sim::desktop::DrawSvg(top); }
    static int Cells(const std::string& utf8) { return sim::desktop::TextWidth(utf8); }
    static std::string Cursor() { return sim::desktop::Desktop::CursorName(GetCursor()); }
    static std::string FontFace(HFONT font) {
        auto& gdi = sim::desktop::Desktop::Get().Gdi();
        auto it = gdi.find(reinterpret_cast<uintptr_t>(font));
        return it == gdi.end() ? "" : it->second.face + " " + std::to_string(it->second.pointSize);
    }
};

// Writes DLGTEMPLATE or DLGTEMPLATEEX bytes; strings are UTF-8 here and
// UTF-16 in the template.
class TemplateWriter {
public:
    TemplateWriter(DWORD style, short cx, short cy, const std::string& title, WORD pointSize = 0,
                   const std::string& face = "", bool extended = false, DWORD exStyle = 0)
        : m_extended(extended) {
        if (extended) {
            Word(1);
            Word(0xFFFF);
            Dword(0);
            Dword(exStyle);
            Dword(style);
        } else {
            Dword(style);
            Dword(exStyle);
        }
        m_countAt = m_bytes.size();
        Word(0);
        Word(0);
        Word(0);
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(0);  // no menu
        Word(0);  // the dialog class
        String(title);
        if (style & DS_SETFONT) {
            Word(pointSize);
            if (extended) {
                Word(FW_NORMAL);
                m_bytes.push_back(0);
                m_bytes.push_back(1);
            }
            String(face);
        }
    }

    TemplateWriter& Item(WORD classOrdinal, const std::string& text, WORD id, DWORD style, short x, short y, short cx,
                         short cy) {
        Begin(id, style, x, y, cx, cy);
        Word(0xFFFF);
        Word(classOrdinal);
        String(text);
        Word(0);  // no creation data
        return *this;
    }

    TemplateWriter& NamedItem(const std::string& cls, const std::string& text, WORD id, DWORD style, short x, short y,
                              short cx, short cy, const std::vector<uint8_t>& data = {}) {
        Begin(id, style, x, y, cx, cy);
        String(cls);
        String(text);
        Align(2);
        if (data.empty()) {
            Word(0);
        } else {
            Word(static_cast<WORD>(data.size() + (m_extended ? 0 : 2)));
            m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        }
        return *this;
    }

    const DLGTEMPLATE* get() {
        std::memcpy(m_bytes.data() + m_countAt, &m_count, 2);
        m_aligned.assign((m_bytes.size() + 3) / 4, 0);
        std::memcpy(m_aligned.data(), m_bytes.data(), m_bytes.size());
        return reinterpret_cast<const DLGTEMPLATE*>(m_aligned.data());
    }

    const std::vector<uint32_t>& Words() const { return m_aligned; }

private:
    void Begin(WORD id, DWORD style, short x, short y, short cx, short cy) {
        Align(4);
        ++m_count;
        if (m_extended) {
            Dword(0);
            Dword(0);
            Dword(style);
        } else {
            Dword(style);
            Dword(0);
        }
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        if (m_extended)
            Dword(id == 0xFFFF ? 0xFFFFFFFFu : id);
        else
            Word(id);
    }
    void Align(size_t n) {
        while (m_bytes.size() % n) m_bytes.push_back(0);
    }
    void Word(WORD w) {
        m_bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    void Dword(DWORD d) {
        Word(static_cast<WORD>(d & 0xFFFF));
        Word(static_cast<WORD>(d >> 16));
    }
    void String(const std::string& utf8) {
        for (size_t i = 0; i < utf8.size();) {
            unsigned char b = static_cast<unsigned char>(utf8[i]);
            uint32_t c;
            if (b < 0x80) {
                c = b;
                i += 1;
            } else if ((b >> 5) == 6) {
                c = ((b & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
                i += 2;
            } else {
                c = ((b & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
                i += 3;
            }
            Word(static_cast<WORD>(c));
        }
        Word(0);
    }

    bool m_extended;
    std::vector<uint8_t> m_bytes;
    std::vector<uint32_t> m_aligned;
    size_t m_countAt = 0;
    WORD m_count = 0;
};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kText = WS_CHILD | WS_VISIBLE | SS_LEFT;

// A dialog procedure that ends the dialog with the id of any button
// command it gets, and records what it saw.
struct Seen {
    std::vector<int> commands;
    bool ending = false;
};
inline INT_PTR CALLBACK EndingProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        return TRUE;
    }
    auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && seen) {
        seen->commands.push_back(LOWORD(wParam));
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace desktop_test
