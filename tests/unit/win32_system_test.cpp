// GDI brushes, the cursor counter, stock resources, system colours, the module handle, COM
// initialisation, the last error, time and ExitProcess.
#include "win32/gdi_objects.h"

#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(Brushes, AreRealObjectsDeletedOnce) {
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    ASSERT_NE(face, nullptr);
    ASSERT_NE(red, nullptr);
    EXPECT_NE(face, red);
    COLORREF colour = 0;
    EXPECT_TRUE(win32::BrushColour(face, &colour));
    EXPECT_EQ(colour, 0x00F0F0F0u);
    EXPECT_TRUE(win32::BrushColour(red, &colour));
    EXPECT_EQ(colour, 0x000000FFu);

    EXPECT_TRUE(DeleteObject(face));
    EXPECT_FALSE(win32::BrushColour(face, nullptr));
    EXPECT_FALSE(DeleteObject(face)); // twice: refused, no crash
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_TRUE(win32::BrushColour(red, nullptr)); // the other brush is untouched
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_NE(CreateSolidBrush(0), face); // handles are not reused
}

TEST(SystemColours, FollowWindows10) {
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), 0x00F0F0F0u);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0x00FFFFFFu);
    EXPECT_EQ(GetSysColor(-1), 0u);
    EXPECT_EQ(GetSysColor(200), 0u);
}

TEST(ShowCursor, CountsShowsAndHides) {
    int start = ShowCursor(TRUE) - 1;
    EXPECT_EQ(start, 0); // a system with a mouse starts at 0
    EXPECT_EQ(ShowCursor(FALSE), 0);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
}

TEST(StockResources, ExistOnlyForTheSystemsIds) {
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_NE(LoadIconA(nullptr, IDI_WINLOGO), nullptr);
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), LoadIconA(nullptr, IDI_WINLOGO));
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), IDI_APPLICATION), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, "arrow"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(Process, ModuleHandleLastErrorAndTime) {
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("d3d9.dll"), nullptr);
    SetLastError(1234);
    EXPECT_EQ(GetLastError(), 1234u);
    DWORD before = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - before, 20u);
}

TEST(Com, FirstInitialiseIsOkLaterOnesFalseBalancedByUninitialise) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
    CoUninitialize(); // one too many is ignored
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST(ExitProcessDeathTest, EndsWithTheCodeAfterFlushingOutput) {
    std::string path = ::testing::TempDir() + "exit_process_flush.txt";
    std::remove(path.c_str());
    EXPECT_EXIT(
        {
            FILE* file = std::fopen(path.c_str(), "w");
            std::fputs("buffered", file); // not closed, not flushed
            ExitProcess(7);
        },
        ::testing::ExitedWithCode(7), "");
    std::ifstream written(path);
    std::stringstream text;
    text << written.rdbuf();
    EXPECT_EQ(text.str(), "buffered");
}

} // namespace
