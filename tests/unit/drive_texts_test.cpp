// The texts of failed drive commands: the three status tables the ASPI
// composer uses, the ASPI composer itself and its error box. The
// pass-through texts are checked through the transport (drive_spti_test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Process.h"
#include "drive/DriveErrorText.h"
#include "drive_machine.h"

namespace {

using drivetest::BoxesAndBeeps;

class DriveTextTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Process::Boot(sim::Machine::Default()); }
};

struct ComposeCase {
    BYTE status, haStat, targStat;
    const char* expected;
};

TEST_F(DriveTextTest, AspiComposerDescribesEachStatusAfterTheCommandName) {
    const ComposeCase cases[] = {
        {0x00, 0, 0, "Inquiry Status : Aspi Timeout Error."},
        {0x02, 0, 0, "Inquiry Status : Aborted."},
        {0x03, 0, 0, "Inquiry Status : Failed Abort."},
        {0x81, 0, 0, "Inquiry Status : Invalid Ha."},
        {0x82, 0, 0, "Inquiry Status : No Device."},
        {0xE0, 0, 0, "Inquiry Status : Invalid SRB."},
        {0xE4, 0, 0, "Inquiry Status : Faild Initailize."},
        {0xE5, 0, 0, "Inquiry Status : Aspi is busy."},
        {0xFD, 0, 0, "Inquiry Status : This target is executing now."},
        {0xFE, 0, 0, "Inquiry Status : Memory Allocation Error."},
        {0xFF, 0, 0, "Inquiry Status : Data Compare Error."},
        // SS_ERR: the host adapter status wins over the target status.
        {0x04, 0x11, 0x02, "Inquiry Status : Selection timeout."},
        {0x04, 0x12, 0, "Inquiry Status : Overrun or Underrun."},
        {0x04, 0x13, 0, "Inquiry Status : Busfree ditect."},
        {0x04, 0x14, 0, "Inquiry Status : Phase Error."},
        {0x04, 0x20, 0, "Inquiry Status : Unknown Ha status:20"},
        {0x04, 0, 0x08, "Inquiry Status : Target Busy."},
        {0x04, 0, 0x18, "Inquiry Status : Request Conflict."},
        // The ASPI table lacks the codes only the pass-through table has.
        {0x04, 0, 0x28, "Inquiry Status : Unknown Target status:28"},
        {0x04, 0, 0x04, "Inquiry Status : Unknown Target status:04"},
        {0x04, 0, 0, "Inquiry Status : Scsi Error."},
    };
    for (const ComposeCase& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_STREQ(c.expected, ComposeAspiErrorText("Inquiry", c.status, c.haStat, c.targStat, 0x3A, 0, 0x55));
    }
    EXPECT_TRUE(BoxesAndBeeps().empty()) << "statuses with a text of their own show no box";
}

TEST_F(DriveTextTest, AspiCheckConditionAppendsTheSenseText) {
    EXPECT_STREQ("Read(Group1)(10)(1) Status : Check Condition. 3A-00 (5C)",
                 ComposeAspiErrorText("Read(Group1)(10)(1)", 0x04, 0, 0x02, 0x3A, 0x00, 0x5C));
    EXPECT_STREQ(" 04-3E (00)", FormatSenseText(0x04, 0x3E, 0x00));
}

TEST_F(DriveTextTest, AspiStatusWithoutACaseShowsTheErrorBoxAfterABeep) {
    EXPECT_STREQ("Send Diagnostic Status : ASPI Error", ComposeAspiErrorText("Send Diagnostic", 0xE6, 0, 0, 0, 0, 0));
    EXPECT_STREQ("Inquiry Status : ASPI Error", ComposeAspiErrorText("Inquiry", 0x80, 0, 0, 0, 0, 0));
    const std::vector<std::string> expected = {
        "beep 0x30",
        "message box \"Firmware Update Utility\": \"Aspi Error : Buffer size is too big.\" -> OK",
        "beep 0x30",
        "message box \"Firmware Update Utility\": \"Aspi Error : Timeout.\" -> OK",
    };
    EXPECT_EQ(expected, BoxesAndBeeps());
}

TEST_F(DriveTextTest, AspiStatusTextsEndInTimeoutForUnlistedCodes) {
    const std::pair<BYTE, const char*> cases[] = {
        {0x02, "Aborted."},     {0x04, "Error."},         {0x81, "Invalid HA."},
        {0x82, "No Device."},   {0xE0, "Invalid SRB."},   {0xE4, "Faild Initailize."},
        {0xE5, "ASPI is busy."}, {0xE6, "Buffer size is too big."}, {0x01, "Timeout."},
        {0x80, "Timeout."},     {0x00, "Timeout."},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.second, AspiStatusText(c.first)) << int(c.first);
}

TEST_F(DriveTextTest, TargetStatusTablesDifferBetweenTheTransports) {
    struct Row {
        BYTE code;
        const char* aspi;
        const char* spti;
    };
    const Row rows[] = {
        {0x02, "Check Condition.", "Check Condition."},
        {0x04, "Unknown Target status:04", "Condition Met."},
        {0x08, "Target Busy.", "Target Busy."},
        {0x10, "Unknown Target status:10", "Intermediate."},
        {0x14, "Unknown Target status:14", "Intermediate-Condition Met."},
        {0x18, "Request Conflict.", "Reservation Conflict."},
        {0x22, "Unknown Target status:22", "Command Terminated."},
        {0x28, "Unknown Target status:28", "Queue Full."},
        {0x30, "Unknown Target status:30", "Unknown Target status:30"},
        {0xFF, "Unknown Target status:FF", "Unknown Target status:FF"},
    };
    for (const Row& r : rows) {
        EXPECT_STREQ(r.aspi, AspiTargetStatusText(r.code)) << int(r.code);
        EXPECT_STREQ(r.spti, SptiTargetStatusText(r.code)) << int(r.code);
    }
}

}  // namespace
