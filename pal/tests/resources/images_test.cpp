#include <filesystem>
#include <fstream>

#include "pal/runtime/encoding.h"
#include "pal/runtime/gdi_objects.h"
#include "resources_fixture.h"

namespace pal::testing {
namespace {

constexpr COLORREF Rgb(BYTE r, BYTE g, BYTE b) { return r | (g << 8) | (b << 16); }
constexpr COLORREF kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0), kBlue = Rgb(0, 0, 255),
                   kMagenta = Rgb(255, 0, 255);

class ImagesTest : public ResourcesTest {
protected:
    static GdiObjectTable& Objects() { return CurrentProcess().Get<GdiObjectTable>(); }
    static std::shared_ptr<Icon> IconOf(HANDLE handle) { return Objects().GetAs<Icon>(handle); }
    // The blue-green-red of an icon image's first pixel (32-bit images only).
    static COLORREF FirstPixel(const Icon& icon) {
        return Rgb(icon.bits[42], icon.bits[41], icon.bits[40]);
    }
    // Installs the fixture module into the desktop's file system under a Windows path.
    std::string Install(const std::filesystem::path& source, const std::string& relative) {
        auto target = m_world.Desktop().RootDir() / relative;
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(source, target);
        std::string windows = "C:\\" + relative;
        for (char& c : windows)
            if (c == '/') c = '\\';
        return windows;
    }
};

TEST_F(ImagesTest, IconsTakeTheGroupImageNearestTheSize) {
    struct Case {
        int size;
        int width;
        WORD bits;
        COLORREF pixel;
    };
    for (Case c : {Case{16, 16, 32, kRed}, Case{32, 32, 32, kBlue}, Case{24, 32, 32, kBlue},
                   Case{0, 32, 32, kBlue}, Case{64, 32, 32, kBlue}}) {
        HANDLE handle =
            LoadImageA(m_module, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, c.size, c.size, 0);
        auto icon = IconOf(handle);
        ASSERT_TRUE(icon) << c.size;
        EXPECT_FALSE(icon->cursor);
        EXPECT_EQ(icon->width, c.width) << c.size;
        EXPECT_EQ(icon->height, c.width) << c.size;
        EXPECT_EQ(icon->bitCount, c.bits) << c.size;
        EXPECT_EQ(FirstPixel(*icon), c.pixel) << c.size;
        EXPECT_TRUE(DestroyIcon(static_cast<HICON>(handle)));
    }
    auto big = IconOf(LoadImageW(m_module, MAKEINTRESOURCEW(IDI_BIG), IMAGE_ICON, 16, 16, 0));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->width, 48);  // its only image
    EXPECT_EQ(big->bitCount, 8);
}

TEST_F(ImagesTest, LoadIconIsSharedAndDestroyIconFreesOnlyOwnIcons) {
    HICON shared = LoadIconA(m_module, MAKEINTRESOURCEA(IDI_APP));
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(IconOf(shared)->width, 32);
    EXPECT_EQ(LoadIconW(m_module, MAKEINTRESOURCEW(IDI_APP)), shared);
    EXPECT_EQ(LoadImageA(m_module, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 32, 32, LR_SHARED),
              shared);
    EXPECT_TRUE(DestroyIcon(shared));
    EXPECT_TRUE(IconOf(shared));  // a shared icon stays for its other holders

    HANDLE own = LoadImageA(m_module, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 32, 32, 0);
    EXPECT_NE(own, shared);
    EXPECT_NE(LoadImageA(m_module, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 32, 32, 0), own);
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(own)));
    EXPECT_FALSE(DestroyIcon(static_cast<HICON>(own)));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_CURSOR_HANDLE});
}

TEST_F(ImagesTest, CursorsCarryTheirHotspot) {
    auto cursor =
        IconOf(LoadImageA(m_module, MAKEINTRESOURCEA(IDC_POINTER), IMAGE_CURSOR, 0, 0, 0));
    ASSERT_TRUE(cursor);
    EXPECT_TRUE(cursor->cursor);
    EXPECT_EQ(cursor->width, 32);
    EXPECT_EQ(cursor->height, 32);
    EXPECT_EQ(cursor->bitCount, 1);
    EXPECT_EQ(cursor->hotspot.x, 5);
    EXPECT_EQ(cursor->hotspot.y, 7);
    ASSERT_GE(cursor->bits.size(), 40u);
    EXPECT_EQ(cursor->bits[0], 40);  // the image's BITMAPINFOHEADER follows the hotspot
}

