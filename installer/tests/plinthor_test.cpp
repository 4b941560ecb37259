#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "emu/installer/plugin_host.h"
#include "pal/runtime/paths.h"
#include "pal_testing/temp_world.h"

namespace {

using emu::installer::CallPlugin;

class PlinthorTest : public pal::testing::DesktopTest {
protected:
    PlinthorTest() {
        m_plugin = emu::installer::InstallPlugin(
            m_world.Desktop(), std::filesystem::path(VELUMEX_MODULE_DIR) / "Plinthor.so",
            u"Plinthor.dll");
    }
    ~PlinthorTest() override { m_link.reset(); }

    void Connect(std::u16string_view deviceType) {
        activesync::CreatePartnership(m_world.Desktop(), m_world.Device(), deviceType, 0x4D2);
        m_link.emplace(m_world.Get());
        m_link->Connect(0x4D2);
    }

    emu::installer::PluginCall Call(const std::string& function,
                                    const std::vector<std::string>& args = {},
                                    int stringSize = emu::installer::kStringSize) {
        return CallPlugin(m_world.Desktop(), m_plugin, function, args, stringSize);
    }

    std::filesystem::path HostPath(pal::Machine& machine, std::u16string_view path) {
        DWORD error = 0;
        return *pal::ResolvePath(machine, path, error);
    }

    std::string ReadHost(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::u16string m_plugin;
    std::optional<activesync::DeviceLink> m_link;
};

TEST_F(PlinthorTest, WithoutADeviceEveryAnswerSaysSo) {
    EXPECT_EQ(Call("IsConnection").r0, "0");
    EXPECT_EQ(Call("IsDevConnected", {"PocketPC"}).r0, "0");
    EXPECT_EQ(Call("GetDevStringValue", {"DeviceType"}).r0, "");
    EXPECT_EQ(Call("DeviceGetVersion").r0, "0");
    std::ofstream(HostPath(m_world.Desktop(), u"C:\\setup.cab")) << "cab";
    EXPECT_EQ(Call("CopyFileToDevice", {"\\setup.cab", "C:\\setup.cab"}).r0, "0");
}

TEST_F(PlinthorTest, AConnectedDeviceIsIdentifiedByItsProfile) {
    Connect(u"PocketPC");
    EXPECT_EQ(Call("IsConnection").r0, "1234");
    auto matching = Call("IsDevConnected", {"pocketpc", "left"});
    EXPECT_EQ(matching.r0, "1234");
    EXPECT_EQ(matching.stack, std::vector<std::string>{"left"});
    EXPECT_EQ(Call("IsDevConnected", {"Smartphone"}).r0, "0");
    EXPECT_EQ(Call("GetDevStringValue", {"DeviceType"}).r0, "PocketPC");
    EXPECT_EQ(Call("GetDevStringValue", {"NoSuchValue"}).r0, "");
    EXPECT_NE(Call("DeviceGetVersion").r0, "0");
}

TEST_F(PlinthorTest, ArgumentsAndAnswersStayWithinTheVariableSize) {
    Connect(u"PocketPC");
    // A popped argument is cut to the variable size, and so is the answer.
    EXPECT_EQ(Call("IsDevConnected", {"PocketPC-and-more"}, 9).r0, "1234");
    EXPECT_EQ(Call("IsConnection", {}, 3).r0, "12");
    EXPECT_EQ(Call("GetDevStringValue", {"DeviceType"}, 5).r0, "");
    // An empty stack leaves the argument empty and still answers.
    EXPECT_EQ(Call("IsDevConnected").r0, "0");
    EXPECT_EQ(Call("CopyFileToDevice").r0, "0");
}

TEST_F(PlinthorTest, CopyFileToDeviceAnswersOneOnlyForACompleteCopy) {
    Connect(u"PocketPC");
    std::string content;
    for (int i = 0; i < 3000; ++i) content += static_cast<char>('a' + i % 26);
    std::ofstream(HostPath(m_world.Desktop(), u"C:\\setup.cab"), std::ios::binary) << content;

    EXPECT_EQ(Call("CopyFileToDevice", {"\\setup.cab", "C:\\setup.cab"}).r0, "1");
    EXPECT_EQ(ReadHost(HostPath(m_world.Device(), u"\\setup.cab")), content);

    EXPECT_EQ(Call("CopyFileToDevice", {"\\missing.cab", "C:\\missing.cab"}).r0, "0");
    EXPECT_FALSE(std::filesystem::exists(HostPath(m_world.Device(), u"\\missing.cab")));
    EXPECT_EQ(Call("CopyFileToDevice", {"\\No Folder\\setup.cab", "C:\\setup.cab"}).r0, "0");
    // A device path longer than a path can be is never created.
    EXPECT_EQ(Call("CopyFileToDevice", {"\\" + std::string(300, 'x'), "C:\\setup.cab"}).r0, "0");
}

}  // namespace
