#include "Agent.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../core/Process.h"
#include "Dialogs.h"
#include "Drawing.h"

namespace sim::desktop {

namespace {

Desktop& D() { return Desktop::Get(); }

void Say(const std::string& line) { Proc().Log("user: " + line); }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string ButtonName(HWND button) {
    Window* w = D().Find(button);
    return w ? Quoted(D().Utf8(WithoutMnemonic(w->text))) : "a button";
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool HasWord(const std::string& lower, const std::string& word) {
    size_t at = 0;
    while ((at = lower.find(word, at)) != std::string::npos) {
        bool startOk = at == 0 || !std::isalpha(static_cast<unsigned char>(lower[at - 1]));
        size_t end = at + word.size();
        bool endOk = end >= lower.size() || !std::isalpha(static_cast<unsigned char>(lower[end]));
        if (startOk && endOk) return true;
        ++at;
    }
    return false;
}

POINT CenterOf(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return {r.right / 2, r.bottom / 2};
}

}  // namespace

std::vector<ControlView> VisibleControls(HWND top) {
    std::vector<ControlView> out;
    Desktop& d = D();
    Window* t = d.Find(top);
    if (!t) return out;
    for (HWND c : t->children) {
        Window* w = d.Find(c);
        if (!w || !d.IsVisible(c)) continue;
        ControlView v;
        v.hwnd = c;
        v.id = static_cast<int>(w->id);
        v.kind = w->kind();
        v.enabled = d.IsEnabled(c) && d.IsEnabled(top);
        if (v.kind == Kind::ComboBox)
            v.text = w->combo.selected >= 0 ? d.Utf8(w->combo.items[w->combo.selected]) : "";
        else
            v.text = d.Utf8(WithoutMnemonic(w->text));
        const int type = static_cast<int>(w->style & 0x0F);
        v.pushButton = v.kind == Kind::Button && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
        v.isDefault = v.kind == Kind::Button && type == BS_DEFPUSHBUTTON;
        out.push_back(v);
    }
    return out;
}

HWND DefaultButton(HWND top) {
    Window* t = D().Find(top);
    if (!t) return nullptr;
    if (t->dialog) {
        int id = DefaultId(top);
        if (id) {
            for (HWND c : t->children)
                if (Window* w = D().Find(c); w && w->id == id && w->kind() == Kind::Button && D().IsVisible(c)) return c;
        }
    }
    for (auto& v : VisibleControls(top))
        if (v.isDefault) return v.hwnd;
    return nullptr;
}

bool ClickButton(HWND button, std::string& why) {
    Desktop& d = D();
    Window* w = d.Find(button);
    if (!w) {
        why = "there is no such button";
        return false;
    }
    HWND top = d.TopLevel(button);
    if (!d.IsVisible(button)) {
        why = "the button " + ButtonName(button) + " is not visible";
        return false;
    }
    if (!d.IsEnabled(button) || !d.IsEnabled(top)) {
        // A disabled window takes no mouse input.
        Say("clicks " + ButtonName(button) + " in " + d.Describe(top) + ": it is disabled, nothing happens");
        return true;
    }
    Say("clicks " + ButtonName(button) + " in " + d.Describe(top));
    POINT p = CenterOf(button);
    d.Send(button, WM_SETCURSOR, reinterpret_cast<WPARAM>(button), MAKELPARAM(1 /* HTCLIENT */, WM_LBUTTONDOWN));
    d.Post(button, WM_LBUTTONDOWN, 1 /* MK_LBUTTON */, MAKELPARAM(p.x, p.y));
    d.Post(button, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    return true;
}

void PressKey(HWND top, int vk) {
    Desktop& d = D();
    Window* t = d.Find(top);
    if (!t) return;
    const char* name = vk == VK_RETURN ? "Enter" : vk == VK_ESCAPE ? "Escape" : vk == VK_TAB ? "Tab"
                       : vk == VK_SPACE ? "Space" : vk == VK_DOWN ? "Down" : vk == VK_UP ? "Up"
                       : vk == VK_NEXT ? "Page Down" : vk == VK_PRIOR ? "Page Up" : "a key";
    Say("presses " + std::string(name) + " in " + d.Describe(top));
    // Keys go to the window with the focus, or the active window without one.
    HWND target = d.Queue(t->thread).focus;
    if (!target || (target != top && !d.IsDescendant(top, target))) target = top;
    d.Post(target, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    d.Post(target, WM_KEYUP, static_cast<WPARAM>(vk), static_cast<LPARAM>(0xC0000001u));
}

bool ClickCloseBox(HWND top, std::string& why) {
    Desktop& d = D();
    Window* t = d.Find(top);
    if (!t) {
        why = "there is no window";
        return false;
    }
    if (!HasCloseBox(*t)) {
        why = d.Describe(top) + " has no close box";
        Say("looks for the close box of " + d.Describe(top) + ": there is none");
        return false;
    }
    if (!CloseBoxEnabled(*t) || !d.IsEnabled(top)) {
        Say("clicks the close box of " + d.Describe(top) + ": it is disabled, nothing happens");
        return true;
    }
    Say("clicks the close box of " + d.Describe(top));
    d.Post(top, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

bool PickEntry(HWND combo, int index, std::string& why) {
    Desktop& d = D();
    Window* w = d.Find(combo);
    if (!w || w->kind() != Kind::ComboBox) {
        why = "there is no such list";
        return false;
    }
    HWND top = d.TopLevel(combo);
    if (index < 0 || index >= static_cast<int>(w->combo.items.size())) {
        why = "the list has " + std::to_string(w->combo.items.size()) + " entries, none numbered " + std::to_string(index);
        return false;
    }
    const std::string entry = Quoted(d.Utf8(w->combo.items[index]));
    if (!d.IsVisible(combo) || !d.IsEnabled(combo) || !d.IsEnabled(top)) {
        Say("picks " + entry + " in the list of " + d.Describe(top) + ": the list is disabled, nothing happens");
        return true;
    }
    Say("picks " + entry + " in the list of " + d.Describe(top));
    d.Post(combo, kMsgUserPick, static_cast<WPARAM>(index), 0);
    return true;
}

namespace {

bool FindInMenu(HMENU h, const std::string& wanted, UINT_PTR& id, bool& enabled) {
    Menu* m = D().FindMenu(h);
    if (!m) return false;
    for (auto& item : m->items) {
        if (item.flags & MF_SEPARATOR) continue;
        std::string text = D().Utf8(WithoutMnemonic(item.text));
        size_t tab = text.find('\t');
        if (tab != std::string::npos) text.resize(tab);
        if (!(item.flags & MF_POPUP) && (text == wanted || std::to_string(item.id) == wanted)) {
            id = item.id;
            enabled = !(item.flags & (MF_GRAYED | MF_DISABLED));
            return true;
        }
        if ((item.flags & MF_POPUP) && FindInMenu(item.popup, wanted, id, enabled)) return true;
    }
    return false;
}

}  // namespace

bool ChooseMenu(HWND top, const std::string& item, std::string& why) {
    Desktop& d = D();
    Window* t = d.Find(top);
    if (!t) {
        why = "there is no window";
        return false;
    }
    UINT_PTR id = 0;
    bool enabled = false;
    bool system = false;
    if (!FindInMenu(t->menu, item, id, enabled)) {
        if (!(t->style & WS_SYSMENU) || !FindInMenu(GetSystemMenu(top, FALSE), item, id, enabled)) {
            why = d.Describe(top) + " has no menu item " + Quoted(item);
            return false;
        }
        system = true;
    }
    if (!enabled || !d.IsEnabled(top)) {
        Say("chooses " + Quoted(item) + " from the menu of " + d.Describe(top) + ": it is disabled, nothing happens");
        return true;
    }
    Say("chooses " + Quoted(item) + " from the " + (system ? "system menu" : "menu") + " of " + d.Describe(top));
    if (system)
        d.Post(top, WM_SYSCOMMAND, id, 0);
    else
        d.Post(top, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
    return true;
}

namespace {

const Broadcast kBroadcasts[] = {
    {"queryendsession", WM_QUERYENDSESSION, 0, 0},
    {"logoff", WM_QUERYENDSESSION, 0, static_cast<LPARAM>(ENDSESSION_LOGOFF)},
    {"endsession", WM_ENDSESSION, TRUE, 0},
    {"suspendrequest", WM_POWER, PWR_SUSPENDREQUEST, 0},
    {"querysuspend", WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 1},
    {"querystandby", WM_POWERBROADCAST, PBT_APMQUERYSTANDBY, 1},
    {"resumesuspend", WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0},
};

}  // namespace

const Broadcast* FindBroadcast(const std::string& name) {
    for (auto& b : kBroadcasts)
        if (b.name == name) return &b;
    return nullptr;
}

std::vector<std::string> BroadcastNames() {
    std::vector<std::string> out;
    for (auto& b : kBroadcasts) out.push_back(b.name);
    return out;
}

std::string SendBroadcast(HWND top, const Broadcast& b, LRESULT& result) {
    Desktop& d = D();
    const char* what = b.message == WM_QUERYENDSESSION ? "WM_QUERYENDSESSION"
                       : b.message == WM_ENDSESSION    ? "WM_ENDSESSION"
                       : b.message == WM_POWER         ? "WM_POWER"
                                                       : "WM_POWERBROADCAST";
    std::string where = d.Describe(top);
    result = d.Send(top, b.message, b.wParam, b.lParam);
    std::string answer;
    switch (b.message) {
        case WM_QUERYENDSESSION: answer = result ? "allowed" : "refused"; break;
        case WM_POWER: answer = b.wParam == PWR_SUSPENDREQUEST ? (result == PWR_FAIL ? "refused" : "allowed") : "noted"; break;
        case WM_POWERBROADCAST:
            if (b.wParam == PBT_APMQUERYSUSPEND || b.wParam == PBT_APMQUERYSTANDBY)
                answer = result == BROADCAST_QUERY_DENY ? "denied" : "allowed";
            else
                answer = "noted";
            break;
        default: answer = "noted"; break;
    }
    Proc().Log("system: sends " + std::string(what) + " (" + b.name + ") to " + where + ": " + answer + " (" +
               std::to_string(static_cast<long long>(result)) + ")");
    return answer;
}

bool ReadsLikeConsent(const std::string& caption) {
    const std::string c = Lower(caption);
    static const char* const refusals[] = {"not", "cancel", "no", "don't", "disagree", "decline", "abort", "quit",
                                           "\xE4\xB8\xAD\xE6\xAD\xA2",                                  // 中止
                                           "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB",  // キャンセル
                                           "\xE3\x81\x97\xE3\x81\xAA\xE3\x81\x84",                      // しない
                                           "\xE3\x81\x84\xE3\x81\x84\xE3\x81\x88"};                     // いいえ
    for (const char* r : refusals)
        if (static_cast<unsigned char>(r[0]) >= 0x80 ? c.find(r) != std::string::npos : HasWord(c, r)) return false;
    static const char* const consents[] = {"agree", "ok", "start", "yes", "accept", "continue", "next", "update",
                                           "\xE5\x90\x88\xE6\x84\x8F",              // 合意
                                           "\xE5\x90\x8C\xE6\x84\x8F",              // 同意
                                           "\xE9\x96\x8B\xE5\xA7\x8B",              // 開始
                                           "\xE3\x81\xAF\xE3\x81\x84",              // はい
                                           "\xEF\xBC\xAF\xEF\xBC\xAB"};             // ＯＫ
    for (const char* k : consents)
        if (static_cast<unsigned char>(k[0]) >= 0x80 ? c.find(k) != std::string::npos : HasWord(c, k)) return true;
    return false;
}

namespace {

// Presses what a user who wants the update presses: OK in a message box,
// an agreeing button or else the default one in a dialog. The same button
// is not pressed again while nothing on the screen changed.
class ConsentingAgent : public UserAgent {
public:
    std::string Name() const override { return "consenting"; }

    Decision Act(HWND top) override {
        Desktop& d = D();
        if (m_pressedPending) {
            m_pressedPending = false;
            m_baseline = d.changes;
        }
        HWND choice = Choose(top);
        if (!choice) {
            m_reason = "nothing in " + d.Describe(top) + " can sensibly be pressed";
            return {};
        }
        if (choice == m_lastPressed && d.changes == m_baseline) {
            m_reason = "pressing " + ButtonName(choice) + " in " + d.Describe(top) + " changed nothing";
            return {};
        }
        std::string why;
        if (!ClickButton(choice, why)) return {};
        m_lastPressed = choice;
        m_pressedPending = true;
        return {Decision::kActed, 0};
    }

    std::string Stuck() const override { return "the consenting user waits: " + m_reason; }

private:
    HWND Choose(HWND top) {
        Desktop& d = D();
        Window* t = d.Find(top);
        if (!t || !d.IsEnabled(top)) return nullptr;
        auto controls = VisibleControls(top);
        if (t->dialog && t->dialog->messageBox) {
            for (int id : {IDOK, IDYES, IDRETRY})
                for (auto& v : controls)
                    if (v.pushButton && v.enabled && v.id == id) return v.hwnd;
        }
        for (auto& v : controls)
            if (v.pushButton && v.enabled && ReadsLikeConsent(v.text)) return v.hwnd;
        HWND def = DefaultButton(top);
        if (def && d.IsEnabled(def)) return def;
        return nullptr;
    }

    HWND m_lastPressed = nullptr;
    bool m_pressedPending = false;
    uint64_t m_baseline = 0;
    std::string m_reason = "nothing can sensibly be pressed";
};

class IdleAgent : public UserAgent {
public:
    std::string Name() const override { return "idle"; }
    Decision Act(HWND) override { return {}; }
    std::string Stuck() const override { return "no user is at the machine"; }
};

// A person at a terminal: the window is drawn, one key chooses.
class TerminalAgent : public UserAgent {
public:
    std::string Name() const override { return "terminal"; }

    Decision Act(HWND top) override {
        Desktop& d = D();
        auto controls = VisibleControls(top);
        std::vector<ControlView> choices;
        for (auto& v : controls)
            if ((v.pushButton || v.kind == Kind::ComboBox) && v.enabled) choices.push_back(v);
        if (choices.empty() || !d.IsEnabled(top)) {
            if (m_lastShown != d.changes) std::printf("(waiting: nothing to press in %s)\n", d.Describe(top).c_str());
            m_lastShown = d.changes;
            m_reason = "nothing in " + d.Describe(top) + " can be pressed";
            return {};
        }
        std::printf("\n");
        for (auto& line : DrawLines(top)) std::printf("%s\n", line.c_str());
        for (size_t i = 0; i < choices.size() && i < 9; ++i)
            std::printf("  %zu: %s%s\n", i + 1, choices[i].kind == Kind::ComboBox ? "list: " : "",
                        choices[i].text.c_str());
        std::printf("  Enter: default button, Esc: Escape, Tab: next control, c: close box, w: wait 5 s > ");
        std::fflush(stdout);
        int key = ReadKey();
        std::printf("\n");
        if (key < 0) D().Fail("the terminal gave no more input while " + d.Describe(top) + " waited", 70);
        std::string why;
        if (key == '\r' || key == '\n') {
            PressKey(top, VK_RETURN);
        } else if (key == 0x1B) {
            PressKey(top, VK_ESCAPE);
        } else if (key == '\t') {
            PressKey(top, VK_TAB);
        } else if (key == 'c') {
            if (!ClickCloseBox(top, why)) std::printf("%s\n", why.c_str());
        } else if (key == 'w') {
            Say("waits 5 s");
            return {Decision::kWaitUntil, Proc().scheduler().Now() + 5000};
        } else if (key >= '1' && key <= '9' && static_cast<size_t>(key - '1') < choices.size()) {
            auto& v = choices[static_cast<size_t>(key - '1')];
            if (v.kind == Kind::ComboBox) {
                Window* w = d.Find(v.hwnd);
                for (size_t i = 0; i < w->combo.items.size() && i < 9; ++i)
                    std::printf("  %zu: %s\n", i + 1, d.Utf8(w->combo.items[i]).c_str());
                std::printf("  entry > ");
                std::fflush(stdout);
                int entry = ReadKey();
                std::printf("\n");
                if (entry >= '1' && entry <= '9' && !PickEntry(v.hwnd, entry - '1', why)) std::printf("%s\n", why.c_str());
            } else {
                ClickButton(v.hwnd, why);
            }
        } else {
            return Act(top);
        }
        return {Decision::kActed, 0};
    }

    std::string Stuck() const override { return "the person at the terminal can do nothing: " + m_reason; }

private:
    static int ReadKey() {
        if (!isatty(STDIN_FILENO)) {
            std::string line;
            int c;
            while ((c = std::getchar()) != EOF && c != '\n') line += static_cast<char>(c);
            if (c == EOF && line.empty()) return -1;
            if (line.empty()) return '\r';
            if (line == "esc" || line == "escape") return 0x1B;
            if (line == "tab") return '\t';
            return static_cast<unsigned char>(line[0]);
        }
        termios saved, raw;
        tcgetattr(STDIN_FILENO, &saved);
        raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        unsigned char c = 0;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        return n == 1 ? c : -1;
    }

    uint64_t m_lastShown = ~0ull;
    std::string m_reason;
};

}  // namespace

std::unique_ptr<UserAgent> MakeConsentingAgent() { return std::make_unique<ConsentingAgent>(); }
std::unique_ptr<UserAgent> MakeTerminalAgent() { return std::make_unique<TerminalAgent>(); }
std::unique_ptr<UserAgent> MakeIdleAgent() { return std::make_unique<IdleAgent>(); }

std::unique_ptr<UserAgent> AgentFromEnvironment() {
    const char* name = std::getenv("WINSIM_AGENT");
    std::string agent = name && *name ? name : "consenting";
    if (agent == "consenting") return MakeConsentingAgent();
    if (agent == "terminal") return MakeTerminalAgent();
    if (agent == "none") return MakeIdleAgent();
    if (agent != "scripted") throw ScriptError("WINSIM_AGENT: unknown user \"" + agent + "\" (consenting, scripted, terminal)");
    const char* file = std::getenv("WINSIM_SCRIPT");
    auto& machine = Proc().machine();
    if (file && *file) {
        std::ifstream in(file, std::ios::binary);
        if (!in) throw ScriptError(std::string(file) + ": cannot be read");
        std::stringstream ss;
        ss << in.rdbuf();
        nlohmann::json j;
        try {
            j = nlohmann::json::parse(ss.str());
        } catch (const nlohmann::json::parse_error&) {
            throw ScriptError(std::string(file) + ": not valid JSON");
        }
        if (j.is_object() && j.contains("script")) j = j["script"];
        return MakeScriptedAgent(j, file, machine.scriptStep, true);
    }
    const std::string source = (Proc().machineFile().empty() ? std::string("the machine") : Proc().machineFile()) + ": /script";
    return MakeScriptedAgent(machine.script, source, machine.scriptStep, true);
}

}  // namespace sim::desktop
