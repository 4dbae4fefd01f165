// The user in front of the simulated screen. When a thread that owns the
// foreground window would wait for messages, the desktop asks the agent
// what the user does: act now, wait until a moment, or nothing at all.
#pragma once
#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "Desktop.h"

namespace sim::desktop {

class UserAgent {
public:
    virtual ~UserAgent() = default;
    virtual std::string Name() const = 0;
    // The calling thread owns window, the foreground window, and would wait.
    virtual Decision Act(HWND window) = 0;
    // Why the user can do nothing more, for the report of a hopeless wait.
    virtual std::string Stuck() const { return "the user can do nothing there"; }
};

// What the user can see of one control.
struct ControlView {
    HWND hwnd = nullptr;
    int id = 0;
    Kind kind = Kind::Window;
    std::string text;  // UTF-8, mnemonics removed; a combo box: its selection
    bool enabled = false;
    bool isDefault = false;  // a default push button
    bool pushButton = false;
};

// The visible controls of a top-level window, in tab order.
std::vector<ControlView> VisibleControls(HWND top);
// The default push button of a dialog, or null.
HWND DefaultButton(HWND top);

// What the user does, each written to the transcript. They post the input
// a real user's keyboard or mouse would produce, or send what the system
// would send, and return false (with the reason in why) when the user
// cannot do it at all.
bool ClickButton(HWND button, std::string& why);
void PressKey(HWND top, int vk);
bool ClickCloseBox(HWND top, std::string& why);
bool PickEntry(HWND combo, int index, std::string& why);
bool ChooseMenu(HWND top, const std::string& item, std::string& why);

// System broadcasts: the message, its parameters and how the answer reads.
struct Broadcast {
    std::string name;  // as a script names it
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
const Broadcast* FindBroadcast(const std::string& name);
std::vector<std::string> BroadcastNames();
// Sends it to top and returns the answer as the transcript words it
// ("refused", "allowed", ...); result gets the raw value.
std::string SendBroadcast(HWND top, const Broadcast& b, LRESULT& result);

// Captions that read like consent, in English and Japanese (UTF-8).
bool ReadsLikeConsent(const std::string& caption);

// The agents.
std::unique_ptr<UserAgent> MakeConsentingAgent();
std::unique_ptr<UserAgent> MakeTerminalAgent();
std::unique_ptr<UserAgent> MakeIdleAgent();  // a user who never does anything
// Steps as a script lists them; source names the list in errors. Throws
// ScriptError for a malformed list. firstStep: steps already done.
std::unique_ptr<UserAgent> MakeScriptedAgent(const nlohmann::json& steps, const std::string& source,
                                             size_t firstStep, bool persistProgress);
// The agent WINSIM_AGENT names (consenting when unset).
std::unique_ptr<UserAgent> AgentFromEnvironment();

class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace sim::desktop
