// What a waiting dialog refuses, and what it must let through.
#include <gtest/gtest.h>

#include "ui/GuardedDialog.h"

namespace {

TEST(GuardedDialog, RefusesEndSessionAndSuspendQueriesOnly) {
    struct Case {
        UINT message;
        WPARAM wParam;
        bool refused;
        LRESULT answer;
    };
    const Case cases[] = {
        {WM_QUERYENDSESSION, 0, true, 0},
        {WM_ENDSESSION, TRUE, true, 0},
        {WM_ENDSESSION, FALSE, true, 0},
        {WM_POWER, PWR_SUSPENDREQUEST, true, PWR_FAIL},
        {WM_POWER, PWR_SUSPENDRESUME, false, 0},
        {WM_POWER, PWR_CRITICALRESUME, false, 0},
        {WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, true, BROADCAST_QUERY_DENY},
        {WM_POWERBROADCAST, PBT_APMQUERYSTANDBY, true, BROADCAST_QUERY_DENY},
        {WM_POWERBROADCAST, PBT_APMQUERYSUSPENDFAILED, false, 0},
        {WM_POWERBROADCAST, PBT_APMSUSPEND, false, 0},
        {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, false, 0},
        {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, false, 0},
        {WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, false, 0},
        {WM_CLOSE, 0, false, 0},
        {WM_COMMAND, IDCANCEL, false, 0},
    };
    for (const Case& c : cases) {
        LRESULT lResult = 12345;
        EXPECT_EQ(RefuseWhileWaiting(c.message, c.wParam, &lResult) != FALSE, c.refused)
            << std::hex << c.message << " " << c.wParam;
        EXPECT_EQ(lResult, c.refused ? c.answer : 12345) << std::hex << c.message << " " << c.wParam;
    }
}

}  // namespace
