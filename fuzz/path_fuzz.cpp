// libFuzzer target: any bytes as a Windows file name in code page 932, through the resolver that
// finds the file a name means (iconv, '\\' as a separator outside double-byte characters, letter
// case ignored) and the whole-file reader, in a small tree of files made at start-up whose names
// mix cases, Japanese and 0x5C trail bytes. Relative names resolve inside that tree.
#include "d3dx9/path_resolve.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string tree;

void MakeTree() {
    char pattern[] = "/tmp/xofview-path-fuzz-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) std::abort();
    tree = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(tree, ignored);
    });
    // UTF-8 names: "表" ends in 0x5C in CP932; "ソ" too; "フィルター画像" is the demo's image.
    for (const char* folder : {"Models", "models", "\xE8\xA1\xA8", "Models/Sub", "\xE3\x82\xBD"})
        mkdir(folder, 0755);
    for (const char* file :
         {"Models/Cube.X", "models/cube.x", "Models/Sub/Tex.PNG", "\xE8\xA1\xA8/a.x",
          "\xE3\x82\xBD/\xE3\x83\x95\xE3\x82\xA3\xE3\x83\xAB\xE3\x82\xBF\xE3\x83\xBC\xE7\x94\xBB"
          "\xE5\x83\x8F.jpg",
          "README"}) {
        if (FILE* f = std::fopen(file, "wb")) {
            std::fputs("xof 0303txt 0032\n", f);
            std::fclose(f);
        }
    }
    symlink("loop", "loop");
    mkfifo("fifo", 0644);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeTree();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024) return 0;
    const std::string name(reinterpret_cast<const char*>(data), size); // cut at a NUL, as C is
    // Absolute names would walk the whole machine; the tree is where the resolver is exercised.
    if (!name.empty() && (name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos))
        return 0;
    const std::string found = d3dx9::ResolveFileName(name.c_str());
    if (!found.empty()) {
        struct stat st;
        if (lstat(found.c_str(), &st) != 0) __builtin_trap(); // it must exist
    }
    d3dx9::ResolveNewFileName(name.c_str());
    std::vector<unsigned char> bytes;
    if (d3dx9::ReadWholeFile(name.c_str(), bytes, 4096) == d3dx9::FileReadResult::Ok &&
        bytes.size() > 4096)
        __builtin_trap();
    return 0;
}
