// The desktop trace log: file name, header, line format, scope nesting, dropped lines, a new file
// per run, concurrent threads and a log file that cannot be written.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal_testing/temp_world.h"
#include "st_log_file.h"

namespace {

class LogTest : public pal::testing::DesktopTest {
protected:
    LogTest() {
        SYSTEMTIME at = {2026, 5, 6, 16, 14, 3, 27, 250};
        FILETIME frozen;
        SystemTimeToFileTime(&at, &frozen);
        m_world.Desktop().FreezeClock((static_cast<ULONGLONG>(frozen.dwHighDateTime) << 32) |
                                      frozen.dwLowDateTime);
        CreateDirectoryA("C:\\Dir", nullptr);
        m_process = m_world.Desktop().CreateProcess(u"C:\\Dir\\host.exe");
        m_context.reset();
        m_context.emplace(m_world.Desktop(), m_process);
    }
    ~LogTest() override { CSTLogFile::Destroy(); }

    // The lines of the log file, without their CR LF.
    std::vector<std::string> Lines() {
        DWORD error = 0;
        auto host = pal::ResolvePath(m_world.Desktop(), u"C:\\Dir\\host_log.txt", error);
        std::ifstream in(*host, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::vector<std::string> lines;
        std::string all = text.str();
        size_t start = 0;
        for (size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(all.substr(start, end - start));
        EXPECT_EQ(start, all.size()) << "a line without CR LF";
        return lines;
    }

    // The message of a trace line: the text after the stamp, thread id and " : ".
    static std::string Message(const std::string& line) {
        std::smatch match;
        static const std::regex shape(R"(^14:03:27\((\d+)\),thr 0x([0-9A-F]{8}) : (.*)$)");
        if (!std::regex_match(line, match, shape)) return "<malformed: " + line + ">";
        return match[3];
    }

    std::shared_ptr<pal::Process> m_process;
};

TEST_F(LogTest, FileIsNamedAfterTheExecutableAndStartsWithTheHeader) {
    ST_LOG("WAB dll path is %s", "C:\\wab32.dll");
    CSTLogFile::Destroy();
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Message(lines[0]), std::string(45, '='));
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "Log is started on 16.05.2026, at 14:03:27:250, executable: C:\\Dir\\host.exe "
                  "(ProcID: 0x%08x), compile time : ",
                  GetCurrentProcessId());
    EXPECT_EQ(Message(lines[1]).rfind(expected, 0), 0u) << lines[1];
    EXPECT_EQ(Message(lines[2]), "WAB dll path is C:\\wab32.dll");
    EXPECT_EQ(Message(lines[3]), "Log finished");
    char thread[32];
    std::snprintf(thread, sizeof thread, ",thr 0x%08X : ", GetCurrentThreadId());
    EXPECT_NE(lines[2].find(thread), std::string::npos);
}

TEST_F(LogTest, ScopesIndentByTheThreadsDepth) {
    {
        CSTLogScope outer("Checking OE version...");
        ST_LOG("inside");
        { CSTLogScope inner("Initializing Address Book object..."); }
    }
    ST_LOG("after");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(Message(lines[2]), ">>[Checking OE version...]");
    EXPECT_EQ(Message(lines[3]), " inside");
    EXPECT_EQ(Message(lines[4]), " >>[Initializing Address Book object...]");
    EXPECT_EQ(Message(lines[5]), " <<[Initializing Address Book object...]");
    EXPECT_EQ(Message(lines[6]), "<<[Checking OE version...]");
    EXPECT_EQ(Message(lines[7]), "after");
}

TEST_F(LogTest, DepthStopsAtOneHundredAndComesBackToZero) {
    std::vector<std::unique_ptr<CSTLogScope>> scopes;
    for (int i = 0; i < 101; ++i) scopes.push_back(std::make_unique<CSTLogScope>("deep"));
    EXPECT_EQ(CSTLogFile::Instance()->Depth(), 100u);
    while (!scopes.empty()) scopes.pop_back();
    EXPECT_EQ(CSTLogFile::Instance()->Depth(), 0u);
    { CSTLogScope extra("one more"); }
    EXPECT_EQ(CSTLogFile::Instance()->Depth(), 0u);

    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u + 202u + 2u);
    EXPECT_EQ(Message(lines[2 + 100]), std::string(100, ' ') + ">>[deep]");
    // The scope entered at the cap did not raise the depth, so leaving it lowers it first.
    EXPECT_EQ(Message(lines[2 + 101]), std::string(99, ' ') + "<<[deep]");
    EXPECT_EQ(Message(lines[2 + 200]), "<<[deep]");
    EXPECT_EQ(Message(lines[2 + 201]), "<<[deep]");
    EXPECT_EQ(Message(lines[2 + 202]), ">>[one more]");
}

