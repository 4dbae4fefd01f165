// The registry's machine-file form and its direct model API.
#include <gtest/gtest.h>

#include "core/Machine.h"
#include "registry/Registry.h"

namespace {

using nlohmann::json;
using sim::Hive;
using sim::RegValue;

RegValue Raw(uint32_t type, const std::string& bytes) {
    return RegValue{type, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

TEST(RegistryFile, EveryValueFormLoadsAndSavesBackInItsShortestExactForm) {
    const json file = json::parse(R"({
        "SOFTWARE\\Vendor\\App": {
            "": "default",
            "Text": "hello",
            "Empty": "",
            "Number": {"dword": 4294967295},
            "Bytes": {"binary": "00FFa5"},
            "Unterminated": {"type": 1, "hex": "616263"},
            "Short dword": {"type": 4, "hex": "0102"},
            "Multi": {"type": 7, "hex": "610062000000"},
            "Spelled long": {"type": 1, "hex": "7a00"}
        },
        "SOFTWARE\\Empty key": {},
        "SYSTEM\\A\\B\\C": {"n": {"dword": 0}}
    })");
    sim::Registry reg;
    reg.LoadLocalMachine(file);

    const std::string path = "software\\VENDOR\\app";
    EXPECT_EQ(RegValue::Sz("default"), reg.GetValue("", Hive::LocalMachine, path, ""));
    EXPECT_EQ(Raw(1, std::string("hello", 6)), reg.GetValue("", Hive::LocalMachine, path, "text"));
    EXPECT_EQ(Raw(1, std::string(1, '\0')), reg.GetValue("", Hive::LocalMachine, path, "Empty"));
    EXPECT_EQ(Raw(4, "\xFF\xFF\xFF\xFF"), reg.GetValue("", Hive::LocalMachine, path, "Number"));
    EXPECT_EQ(Raw(3, std::string("\x00\xFF\xA5", 3)), reg.GetValue("", Hive::LocalMachine, path, "Bytes"));
    EXPECT_EQ(Raw(1, "abc"), reg.GetValue("", Hive::LocalMachine, path, "Unterminated"));
    EXPECT_EQ(Raw(4, "\x01\x02"), reg.GetValue("", Hive::LocalMachine, path, "Short dword"));
    EXPECT_EQ(Raw(7, std::string("a\0b\0\0\0", 6)), reg.GetValue("", Hive::LocalMachine, path, "Multi"));
    EXPECT_TRUE(reg.KeyExists("", Hive::LocalMachine, "SOFTWARE\\Empty key"));
    EXPECT_TRUE(reg.KeyExists("", Hive::LocalMachine, "SYSTEM\\A"));  // parents are implied

    json expected = file;
    expected["SOFTWARE\\Vendor\\App"]["Bytes"] = {{"binary", "00ffa5"}};
    expected["SOFTWARE\\Vendor\\App"]["Spelled long"] = "z";
    EXPECT_EQ(expected, reg.SaveLocalMachine());

    sim::Registry again;
    again.LoadLocalMachine(reg.SaveLocalMachine());
    EXPECT_EQ(reg.SaveLocalMachine(), again.SaveLocalMachine());
}

TEST(RegistryFile, StringsThatAreNotPlainTextSaveAsBytes) {
    sim::Registry reg;
    reg.SetValue("", Hive::LocalMachine, "K", "embedded zero", Raw(1, std::string("a\0b\0", 4)));
    reg.SetValue("", Hive::LocalMachine, "K", "code page bytes", Raw(1, std::string("\x82\xA0\0", 3)));
    reg.SetValue("", Hive::LocalMachine, "K", "no bytes", Raw(1, ""));
    const json saved = reg.SaveLocalMachine();
    EXPECT_EQ((json{{"type", 1}, {"hex", "61006200"}}), saved["K"]["embedded zero"]);
    EXPECT_EQ((json{{"type", 1}, {"hex", "82a000"}}), saved["K"]["code page bytes"]);
    EXPECT_EQ((json{{"type", 1}, {"hex", ""}}), saved["K"]["no bytes"]);
}

TEST(RegistryFile, NamesThatCannotBeWrittenAsTextAreAnError) {
    sim::Registry reg;
    reg.CreateKey("User", Hive::CurrentUser, "Software\\\x82\xA0");
    try {
        reg.SaveUser("User");
        FAIL() << "saved a key name that is not UTF-8";
    } catch (const sim::MachineFileError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("/users/User/registry")) << e.what();
    }
}

struct BadHive {
    const char* text;
    const char* where;
    const char* what;
};

const BadHive kBadHives[] = {
    {R"([])", "/registry", "expected an object"},
    {R"({"A": 5})", "/registry/A", "expected an object of values"},
    {R"({"A": {"v": 5}})", "/registry/A/v", "expected a text"},
    {R"({"A": {"v": null}})", "/registry/A/v", "expected a text"},
    {R"({"A": {"v": {"dword": 4294967296}}})", "/registry/A/v/dword", "out of range"},
    {R"({"A": {"v": {"dword": -1}}})", "/registry/A/v/dword", "out of range"},
    {R"({"A": {"v": {"dword": "1"}}})", "/registry/A/v/dword", "expected a whole number"},
    {R"({"A": {"v": {"dword": 1.5}}})", "/registry/A/v/dword", "expected a whole number"},
    {R"({"A": {"v": {"binary": "0g"}}})", "/registry/A/v/binary", "not a hex digit"},
    {R"({"A": {"v": {"binary": "abc"}}})", "/registry/A/v/binary", "odd number"},
    {R"({"A": {"v": {"binary": 12}}})", "/registry/A/v/binary", "expected a text of hex digits"},
    {R"({"A": {"v": {"type": 1}}})", "/registry/A/v", "expected a text"},
    {R"({"A": {"v": {"type": 1, "hex": "", "x": 1}}})", "/registry/A/v", "expected a text"},
    {R"({"A": {"v": {"type": -3, "hex": ""}}})", "/registry/A/v/type", "out of range"},
    {R"({"A\\\\B": {}})", "/registry/A\\\\B", "empty key name"},
    {R"({"\\A": {}})", "/registry/\\A", "empty key name"},
    {R"({"A\\": {}})", "/registry/A\\", "empty key name"},
    {R"({"A": {"v": "1", "V": "2"}})", "/registry/A/v", "value given twice"},
};

TEST(RegistryFile, BadInputNamesThePlace) {
    for (const auto& c : kBadHives) {
        SCOPED_TRACE(c.text);
        sim::Registry reg;
        try {
            reg.LoadLocalMachine(json::parse(c.text));
            ADD_FAILURE() << "accepted";
        } catch (const sim::MachineFileError& e) {
            std::string message = e.what();
            EXPECT_EQ(0u, message.find(std::string(c.where) + ": ")) << message;
            EXPECT_NE(std::string::npos, message.find(c.what)) << message;
        }
    }
    sim::Registry reg;
    const std::string longName(256, 'k');
    EXPECT_THROW(reg.LoadLocalMachine(json{{longName, json::object()}}), sim::MachineFileError);
    EXPECT_NO_THROW(reg.LoadLocalMachine(json{{longName.substr(1), json::object()}}));
}

TEST(RegistryFile, MachineFileCarriesEachUsersHive) {
    const std::string text = R"({
        "user": "Alice",
        "users": {"Alice": {"registry": {"Software\\Run": {"x": "a"}}},
                  "Bob": {"admin": false, "registry": {"Software": {"n": {"dword": 2}}}}},
        "registry": {"SOFTWARE\\VALTORA_ODD_WINQOR": {}}
    })";
    sim::Machine m = sim::Machine::Parse(text, "test.json");
    EXPECT_EQ((std::vector<std::string>{"Alice", "Bob"}), m.registry.Users());
    EXPECT_EQ(RegValue::Sz("a"), m.registry.GetValue("Alice", Hive::CurrentUser, "Software\\Run", "x"));
    EXPECT_FALSE(m.registry.GetValue("Bob", Hive::CurrentUser, "Software\\Run", "x"));
    EXPECT_EQ(RegValue::Dword(2), m.registry.GetValue("Bob", Hive::CurrentUser, "Software", "n"));

    sim::Machine back = sim::Machine::FromJson(m.ToJson(), "again");
    EXPECT_EQ(m.ToJson(), back.ToJson());

    try {
        sim::Machine::Parse(R"({"users": {"Bob": {"registry": {"K": {"v": {"binary": "x"}}}}}})", "bad.json");
        FAIL() << "accepted";
    } catch (const sim::MachineFileError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("/users/Bob/registry/K/v/binary")) << e.what();
    }
}

