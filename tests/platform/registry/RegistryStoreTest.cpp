#include "platform/registry/RegistryStore.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

using Value = RegistryStore::Value;

Value Number(uint32_t n) {
    Value v;
    v.type = Value::numberType;
    v.number = n;
    return v;
}

Value Text(std::string t) {
    Value v;
    v.type = Value::textType;
    v.text = std::move(t);
    return v;
}

TEST(RegistryStore, SplitsPathsAtBothSeparators) {
    struct Case {
        const char* path;
        std::vector<std::string> parts;
    } cases[] = {
        {"Software\\Torvane\\Orvik\\", {"Software", "Torvane", "Orvik"}},
        {"a/b\\c", {"a", "b", "c"}},
        {"//a//", {"a"}},
        {"", {}},
        {"\\", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RegistryStore::SplitPath(c.path), c.parts) << c.path;
}

TEST(RegistryStore, FormatsTheHandWrittenTextForm) {
    RegistryStore store;
    RegistryStore::Key& prefs = store.Create({"Software", "Torvane", "Orvik", "Preferences"});
    prefs.values["Maximized"] = Number(1);
    prefs.values["Window position"] = Text("10 20 300 200");
    prefs.values["Odd \"name\""] = Text("a\\b\nc\x01");
    store.Create({"Software", "Torvane", "Orvik", "Capture"}).values["Video width"] =
        Number(0xFFFFFFFFu);
    const char* expected = "; heading\n"
                           "\n[Software]\n"
                           "\n[Software/Torvane]\n"
                           "\n[Software/Torvane/Orvik]\n"
                           "\n[Software/Torvane/Orvik/Capture]\n"
                           "\"Video width\"=dword:ffffffff\n"
                           "\n[Software/Torvane/Orvik/Preferences]\n"
                           "\"Maximized\"=dword:00000001\n"
                           "\"Odd \\\"name\\\"\"=\"a\\\\b\\nc\\x01\"\n"
                           "\"Window position\"=\"10 20 300 200\"\n";
    EXPECT_EQ(store.Format("heading"), expected);
}

TEST(RegistryStore, TextFormRoundTripsEveryByteAndAnyLength) {
    RegistryStore store;
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    std::string longText(5000, 'x');
    longText += "\xC3\xA9t\xC3\xA9"; // UTF-8 stays as it is
    RegistryStore::Key& k = store.Create({"A", "Key ] with [ brackets"});
    k.values["all"] = Text(allBytes);
    k.values["long"] = Text(longText);
    k.values[""] = Number(0);
    k.values["max"] = Number(0xFFFFFFFFu);
    store.Create({"Empty"});

    std::string text = store.Format("x");
    RegistryStore back;
    std::vector<RegistryStore::Problem> problems;
    back.Parse(text, &problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(back.Format("x"), text);
    const RegistryStore::Key* key = back.Find({"a", "KEY ] WITH [ BRACKETS"});
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.at("all").text, allBytes);
    EXPECT_EQ(key->values.at("LONG").text, longText);
    EXPECT_EQ(key->values.at("max").number, 0xFFFFFFFFu);
    EXPECT_NE(back.Find({"empty"}), nullptr);
}

TEST(RegistryStore, SkipsDamagedLinesAndKeepsTheRest) {
    struct Case {
        const char* line;
        const char* reason;
    } cases[] = {
        {"\"v\"=dword:", "bad number"},
        {"\"v\"=dword:123456789", "bad number"},
        {"\"v\"=dword:12g", "text after the value"},
        {"\"v\"=\"open", "unterminated field"},
        {"\"v\"=\"bad \\q escape\"", "unknown escape \\q"},
        {"\"v\"=\"bad \\x1\"", "bad \\x escape"},
        {"\"v\" \"x\"", "missing '=' after the value name"},
        {"\"v\"=qword:1", "unknown value type"},
        {"garbage", "not a key or a value"},
        {"[unclosed", "unterminated field"},
        {"[]", "empty key name"},
        {"[k] trailing", "text after the key name"},
    };
    for (const Case& c : cases) {
        std::string text =
            std::string("; c\n[K]\n\"good\"=dword:0000002a\n") + c.line + "\n\"after\"=\"kept\"\n";
        RegistryStore store;
        std::vector<RegistryStore::Problem> problems;
        store.Parse(text, &problems);
        // After a damaged key line the values have no key to go to.
        bool keyLine = c.line[0] == '[';
        ASSERT_EQ(problems.size(), keyLine ? 2u : 1u) << c.line;
        EXPECT_EQ(problems[0].line, 4) << c.line;
        EXPECT_EQ(problems[0].reason, c.reason) << c.line;
        const RegistryStore::Key* k = store.Find({"K"});
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->values.at("good").number, 42u) << c.line;
        if (keyLine) {
            EXPECT_EQ(problems[1].reason, "value outside a key");
        } else {
            EXPECT_EQ(k->values.at("after").text, "kept") << c.line;
        }
    }
}

TEST(RegistryStore, ValueOutsideAKeyIsAProblem) {
    RegistryStore store;
    std::vector<RegistryStore::Problem> problems;
    store.Parse("\"v\"=dword:1\r\n[K]\r\n\"w\"=\"x\"\r\n", &problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 1);
    EXPECT_EQ(problems[0].reason, "value outside a key");
    EXPECT_EQ(store.Find({"K"})->values.at("w").text, "x"); // CR LF lines read too
}

TEST(RegistryStore, NamesCompareWithoutCaseAndListInStableOrder) {
    RegistryStore store;
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "Beta1"})
        store.Create({"Root", name});
    std::vector<std::string> names;
    for (auto& [name, key] : store.Find({"root"})->subkeys)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "Beta1", "gamma"}));
    EXPECT_TRUE(store.Remove({"ROOT", "BETA"}));
    EXPECT_FALSE(store.Remove({"ROOT", "BETA"}));
    EXPECT_FALSE(store.Remove({}));
    EXPECT_EQ(store.Find({"root"})->subkeys.size(), 4u);
}

} // namespace
} // namespace orvik
