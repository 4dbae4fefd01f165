// The scripted user: a list of steps, each one thing the user sees or does.
//
//   "enter", "escape", "tab", "space", "close", "draw"      shorthand steps
//   {"expect": {"window": "Caption", "text": "shown text", "missing": "text",
//               "enabled": ["Start Update"], "disabled": [...], "kind": "dialog",
//               "cursor": "wait", "within": 10}}
//   {"press": "I Agree"} or {"press": 1}                    click a button
//   {"key": "enter"}                                         enter, escape, tab, space, up, down, pagedown, pageup
//   {"pick": "entry text" or 0, "in": 1000}                  pick in a drop-down list
//   {"menu": "About"}                                        menu bar, then system menu
//   {"broadcast": "querysuspend", "answer": "denied"}        the system asks the window
//   {"wait": 5} or {"wait": {"text": "Update Complete.", "within": 400}}
//   {"draw": true} or {"snapshot": "name"}
#include <algorithm>
#include <cmath>

#include "../core/Process.h"
#include "Agent.h"
#include "Drawing.h"

namespace sim::desktop {

namespace {

using nlohmann::json;

Desktop& D() { return Desktop::Get(); }

struct Expectation {
    std::string window, kind, cursor;
    std::vector<std::string> texts, missing, enabled, disabled;
    double within = 0;
};

struct Step {
    enum Type { kExpect, kPress, kKey, kClose, kPick, kMenu, kBroadcast, kWait, kDraw } type = kDraw;
    json raw;
    std::string text;  // press/menu/pick by text, broadcast name, snapshot name
    int number = -1;   // press by id, pick by index
    bool byNumber = false;
    int key = 0;
    int in = -1;       // pick: the list's control id
    std::string answer;
    double seconds = 0;
    Expectation expect;
    // Progress of a step that takes time.
    bool started = false;
    uint64_t until = 0;
};

const char* const kActions[] = {"expect", "press", "key", "close", "pick", "menu", "broadcast", "wait", "draw", "snapshot"};

struct KeyName {
    const char* name;
    int vk;
};
const KeyName kKeys[] = {{"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB}, {"space", VK_SPACE},
                         {"up", VK_UP},        {"down", VK_DOWN},     {"pagedown", VK_NEXT}, {"pageup", VK_PRIOR}};

int KeyOf(const std::string& name) {
    for (auto& k : kKeys)
        if (name == k.name) return k.vk;
    return 0;
}

class Parser {
public:
    explicit Parser(std::string source) : m_source(std::move(source)) {}

    [[noreturn]] void Fail(size_t index, const std::string& what) const {
        throw ScriptError(m_source + ": step " + std::to_string(index + 1) + ": " + what);
    }

    std::vector<std::string> Texts(size_t i, const json& v, const char* key) const {
        std::vector<std::string> out;
        if (v.is_string()) {
            out.push_back(v.get<std::string>());
        } else if (v.is_number_integer()) {
            out.push_back(std::to_string(v.get<long long>()));
        } else if (v.is_array()) {
            for (auto& e : v) {
                if (!e.is_string() && !e.is_number_integer()) Fail(i, std::string("\"") + key + "\" lists texts or ids");
                out.push_back(e.is_string() ? e.get<std::string>() : std::to_string(e.get<long long>()));
            }
        } else {
            Fail(i, std::string("\"") + key + "\" is a text or a list of texts");
        }
        return out;
    }

    double Seconds(size_t i, const json& v, const char* key) const {
        if (!v.is_number() || v.get<double>() < 0 || v.get<double>() > 86400)
            Fail(i, std::string("\"") + key + "\" is a number of seconds from 0 to 86400");
        return v.get<double>();
    }

    Expectation ReadExpectation(size_t i, const json& e, double defaultWithin) const {
        Expectation x;
        x.within = defaultWithin;
        if (e.is_string()) {
            x.texts.push_back(e.get<std::string>());
            return x;
        }
        if (!e.is_object() || e.empty()) Fail(i, "an expectation is a text or an object of what must show");
        for (auto it = e.begin(); it != e.end(); ++it) {
            const std::string& k = it.key();
            if (k == "window" || k == "kind" || k == "cursor") {
                if (!it->is_string()) Fail(i, "\"" + k + "\" is a text");
                (k == "window" ? x.window : k == "kind" ? x.kind : x.cursor) = it->get<std::string>();
                if (k == "kind" && x.kind != "dialog" && x.kind != "message box" && x.kind != "window")
                    Fail(i, "\"kind\" is \"dialog\", \"message box\" or \"window\"");
            } else if (k == "text") {
                x.texts = Texts(i, *it, "text");
            } else if (k == "missing") {
                x.missing = Texts(i, *it, "missing");
            } else if (k == "enabled") {
                x.enabled = Texts(i, *it, "enabled");
            } else if (k == "disabled") {
                x.disabled = Texts(i, *it, "disabled");
            } else if (k == "within") {
                x.within = Seconds(i, *it, "within");
            } else {
                Fail(i, "unknown expectation \"" + k +
                            "\" (window, text, missing, enabled, disabled, kind, cursor, within)");
            }
        }
        return x;
    }

    Step Read(size_t i, const json& j) const {
        Step s;
        s.raw = j;
        if (j.is_string()) {
            const std::string t = j.get<std::string>();
            if (KeyOf(t)) {
                s.type = Step::kKey;
                s.key = KeyOf(t);
            } else if (t == "close") {
                s.type = Step::kClose;
            } else if (t == "draw") {
                s.type = Step::kDraw;
            } else {
                Fail(i, "unknown step \"" + t + "\" (enter, escape, tab, space, close, draw, or an object)");
            }
            return s;
        }
        if (!j.is_object()) Fail(i, "a step is a text or an object");
        std::string action;
        for (auto it = j.begin(); it != j.end(); ++it) {
            if (std::find(std::begin(kActions), std::end(kActions), it.key()) == std::end(kActions)) continue;
            if (!action.empty()) Fail(i, "one action a step: \"" + action + "\" and \"" + it.key() + "\"");
            action = it.key();
        }
        if (action.empty()) {
            std::string known;
            for (const char* a : kActions) known += (known.empty() ? "" : ", ") + std::string(a);
            Fail(i, "no action (known: " + known + ")");
        }
        auto allow = [&](std::initializer_list<const char*> extra) {
            for (auto it = j.begin(); it != j.end(); ++it) {
                if (it.key() == action) continue;
                if (std::find_if(extra.begin(), extra.end(), [&](const char* e) { return it.key() == e; }) == extra.end())
                    Fail(i, "\"" + it.key() + "\" does not go with \"" + action + "\"");
            }
        };
        const json& v = j[action];
        if (action == "expect") {
            allow({});
            s.type = Step::kExpect;
            s.expect = ReadExpectation(i, v, 0);
        } else if (action == "press" || action == "menu") {
            allow({});
            s.type = action == "press" ? Step::kPress : Step::kMenu;
            if (v.is_number_integer()) {
                s.byNumber = true;
                s.number = v.get<int>();
                s.text = std::to_string(s.number);
            } else if (v.is_string() && !v.get<std::string>().empty()) {
                s.text = v.get<std::string>();
            } else {
                Fail(i, "\"" + action + "\" names a caption or an id");
            }
        } else if (action == "key") {
            allow({});
            if (!v.is_string() || !KeyOf(v.get<std::string>()))
                Fail(i, "\"key\" is one of enter, escape, tab, space, up, down, pagedown, pageup");
            s.type = Step::kKey;
            s.key = KeyOf(v.get<std::string>());
        } else if (action == "close") {
            allow({});
            if (!v.is_boolean() || !v.get<bool>()) Fail(i, "\"close\" is true");
            s.type = Step::kClose;
        } else if (action == "pick") {
            allow({"in"});
            s.type = Step::kPick;
            if (v.is_number_integer() && v.get<int>() >= 0) {
                s.byNumber = true;
                s.number = v.get<int>();
            } else if (v.is_string()) {
                s.text = v.get<std::string>();
            } else {
                Fail(i, "\"pick\" names an entry by its text or its index from 0");
            }
            if (j.contains("in")) {
                if (!j["in"].is_number_integer()) Fail(i, "\"in\" is the list's control id");
                s.in = j["in"].get<int>();
            }
        } else if (action == "broadcast") {
            allow({"answer"});
            s.type = Step::kBroadcast;
            if (!v.is_string() || !FindBroadcast(v.get<std::string>())) {
                std::string names;
                for (auto& n : BroadcastNames()) names += (names.empty() ? "" : ", ") + n;
                Fail(i, "\"broadcast\" is one of " + names);
            }
            s.text = v.get<std::string>();
            if (j.contains("answer")) {
                if (!j["answer"].is_string()) Fail(i, "\"answer\" is a text such as \"refused\" or \"denied\"");
                s.answer = j["answer"].get<std::string>();
            }
        } else if (action == "wait") {
            allow({});
            s.type = Step::kWait;
            if (v.is_number()) {
                s.seconds = Seconds(i, v, "wait");
            } else if (v.is_object()) {
                s.type = Step::kExpect;
                s.expect = ReadExpectation(i, v, 600);
            } else {
                Fail(i, "\"wait\" is a number of seconds or an expectation to wait for");
            }
        } else {  // draw, snapshot
            allow({});
            s.type = Step::kDraw;
            if (action == "snapshot") {
                if (!v.is_string()) Fail(i, "\"snapshot\" names the picture");
                s.text = v.get<std::string>();
            } else if (!v.is_boolean() || !v.get<bool>()) {
                Fail(i, "\"draw\" is true");
            }
        }
        return s;
    }

private:
    std::string m_source;
};

bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

class ScriptedAgent : public UserAgent {
public:
    ScriptedAgent(std::vector<Step> steps, size_t first, bool persist)
        : m_steps(std::move(steps)), m_next(first), m_persist(persist) {}

    std::string Name() const override { return "scripted"; }

    Decision Act(HWND top) override {
        while (m_next < m_steps.size()) {
            Step& s = m_steps[m_next];
            const uint64_t now = Proc().scheduler().Now();
            switch (s.type) {
                case Step::kExpect: {
                    std::string why;
                    if (Holds(top, s.expect, why)) {
                        Proc().Log("user: sees what step " + std::to_string(m_next + 1) + " expects in " +
                                   D().Describe(top));
                        Advance();
                        continue;
                    }
                    if (!s.started) {
                        s.started = true;
                        s.until = now + static_cast<uint64_t>(std::llround(s.expect.within * 1000));
                    }
                    if (now < s.until) return {Decision::kWaitUntil, s.until};
                    Fail(top, why);
                }
                case Step::kWait:
                    if (!s.started) {
                        s.started = true;
                        s.until = now + static_cast<uint64_t>(std::llround(s.seconds * 1000));
                        Proc().Log("user: waits " + s.raw["wait"].dump() + " s");
                    }
                    if (now < s.until) return {Decision::kWaitUntil, s.until};
                    Advance();
                    continue;
                case Step::kDraw: {
                    Proc().Log("screen: " + D().Describe(top));
                    for (auto& line : DrawLines(top)) Proc().Log("  " + line);
                    if (!D().snapshotDir.empty()) Proc().Log("screen: saved " + WriteSnapshot(top, D().snapshotDir));
                    Advance();
                    continue;
                }
                case Step::kPress: {
                    HWND button = FindButton(top, s);
                    std::string why;
                    if (!button) Fail(top, D().Describe(top) + " has no button " + Quote(s.text));
                    if (!ClickButton(button, why)) Fail(top, why);
                    Advance();
                    return {Decision::kActed, 0};
                }
                case Step::kKey:
                    PressKey(top, s.key);
                    Advance();
                    return {Decision::kActed, 0};
                case Step::kClose: {
                    std::string why;
                    ClickCloseBox(top, why);  // without a close box the user finds none and goes on
                    Advance();
                    return {Decision::kActed, 0};
                }
                case Step::kPick: {
                    std::string why;
                    HWND combo = FindList(top, s);
                    if (!combo) Fail(top, D().Describe(top) + " has no such drop-down list");
                    int index = s.byNumber ? s.number : IndexOf(combo, s.text);
                    if (index < 0) Fail(top, "the list has no entry " + Quote(s.text));
                    if (!PickEntry(combo, index, why)) Fail(top, why);
                    Advance();
                    return {Decision::kActed, 0};
                }
                case Step::kMenu: {
                    std::string why;
                    if (!ChooseMenu(top, s.text, why)) Fail(top, why);
                    Advance();
                    return {Decision::kActed, 0};
                }
                case Step::kBroadcast: {
                    LRESULT result = 0;
                    std::string answer = SendBroadcast(top, *FindBroadcast(s.text), result);
                    if (!s.answer.empty() && answer != s.answer)
                        Fail(top, "the answer was " + Quote(answer) + ", not " + Quote(s.answer));
                    Advance();
                    return {Decision::kActed, 0};
                }
            }
        }
        return {};
    }

    std::string Stuck() const override {
        return m_next >= m_steps.size() ? "the script has no steps left" : "the script cannot go on";
    }

private:
    static std::string Quote(const std::string& s) { return "\"" + s + "\""; }

    void Advance() {
        ++m_next;
        if (m_persist) Proc().machine().scriptStep = static_cast<uint32_t>(m_next);
    }

    [[noreturn]] void Fail(HWND top, const std::string& why) {
        auto& proc = Proc();
        proc.Log("screen: " + D().Describe(top));
        for (auto& line : DrawLines(top)) proc.Log("  " + line);
        D().Fail("script step " + std::to_string(m_next + 1) + " " + m_steps[m_next].raw.dump() + " failed in " +
                     D().Describe(top) + ": " + why,
                 71);
    }

    static std::string VisibleText(HWND top, std::vector<std::string>* parts) {
        std::string all;
        Window* t = D().Find(top);
        if (t) {
            parts->push_back(D().Utf8(t->text));
            for (auto& v : VisibleControls(top)) parts->push_back(v.text);
        }
        for (auto& p : *parts) all += p + "\n";
        return all;
    }

    bool Holds(HWND top, const Expectation& x, std::string& why) {
        Desktop& d = D();
        Window* t = d.Find(top);
        std::vector<std::string> parts;
        const std::string all = VisibleText(top, &parts);
        std::string shows;
        for (auto& p : parts)
            if (!p.empty()) shows += (shows.empty() ? "" : ", ") + Quote(p);
        const std::string where = d.Describe(top) + " (it shows " + shows + ")";
        if (!x.window.empty() && !Contains(d.Utf8(t->text), x.window)) {
            why = "expected the window " + Quote(x.window) + ", but the user sees " + where;
            return false;
        }
        if (!x.kind.empty()) {
            std::string kind = t->dialog && t->dialog->messageBox ? "message box" : t->dialog ? "dialog" : "window";
            if (kind != x.kind) {
                why = "expected a " + x.kind + ", but the user sees " + where;
                return false;
            }
        }
        for (auto& text : x.texts)
            if (!Contains(all, text)) {
                why = "expected the text " + Quote(text) + " in " + where;
                return false;
            }
        for (auto& text : x.missing)
            if (Contains(all, text)) {
                why = "expected no " + Quote(text) + " in " + where;
                return false;
            }
        for (int pass = 0; pass < 2; ++pass) {
            const auto& list = pass == 0 ? x.enabled : x.disabled;
            for (auto& name : list) {
                HWND c = FindControl(top, name);
                if (!c) {
                    why = "expected a control " + Quote(name) + " in " + where;
                    return false;
                }
                bool enabled = d.IsEnabled(c) && d.IsEnabled(top);
                if (enabled != (pass == 0)) {
                    why = "expected " + Quote(name) + " to be " + (pass == 0 ? "enabled" : "disabled") + " in " + where;
                    return false;
                }
            }
        }
        if (!x.cursor.empty() && Desktop::CursorName(d.cursor) != x.cursor) {
            why = "expected the " + x.cursor + " cursor, but it is the " + Desktop::CursorName(d.cursor) + " cursor";
            return false;
        }
        return true;
    }

    static HWND FindControl(HWND top, const std::string& name) {
        for (auto& v : VisibleControls(top))
            if (v.text == name || std::to_string(v.id) == name) return v.hwnd;
        return nullptr;
    }

    static HWND FindButton(HWND top, const Step& s) {
        for (auto& v : VisibleControls(top)) {
            if (v.kind != Kind::Button) continue;
            if (s.byNumber ? v.id == s.number : v.text == s.text) return v.hwnd;
        }
        return nullptr;
    }

    static HWND FindList(HWND top, const Step& s) {
        for (auto& v : VisibleControls(top))
            if (v.kind == Kind::ComboBox && (s.in < 0 || v.id == s.in)) return v.hwnd;
        return nullptr;
    }

    static int IndexOf(HWND combo, const std::string& text) {
        Window* w = D().Find(combo);
        for (size_t i = 0; i < w->combo.items.size(); ++i)
            if (Contains(D().Utf8(w->combo.items[i]), text)) return static_cast<int>(i);
        return -1;
    }

    std::vector<Step> m_steps;
    size_t m_next;
    bool m_persist;
};

}  // namespace

std::unique_ptr<UserAgent> MakeScriptedAgent(const json& steps, const std::string& source, size_t firstStep,
                                             bool persistProgress) {
    if (!steps.is_array()) throw ScriptError(source + ": a script is a list of steps");
    Parser parser(source);
    std::vector<Step> list;
    for (size_t i = 0; i < steps.size(); ++i) list.push_back(parser.Read(i, steps[i]));
    if (firstStep > list.size()) firstStep = list.size();
    return std::make_unique<ScriptedAgent>(std::move(list), firstStep, persistProgress);
}

}  // namespace sim::desktop
