// Device files are written in pieces no larger than one remote write carries.
#include <gtest/gtest.h>

#include <vector>

#include "device_file.h"

namespace {

struct Piece {
    const BYTE* data;
    DWORD size;
};
std::vector<Piece> g_pieces;
DWORD g_failAt = ~0u;   // the piece that fails
DWORD g_shortAt = ~0u;  // the piece that writes one byte less

BOOL Record(HANDLE, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
    DWORD index = static_cast<DWORD>(g_pieces.size());
    g_pieces.push_back({static_cast<const BYTE*>(data), size});
    *written = index == g_shortAt ? size - 1 : size;
    return index != g_failAt;
}

class DevicePiecesTest : public ::testing::Test {
protected:
    DevicePiecesTest() : m_data(2 * DEVICE_WRITE_PIECE + 10) {
        g_pieces.clear();
        g_failAt = g_shortAt = ~0u;
    }
    std::vector<DWORD> Sizes() {
        std::vector<DWORD> sizes;
        for (const Piece& piece : g_pieces) sizes.push_back(piece.size);
        return sizes;
    }
    std::vector<BYTE> m_data;
};

TEST_F(DevicePiecesTest, PiecesCoverTheDataInOrder) {
    EXPECT_TRUE(WriteDevicePieces(nullptr, m_data.data(), m_data.size(), Record));
    EXPECT_EQ(Sizes(), (std::vector<DWORD>{65472, 65472, 10}));
    EXPECT_EQ(g_pieces[1].data, m_data.data() + 65472);
    EXPECT_EQ(g_pieces[2].data, m_data.data() + 2 * 65472);

    g_pieces.clear();
    EXPECT_TRUE(WriteDevicePieces(nullptr, m_data.data(), 65472, Record));
    EXPECT_EQ(Sizes(), (std::vector<DWORD>{65472}));
    g_pieces.clear();
    EXPECT_TRUE(WriteDevicePieces(nullptr, m_data.data(), 0, Record));
    EXPECT_TRUE(g_pieces.empty());
}

TEST_F(DevicePiecesTest, AFailedOrShortWriteStopsTheFile) {
    g_failAt = 1;
    EXPECT_FALSE(WriteDevicePieces(nullptr, m_data.data(), m_data.size(), Record));
    EXPECT_EQ(g_pieces.size(), 2u);

    g_pieces.clear();
    g_failAt = ~0u;
    g_shortAt = 0;
    EXPECT_FALSE(WriteDevicePieces(nullptr, m_data.data(), m_data.size(), Record));
    EXPECT_EQ(g_pieces.size(), 1u);
}

}  // namespace