TEST_F(LogTest, MessagesThatDoNotFitAreDropped) {
    std::string longest(1023, 'x');
    ST_LOG("%s", std::string(2000, 'y').c_str());
    ST_LOG("%s", longest.c_str());
    ST_LOG("short");
    std::vector<std::string> lines = Lines();
    // The stamp and thread id make a 1023-character message too long for the 1024-byte line.
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Message(lines[2]), "short");
}

TEST_F(LogTest, EachRunStartsAFreshFile) {
    ST_LOG("first run");
    CSTLogFile::Destroy();
    ST_LOG("second run");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Message(lines[2]), "second run");
}

DWORD WINAPI TraceFromThread(LPVOID name) {
    for (int i = 0; i < 50; ++i) {
        CSTLogScope scope(static_cast<const char*>(name));
        ST_LOG("%s line %d", static_cast<const char*>(name), i);
    }
    return 0;
}

TEST_F(LogTest, ThreadsWriteWholeLinesWithTheirOwnIdAndDepth) {
    CSTLogScope mine("main thread scope");
    DWORD ids[2];
    HANDLE threads[2] = {
        CreateThread(nullptr, 0, TraceFromThread, const_cast<char*>("alpha"), 0, &ids[0]),
        CreateThread(nullptr, 0, TraceFromThread, const_cast<char*>("beta"), 0, &ids[1])};
    WaitForSingleObject(threads[0], INFINITE);
    WaitForSingleObject(threads[1], INFINITE);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);

    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u + 2 * 150u);
    static const std::regex shape(R"(^14:03:27\(\d+\),thr 0x([0-9A-F]{8}) : (.*)$)");
    for (size_t i = 3; i < lines.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, shape)) << lines[i];
        DWORD id = static_cast<DWORD>(std::stoul(match[1], nullptr, 16));
        std::string message = match[2];
        ASSERT_TRUE(id == ids[0] || id == ids[1]) << lines[i];
        std::string name = id == ids[0] ? "alpha" : "beta";
        // Each thread's scopes start at its own depth 0, whatever the main thread's depth is.
        bool scopeLine = message == ">>[" + name + "]" || message == "<<[" + name + "]";
        bool textLine = message.rfind(" " + name + " line ", 0) == 0;
        EXPECT_TRUE(scopeLine || textLine) << lines[i];
    }
}

TEST_F(LogTest, AnUnwritableFileLeavesTracingSilentAndIsRetried) {
    HANDLE blocker = CreateFileA("C:\\Dir\\host_log.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(blocker);
    ASSERT_TRUE(SetFileAttributesA("C:\\Dir\\host_log.txt", FILE_ATTRIBUTE_READONLY));
    ST_LOG("lost");
    { CSTLogScope scope("lost too"); }
    EXPECT_TRUE(Lines().empty());

    ASSERT_TRUE(SetFileAttributesA("C:\\Dir\\host_log.txt", FILE_ATTRIBUTE_NORMAL));
    ST_LOG("kept");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Message(lines[2]), "kept");
}

}  // namespace