TEST(RegistryModel, SubkeysSortLikeNTAndKeepTheirCase) {
    sim::Registry reg;
    for (const char* name : {"c", "  2", "A", "10", " 12", "b", "  1", "a", "_x", "Z"})
        reg.CreateKey("", Hive::LocalMachine, std::string("K\\") + name);
    // '_' sorts after the letters because names are compared upper-cased.
    EXPECT_EQ((std::vector<std::string>{"  1", "  2", " 12", "10", "A", "b", "c", "Z", "_x"}),
              reg.Subkeys("", Hive::LocalMachine, "k"));
}

TEST(RegistryModel, ValuesKeepTheirFirstPlaceAndName) {
    sim::Registry reg;
    reg.SetValue("U", Hive::CurrentUser, "K", "b", RegValue::Dword(1));
    reg.SetValue("U", Hive::CurrentUser, "K", "a", RegValue::Dword(2));
    reg.SetValue("U", Hive::CurrentUser, "K", "B", RegValue::Dword(3));
    auto values = reg.Values("U", Hive::CurrentUser, "K");
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ("b", values[0].first);
    EXPECT_EQ(RegValue::Dword(3), values[0].second);
    EXPECT_EQ("a", values[1].first);

    EXPECT_TRUE(reg.DeleteValue("U", Hive::CurrentUser, "k", "A"));
    EXPECT_FALSE(reg.DeleteValue("U", Hive::CurrentUser, "k", "A"));
    EXPECT_EQ(1u, reg.Values("U", Hive::CurrentUser, "K").size());
}

