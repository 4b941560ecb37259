#include "pal/runtime/debug_output.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "pal/runtime/machine.h"
#include "pal/system.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

class DebugOutputTest : public testing::DesktopTest {};

TEST_F(DebugOutputTest, CapturedPerMachineInOrder) {
    OutputDebugStringA("CHANGE!!!\r\n");
    OutputDebugStringA("caf\xE9\r\n");  // Windows-1252
    Use(m_world.Device());
    OutputDebugStringW(u"device ✓");
    OutputDebugStringW(nullptr);

    auto& desktop = m_world.Desktop().Get<DebugOutput>();
    auto records = desktop.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], u"CHANGE!!!\r\n");
    EXPECT_EQ(records[1], u"café\r\n");
    EXPECT_EQ(desktop.Text(), u"CHANGE!!!\r\ncafé\r\n");
    auto device = m_world.Device().Get<DebugOutput>().Records();
    ASSERT_EQ(device.size(), 1u);
    EXPECT_EQ(device[0], u"device ✓");

    desktop.Clear();
    EXPECT_TRUE(desktop.Records().empty());
    EXPECT_EQ(m_world.Device().Get<DebugOutput>().Records().size(), 1u);
}

TEST_F(DebugOutputTest, EchoedToStandardErrorOnlyWhenAsked) {
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("quiet\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ::setenv("VELUMEX_DEBUG_OUTPUT", "1", 1);
    ::testing::internal::CaptureStderr();
    OutputDebugStringW(u"loud ✓\n");
    ::unsetenv("VELUMEX_DEBUG_OUTPUT");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[desktop] loud ✓\n");
    EXPECT_EQ(CurrentMachine().Get<DebugOutput>().Records().size(), 2u);
}

}  // namespace
}  // namespace pal
