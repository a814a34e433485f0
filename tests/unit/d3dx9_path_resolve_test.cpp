// Windows file names on the UTF-8 file system: CP932 decoding, separators, letter case, file kinds.
#include "d3dx9/path_resolve.h"
#include "win32/cp932.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Test texts are written in UTF-8; the code under test takes CP932.
using win32::Utf8ToCp932;

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Each test runs in a fresh directory that is also the current directory, as the viewer's
// relative names are taken from the current directory.
class PathResolveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char templ[] = "/tmp/xofview_path_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root_ = templ;
        previous_ = fs::current_path();
        fs::current_path(root_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(root_);
    }
    fs::path root_;
    fs::path previous_;
};

TEST_F(PathResolveTest, NamesAsSpelledAndWithBackslashesFindTheFile) {
    fs::create_directories("models/tex");
    WriteFile("models/tex/wood.bmp", "x");
    EXPECT_EQ(d3dx9::ResolveFileName("models/tex/wood.bmp"), "models/tex/wood.bmp");
    EXPECT_EQ(d3dx9::ResolveFileName("models\\tex\\wood.bmp"), "models/tex/wood.bmp");
    EXPECT_EQ(d3dx9::ResolveFileName(".\\models\\\\tex\\wood.bmp"), "./models/tex/wood.bmp");
    const std::string absolute = (root_ / "models/tex/wood.bmp").string();
    EXPECT_EQ(d3dx9::ResolveFileName(absolute.c_str()), absolute);
}

TEST_F(PathResolveTest, LetterCaseIsIgnoredInEverySegment) {
    fs::create_directories("Models/Tex");
    WriteFile("Models/Tex/Wood.BMP", "x");
    EXPECT_EQ(d3dx9::ResolveFileName("models\\tex\\wood.bmp"), "Models/Tex/Wood.BMP");
    EXPECT_EQ(d3dx9::ResolveFileName("MODELS/TEX/WOOD.bmp"), "Models/Tex/Wood.BMP");
    const std::string absolute = (root_ / "MODELS/tex/wood.Bmp").string();
    EXPECT_EQ(d3dx9::ResolveFileName(absolute.c_str()), (root_ / "Models/Tex/Wood.BMP").string());
}

TEST_F(PathResolveTest, AnExactSpellingWinsOverOtherCaseVariants) {
    WriteFile("a.png", "lower");
    WriteFile("A.png", "upper");
    EXPECT_EQ(d3dx9::ResolveFileName("A.png"), "A.png");
    EXPECT_EQ(d3dx9::ResolveFileName("a.png"), "a.png");
    // Neither spelled so: the choice is stable (byte order), not the directory's order.
    EXPECT_EQ(d3dx9::ResolveFileName("a.PNG"), "A.png");
}

TEST_F(PathResolveTest, Cp932NamesOpenTheirUtf8Files) {
    WriteFile("フィルター画像.jpg", "jpeg");
    const std::string cp932 = Utf8ToCp932("フィルター画像.jpg");
    ASSERT_EQ(cp932.size(), 18u); // seven double-byte characters and ".jpg"
    EXPECT_EQ(d3dx9::ResolveFileName(cp932.c_str()), "フィルター画像.jpg");
    std::vector<unsigned char> bytes;
    ASSERT_EQ(d3dx9::ReadWholeFile(cp932.c_str(), bytes, 100), d3dx9::FileReadResult::Ok);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "jpeg");
}

TEST_F(PathResolveTest, A5CTrailByteIsPartOfItsCharacterNotASeparator) {
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C in CP932: the second byte is '\\'.
    fs::create_directories("ソフト");
    WriteFile("ソフト/表.TXT", "table");
    const std::string name = Utf8ToCp932("ソフト\\表.txt");
    ASSERT_EQ(name.substr(0, 2), "\x83\x5C");
    EXPECT_EQ(d3dx9::ResolveFileName(name.c_str()), "ソフト/表.TXT");
    // A lone 0x5C after a single-byte character is a separator again.
    EXPECT_EQ(d3dx9::ResolveFileName(Utf8ToCp932("ソフト\\表.TXT").c_str()), "ソフト/表.TXT");
}

TEST_F(PathResolveTest, MissingOrUndecodableNamesResolveToNothing) {
    fs::create_directories("dir");
    EXPECT_EQ(d3dx9::ResolveFileName("nothing.png"), "");
    EXPECT_EQ(d3dx9::ResolveFileName("dir\\nothing.png"), "");
    EXPECT_EQ(d3dx9::ResolveFileName("nodir\\x.png"), "");
    EXPECT_EQ(d3dx9::ResolveFileName(""), "");
    EXPECT_EQ(d3dx9::ResolveFileName(nullptr), "");
    EXPECT_EQ(d3dx9::ResolveFileName("\x81"), "");     // a lead byte with no trail byte
    EXPECT_EQ(d3dx9::ResolveFileName("\xFF.png"), ""); // not a CP932 byte
    std::vector<unsigned char> bytes{1, 2};
    EXPECT_EQ(d3dx9::ReadWholeFile("nothing.png", bytes, 100), d3dx9::FileReadResult::NotFound);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(PathResolveTest, NewFilesGoIntoTheResolvedFolder) {
    fs::create_directories("Shots");
    WriteFile("Shots/Old.PNG", "x");
    EXPECT_EQ(d3dx9::ResolveNewFileName("shots\\new.png"), "Shots/new.png");
    EXPECT_EQ(d3dx9::ResolveNewFileName("shots\\old.png"), "Shots/Old.PNG"); // overwritten
    EXPECT_EQ(d3dx9::ResolveNewFileName("frame.bmp"), "frame.bmp");
    EXPECT_EQ(d3dx9::ResolveNewFileName("nofolder\\frame.bmp"), "");
    EXPECT_EQ(d3dx9::ResolveNewFileName("shots\\"), "Shots"); // the folder itself exists
}

TEST_F(PathResolveTest, OnlyRegularFilesAreRead) {
    fs::create_directories("Folder");
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    std::vector<unsigned char> bytes;
    EXPECT_EQ(d3dx9::ReadWholeFile("folder", bytes, 100), d3dx9::FileReadResult::NotRegularFile);
    // A FIFO with no writer: refused at once, not waited on.
    EXPECT_EQ(d3dx9::ReadWholeFile("PIPE", bytes, 100), d3dx9::FileReadResult::NotRegularFile);
    EXPECT_EQ(d3dx9::ReadWholeFile("/dev/zero", bytes, 100), d3dx9::FileReadResult::NotRegularFile);
    EXPECT_EQ(d3dx9::ReadWholeFile("\\dev\\null", bytes, 100),
              d3dx9::FileReadResult::NotRegularFile);
}

TEST_F(PathResolveTest, FilesAreReadWholeUpToTheLimit) {
    WriteFile("data.bin", std::string("\0\1\2\3\4", 5));
    WriteFile("empty.bin", "");
    std::vector<unsigned char> bytes;
    ASSERT_EQ(d3dx9::ReadWholeFile("DATA.bin", bytes, 5), d3dx9::FileReadResult::Ok);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0, 1, 2, 3, 4}));
    EXPECT_EQ(d3dx9::ReadWholeFile("data.bin", bytes, 4), d3dx9::FileReadResult::TooLarge);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(d3dx9::ReadWholeFile("empty.bin", bytes, 4), d3dx9::FileReadResult::Ok);
    EXPECT_TRUE(bytes.empty());
}

} // namespace