TEST(RegistryModel, HivesAreSeparate) {
    sim::Registry reg;
    reg.SetValue("Alice", Hive::CurrentUser, "K", "v", RegValue::Dword(1));
    reg.SetValue("", Hive::DynData, "K", "v", RegValue::Dword(2));
    EXPECT_FALSE(reg.KeyExists("Bob", Hive::CurrentUser, "K"));
    EXPECT_FALSE(reg.KeyExists("", Hive::LocalMachine, "K"));
    EXPECT_EQ(RegValue::Dword(2), reg.GetValue("Alice", Hive::DynData, "K", "v"));

    reg.ClearDynData();
    EXPECT_FALSE(reg.KeyExists("", Hive::DynData, "K"));
    EXPECT_TRUE(reg.KeyExists("Alice", Hive::CurrentUser, "K"));
}

TEST(RegistryModel, DeleteKeyTreeTakesTheWholeBranch) {
    sim::Registry reg;
    reg.SetValue("", Hive::LocalMachine, "A\\B\\C", "v", RegValue::Dword(1));
    reg.CreateKey("", Hive::LocalMachine, "A\\D");
    EXPECT_TRUE(reg.DeleteKeyTree("", Hive::LocalMachine, "a\\b"));
    EXPECT_FALSE(reg.KeyExists("", Hive::LocalMachine, "A\\B\\C"));
    EXPECT_TRUE(reg.KeyExists("", Hive::LocalMachine, "A\\D"));
    EXPECT_FALSE(reg.DeleteKeyTree("", Hive::LocalMachine, "A\\B"));
    EXPECT_FALSE(reg.DeleteKeyTree("", Hive::LocalMachine, "X\\Y"));
    EXPECT_THROW(reg.DeleteKeyTree("", Hive::LocalMachine, ""), std::invalid_argument);
    EXPECT_THROW(reg.KeyExists("", Hive::LocalMachine, "A\\\\D"), std::invalid_argument);
}

TEST(RegistryModel, ACopyIsIndependent) {
    sim::Registry original;
    original.SetValue("U", Hive::CurrentUser, "K\\Sub", "v", RegValue::Dword(1));
    sim::Registry copy = original;
    copy.SetValue("U", Hive::CurrentUser, "K\\Sub", "v", RegValue::Dword(2));
    copy.DeleteKeyTree("U", Hive::CurrentUser, "K");
    EXPECT_EQ(RegValue::Dword(1), original.GetValue("U", Hive::CurrentUser, "K\\Sub", "v"));

    sim::Registry assigned;
    assigned = original;
    auto sub = assigned.Root(Hive::CurrentUser, "U")->Find("K")->Find("Sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ("K", sub->Parent()->Name());  // copied keys know their copied parent
    EXPECT_EQ(assigned.Root(Hive::CurrentUser, "U")->Find("K"), sub->Parent());
}

}  // namespace
