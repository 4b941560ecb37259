#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "pal_testing/temp_world.h"

namespace {

DEFINE_GUID(kAnyClass, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55);

class Apartment : public pal::testing::DesktopTest {};

// CO_E_NOTINITIALIZED from CoCreateInstance means the thread is outside COM.
bool ThreadIsInCom() {
    void* object = nullptr;
    return CoCreateInstance(kAnyClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object) !=
           CO_E_NOTINITIALIZED;
}

TEST_F(Apartment, InitialisationCountsPerThreadAndKeepsItsModel) {
    EXPECT_FALSE(ThreadIsInCom());
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_TRUE(ThreadIsInCom());

    HRESULT elsewhere = S_OK;
    std::thread other([&] {
        pal::ScopedContext context(m_world.Desktop());
        elsewhere = ThreadIsInCom() ? S_OK : CO_E_NOTINITIALIZED;
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    });
    other.join();
    EXPECT_EQ(elsewhere, CO_E_NOTINITIALIZED);

    CoUninitialize();
    EXPECT_TRUE(ThreadIsInCom());  // the changed-mode call did not count
    CoUninitialize();
    EXPECT_FALSE(ThreadIsInCom());
    CoUninitialize();  // one too many: no effect
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
}

TEST_F(Apartment, BadArgumentsAreRefused) {
    int reserved = 0;
    EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
    EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
    EXPECT_FALSE(ThreadIsInCom());
}

}  // namespace
