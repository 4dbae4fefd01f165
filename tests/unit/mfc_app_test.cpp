// CWinApp: the names it takes from the executable's image path, the one
// application object, and the entry point that drives InitInstance,
// ExitInstance and Run.
#include <gtest/gtest.h>

#include <string>

#include "afx.h"
#include "core/Process.h"

namespace {

void BootWithImage(const std::string& imagePath) {
    sim::Machine m = sim::Machine::Default();
    m.imagePath = imagePath;
    sim::Process::Boot(m);
}

TEST(AppNamesTest, ComeFromTheImagePathWithoutDirectoryAndExtension) {
    const std::string longDir = "C:\\" + std::string(249, 'd');
    struct Case {
        std::string imagePath;
        const char* name;
    } cases[] = {
        {"C:\\WINQOR\\WINQOR.EXE", "WINQOR"},
        {"C:\\Program Files\\Valtora v1.2\\winqor.v2.exe", "winqor.v2"},
        {"D:\\tools.d\\winqor", "winqor"},
        {"WINQOR.EXE", "WINQOR"},
        {"A:WINQOR.EXE", "WINQOR"},
        {"C:\\WINQOR\\.EXE", ""},
        // 261 characters: the module name comes back cut to 260, without its zero.
        {longDir + "\\WINQOR.EXE", "WINQOR"},
    };
    for (const auto& c : cases) {
        BootWithImage(c.imagePath);
        CWinApp app;
        ASSERT_NE(app.m_pszAppName, nullptr) << c.imagePath;
        ASSERT_NE(app.m_pszExeName, nullptr) << c.imagePath;
        EXPECT_STREQ(app.m_pszAppName, c.name) << c.imagePath;
        EXPECT_STREQ(app.m_pszExeName, c.name) << c.imagePath;
        EXPECT_EQ(app.m_pszRegistryKey, nullptr);
        EXPECT_EQ(std::string(app.m_pszProfileName), std::string(c.name) + ".INI");
    }
}

TEST(AppNamesTest, GivenNameIsTheAppNameButNotTheExeName) {
    BootWithImage("C:\\WINQOR\\WINQOR.EXE");
    CWinApp app("Firmware Update Utility");
    EXPECT_STREQ(app.m_pszAppName, "Firmware Update Utility");
    EXPECT_STREQ(app.m_pszExeName, "WINQOR");
}

TEST(AppNamesTest, RegistryKeyMakesTheAppNameTheProfile) {
    BootWithImage("C:\\WINQOR\\WINQOR.EXE");
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    EXPECT_STREQ(app.m_pszRegistryKey, "Valtora_ODD");
    EXPECT_STREQ(app.m_pszProfileName, "WINQOR");
    app.SetRegistryKey("Other");
    EXPECT_STREQ(app.m_pszRegistryKey, "Other");
    EXPECT_STREQ(app.m_pszProfileName, "WINQOR");
}

TEST(AppObjectTest, TheConstructedApplicationIsTheOneAfxGetAppReturns) {
    sim::Process::Boot(sim::Machine::Default());
    {
        CWinApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_FALSE(app.m_bAutoDelete);
        EXPECT_EQ(app.m_pMainWnd, nullptr);
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

class ScriptedApp : public CWinApp {
public:
    explicit ScriptedApp(BOOL init) : m_bInit(init) {}
    BOOL InitInstance() override {
        m_log += "init;";
        return m_bInit;
    }
    int ExitInstance() override {
        m_log += "exit;";
        return m_bInit ? 3 : 7;
    }
    int Run() override {
        m_log += "run;";
        return CWinApp::Run();
    }
    BOOL m_bInit;
    std::string m_log;
};

TEST(AppEntryTest, WinMainRunsTheApplicationAndReturnsItsExitCode) {
    sim::Process::Boot(sim::Machine::Default());
    struct Case {
        BOOL init;
        const char* log;
        int code;
    } cases[] = {
        // The updater's road: InitInstance always fails, ExitInstance gives the code.
        {FALSE, "init;exit;", 7},
        {TRUE, "init;run;exit;", 3},
    };
    for (const auto& c : cases) {
        ScriptedApp app(c.init);
        char cmdLine[] = "";
        HINSTANCE instance = GetModuleHandleA(NULL);
        EXPECT_EQ(WinMain(instance, NULL, cmdLine, 1), c.code);
        EXPECT_EQ(app.m_log, c.log);
        EXPECT_EQ(app.m_hInstance, instance);
        EXPECT_EQ(app.m_lpCmdLine, cmdLine);
        EXPECT_EQ(app.m_nCmdShow, 1);
    }
}

TEST(AppEntryTest, WinMainWithoutApplicationObjectFails) {
    ASSERT_EQ(AfxGetApp(), nullptr);
    char cmdLine[] = "";
    EXPECT_EQ(WinMain(NULL, NULL, cmdLine, 1), -1);
}

TEST(AppEntryTest, PlainApplicationEndsWithZero) {
    sim::Process::Boot(sim::Machine::Default());
    CWinApp app;
    char cmdLine[] = "";
    EXPECT_EQ(WinMain(NULL, NULL, cmdLine, 1), 0);
}

}  // namespace