TEST_F(ImagesTest, LoadImageFailuresSayWhy) {
    EXPECT_EQ(LoadImageA(m_module, MAKEINTRESOURCEA(999), IMAGE_ICON, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_NAME_NOT_FOUND});
    EXPECT_EQ(LoadImageA(m_module, MAKEINTRESOURCEA(IDI_APP), IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_NAME_NOT_FOUND});
    EXPECT_EQ(LoadImageA(m_module, "x.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_SUPPORTED});
    EXPECT_EQ(LoadImageA(m_module, MAKEINTRESOURCEA(IDI_APP), 7, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), nullptr);
    EXPECT_EQ(LoadIconA(reinterpret_cast<HINSTANCE>(0x40), MAKEINTRESOURCEA(IDI_APP)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(Objects().Count(), 0u);
}

TEST_F(ImagesTest, BitmapsDecodeDescribeAndDelete) {
    HANDLE handle = LoadImageA(m_module, MAKEINTRESOURCEA(IDB_SMALL_IMAGES), IMAGE_BITMAP, 0, 0,
                               LR_DEFAULTCOLOR);
    ASSERT_NE(handle, nullptr);
    BITMAP info{};
    EXPECT_EQ(GetObjectA(handle, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(GetObjectA(handle, sizeof(info) - 1, &info), 0);
    ASSERT_EQ(GetObjectW(handle, sizeof(info), &info), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(info.bmWidth, 48);
    EXPECT_EQ(info.bmHeight, 16);
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_EQ(info.bmWidthBytes, 48 * 4);
    const Pixels& pixels = Objects().GetAs<Bitmap>(handle)->Image();
    EXPECT_EQ(pixels.At(0, 0), kMagenta);  // top-left, from a bottom-up file
    EXPECT_EQ(pixels.At(1, 0), kRed);
    EXPECT_EQ(pixels.At(20, 5), kGreen);
    EXPECT_EQ(pixels.At(47, 15), kBlue);

    HANDLE half = LoadImageA(m_module, MAKEINTRESOURCEA(IDB_SMALL_IMAGES), IMAGE_BITMAP, 24, 8, 0);
    const Pixels& small = Objects().GetAs<Bitmap>(half)->Image();
    EXPECT_EQ(small.width, 24);
    EXPECT_EQ(small.height, 8);
    EXPECT_EQ(small.At(10, 0), kGreen);
    EXPECT_EQ(small.At(23, 7), kBlue);

    EXPECT_TRUE(DeleteObject(handle));
    EXPECT_FALSE(DeleteObject(handle));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(GetObjectA(handle, sizeof(info), &info), 0);
    HICON icon = LoadIconA(m_module, MAKEINTRESOURCEA(IDI_APP));
    EXPECT_FALSE(DeleteObject(icon));  // icons are not GDI objects
    EXPECT_FALSE(DestroyIcon(static_cast<HICON>(half)));
}

TEST_F(ImagesTest, ImageListsCutTheBitmapIntoImages) {
    HIMAGELIST list = ImageList_LoadImageA(m_module, MAKEINTRESOURCEA(IDB_SMALL_IMAGES), 16, 0,
                                           CLR_DEFAULT, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    EXPECT_EQ(Objects().Count(), 1u);  // the bitmap it was cut from is gone
    auto images = Objects().GetAs<ImageList>(list);
    EXPECT_EQ(images->Width(), 16);
    EXPECT_EQ(images->Height(), 16);
    EXPECT_EQ(images->MaskColour(), kMagenta);  // CLR_DEFAULT: the top-left pixel
    EXPECT_EQ(images->Images()[0].At(5, 5), kRed);
    EXPECT_EQ(images->Images()[1].At(0, 0), kGreen);
    EXPECT_EQ(images->Images()[2].At(15, 15), kBlue);

    HIMAGELIST wide =
        ImageList_LoadBitmapW(m_module, MAKEINTRESOURCEW(IDB_SMALL_IMAGES), 20, 1, CLR_NONE);
    EXPECT_EQ(ImageList_GetImageCount(wide), 2);  // 48 / 20
    EXPECT_EQ(Objects().GetAs<ImageList>(wide)->MaskColour(), CLR_NONE);
    HIMAGELIST masked = ImageList_LoadImageA(m_module, MAKEINTRESOURCEA(IDB_SMALL_IMAGES), 48, 0,
                                             kBlue, IMAGE_BITMAP, 0);
    EXPECT_EQ(Objects().GetAs<ImageList>(masked)->MaskColour(), kBlue);

    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_FALSE(ImageList_Destroy(list));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);

    EXPECT_EQ(ImageList_LoadImageA(m_module, MAKEINTRESOURCEA(IDB_SMALL_IMAGES), 0, 0, CLR_DEFAULT,
                                   IMAGE_BITMAP, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(
        ImageList_LoadImageA(m_module, MAKEINTRESOURCEA(109), 16, 0, CLR_DEFAULT, IMAGE_BITMAP, 0),
        nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_NAME_NOT_FOUND});
}

TEST_F(ImagesTest, ExtractIconExReadsAModuleFile) {
    std::string path = Install(FIXTURE_MODULE, "Program Files/Outlook Express/msimn.exe");
    EXPECT_EQ(ExtractIconExA(path.c_str(), -1, nullptr, nullptr, 0), 2u);

    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(ExtractIconExA(path.c_str(), 0, &large, &small, 1), 1u);
    ASSERT_TRUE(IconOf(large) && IconOf(small));
    EXPECT_EQ(IconOf(large)->width, 32);
    EXPECT_EQ(FirstPixel(*IconOf(large)), kBlue);
    EXPECT_EQ(IconOf(small)->width, 16);
    EXPECT_EQ(FirstPixel(*IconOf(small)), kRed);
    EXPECT_TRUE(DestroyIcon(large));
    EXPECT_TRUE(DestroyIcon(small));

    HICON larges[3] = {}, smalls[3] = {};
    EXPECT_EQ(ExtractIconExW(U16(path).c_str(), 0, larges, smalls, 3), 2u);
    EXPECT_EQ(IconOf(larges[1])->width, 48);
    EXPECT_EQ(IconOf(smalls[1])->width, 48);
    EXPECT_EQ(larges[2], nullptr);
    EXPECT_EQ(ExtractIconExA(path.c_str(), 1, nullptr, &small, 1), 1u);
    EXPECT_EQ(IconOf(small)->width, 48);
    EXPECT_EQ(ExtractIconExA(path.c_str(), -IDI_BIG, &large, nullptr, 1), 1u);
    EXPECT_EQ(IconOf(large)->bitCount, 8);
    EXPECT_EQ(ExtractIconExA(path.c_str(), 2, &large, &small, 1), 0u);
    EXPECT_EQ(large, nullptr);
}

TEST_F(ImagesTest, ExtractIconExReadsIconFilesAndRefusesOthers) {
    std::string ico = Install(FIXTURE_DIR "/app.ico", "Program Files/Address Book/wab.exe");
    EXPECT_EQ(ExtractIconExA(ico.c_str(), -1, nullptr, nullptr, 0), 1u);
    HICON large = nullptr, small = nullptr;
    EXPECT_EQ(ExtractIconExA(ico.c_str(), 0, &large, &small, 1), 1u);
    EXPECT_EQ(FirstPixel(*IconOf(large)), kBlue);
    EXPECT_EQ(FirstPixel(*IconOf(small)), kRed);

    std::string text = Install(FIXTURE_DIR "/fixture_ids.h", "notes.txt");
    EXPECT_EQ(ExtractIconExA(text.c_str(), -1, nullptr, nullptr, 0), 0u);
    EXPECT_EQ(ExtractIconExA(text.c_str(), 0, &large, nullptr, 1), 0u);

    SetLastError(0);
    EXPECT_EQ(ExtractIconExA("C:\\Missing\\msimn.exe", 0, &large, &small, 1), 0u);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
}

}  // namespace
}  // namespace pal::testing
