// The program's dialogs on the simulated desktop: a probe that sees which
// of the guarded messages reached the framework, and what the system heard
// once a button had ended the dialog.
#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Text.h"
#include "mfc_dialog_fixture.h"

namespace ui_test {

// The system's requests in the desktop's order, and how the answers read.
inline std::vector<std::string> SendAllBroadcasts(HWND hWnd) {
    std::vector<std::string> answers;
    for (const std::string& name : sim::desktop::BroadcastNames()) {
        LRESULT lResult = 0;
        answers.push_back(name + ": " + sim::desktop::SendBroadcast(hWnd, *sim::desktop::FindBroadcast(name), lResult));
    }
    return answers;
}

inline bool IsGuardedMessage(UINT message) {
    return message == WM_QUERYENDSESSION || message == WM_ENDSESSION || message == WM_POWER ||
           message == WM_POWERBROADCAST;
}

struct ProbeState {
    UINT nIDTemplate = 0;
    // Guarded messages that reached the framework's handling, by broadcast.
    std::vector<std::pair<UINT, WPARAM>> reached;
    // Broadcasts sent right after the command that set m_bEnding.
    std::vector<std::string> answersAfterEnd;
    std::vector<std::pair<UINT, WPARAM>> reachedAfterEnd;
};

template <class T>
class Probe : public T {
public:
    explicit Probe(ProbeState* pState) : m_pState(pState) { pState->nIDTemplate = this->m_nIDTemplate; }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        if (IsGuardedMessage(message)) m_pState->reached.push_back({message, wParam});
        BOOL bHandled = T::OnWndMsg(message, wParam, lParam, pResult);
        if (message == WM_COMMAND && this->m_bEnding && m_pState->answersAfterEnd.empty()) {
            const size_t nBefore = m_pState->reached.size();
            m_pState->answersAfterEnd = SendAllBroadcasts(this->m_hWnd);
            m_pState->reachedAfterEnd.assign(m_pState->reached.begin() + nBefore, m_pState->reached.end());
            m_pState->reached.resize(nBefore);
        }
        return bHandled;
    }

private:
    ProbeState* m_pState;
};

// What a refusing dialog and the default handling answer, in the order of
// SendAllBroadcasts.
inline std::vector<std::string> RefusedAnswers() {
    return {"queryendsession: refused", "logoff: refused",        "endsession: noted",     "suspendrequest: refused",
            "querysuspend: denied",     "querystandby: denied",   "resumesuspend: noted"};
}
inline std::vector<std::string> DefaultAnswers() {
    return {"queryendsession: allowed", "logoff: allowed",        "endsession: noted",     "suspendrequest: allowed",
            "querysuspend: allowed",    "querystandby: allowed",  "resumesuspend: noted"};
}
// The only broadcast a waiting dialog passes on: the resume notification.
inline std::vector<std::pair<UINT, WPARAM>> PassedWhileWaiting() {
    return {{WM_POWERBROADCAST, PBT_APMRESUMESUSPEND}};
}
inline std::vector<std::pair<UINT, WPARAM>> PassedOnceEnding() {
    return {{WM_QUERYENDSESSION, 0},
            {WM_QUERYENDSESSION, 0},
            {WM_ENDSESSION, TRUE},
            {WM_POWER, PWR_SUSPENDREQUEST},
            {WM_POWERBROADCAST, PBT_APMQUERYSUSPEND},
            {WM_POWERBROADCAST, PBT_APMQUERYSTANDBY},
            {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND}};
}

// A control as the user sees it: "static 102: text", "button 1: OK",
// "<button 1006: CANCEL>" for the default push button; texts in UTF-8.
inline std::vector<std::string> Shown(HWND top) {
    std::vector<std::string> out;
    for (const sim::desktop::ControlView& v : sim::desktop::VisibleControls(top)) {
        const char* kind = v.kind == sim::desktop::Kind::Static   ? "static"
                           : v.kind == sim::desktop::Kind::Button ? "button"
                           : v.kind == sim::desktop::Kind::Edit   ? "edit"
                                                                  : "other";
        std::string line = std::string(kind) + " " + std::to_string(v.id) + ": " + v.text;
        out.push_back(v.isDefault ? "<" + line + ">" : line);
    }
    return out;
}

inline std::string Utf8(const std::string& text, unsigned codePage) { return sim::ToUtf8(text, codePage); }

}  // namespace ui_test
