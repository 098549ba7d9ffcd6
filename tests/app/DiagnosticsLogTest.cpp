#include "app/DiagnosticsLog.h"

#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace orvik {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

} // namespace

TEST(DiagnosticsLog, BannerAndMachineLinesThenMessages) {
    LogMessage("dropped before the log opens\n");
    ASSERT_TRUE(OpenLog(test::Home(), 412));
    LogMessage("ClipList::TrimStart: clip not found\n");
    LogMessage("%s %d\n", "value", 5);
    std::string path = LogPath();
    EXPECT_EQ(path, test::InHome("Message.log"));
    CloseLog();
    LogMessage("dropped after it closes\n");

    std::vector<std::string> lines = Lines(test::ReadFile(path));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("Torvane Orvik Debug Message Log, created "
                                                      "\\d\\d/\\d\\d/\\d\\d at \\d\\d:\\d\\d:\\d\\d")))
        << lines[0];
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Caderna Application software version 4.12");
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("\\S+ \\d+\\.\\d+ \\(Build \\d+\\).*")))
        << lines[3];
    EXPECT_EQ(lines[6], "DirectX 0 - version is 0.0.0.0");
    EXPECT_TRUE(std::regex_match(lines[7], std::regex("(\\*\\* )?DirectSound driver (NOT )?supported")));
    EXPECT_TRUE(std::regex_match(lines[8], std::regex("(\\*\\* )?DirectDraw driver (NOT )?supported")));
    EXPECT_EQ(lines[9], "ClipList::TrimStart: clip not found");
    EXPECT_EQ(lines[10], "value 5");
}

TEST(DiagnosticsLog, EachStartTruncatesTheLastRunsLog) {
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    LogMessage("first run\n");
    CloseLog();
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    CloseLog();
    EXPECT_EQ(test::ReadFile(test::InHome("Message.log")).find("first run"), std::string::npos);
}

TEST(DiagnosticsLog, LongMessagesAreCutSafelyAndKeepTheirLineEnd) {
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    std::string path = LogPath();
    std::string huge(5000, 'x');
    LogMessage("long: %s\n", huge.c_str());
    LogMessage("after\n");
    CloseLog();
    std::vector<std::string> lines = Lines(test::ReadFile(path));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].size(), 510u); // 511 characters with the line end
    EXPECT_EQ(lines.back(), "after");
}

TEST(DiagnosticsLog, UnwritableFolderLeavesTheLogClosed) {
    std::string file = test::InHome("not-a-folder");
    FILE* f = fopen(file.c_str(), "w");
    fclose(f);
    EXPECT_FALSE(OpenLog(file, 0));
    EXPECT_FALSE(IsLogOpen());
    LogMessage("nobody hears this\n"); // no crash, nothing written
}

TEST(DiagnosticsLog, ThreadsWriteWholeMessages) {
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    std::string path = LogPath();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i)
                LogMessage("thread %d message %d with some words to widen it\n", t, i);
        });
    for (auto& t : threads)
        t.join();
    CloseLog();
    int messages = 0;
    for (const std::string& line : Lines(test::ReadFile(path))) {
        if (line.rfind("thread ", 0) != 0)
            continue;
        ++messages;
        EXPECT_TRUE(std::regex_match(line, std::regex("thread \\d message \\d+ with some words to widen it")))
            << line;
    }
    EXPECT_EQ(messages, 2000);
}

} // namespace orvik
