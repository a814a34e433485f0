// Resolution of Windows (CP932, backslash, case-insensitive) file names on a POSIX file system.
#include "win32/file_names.h"

#include "win32/cp932.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace win32 {
namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

// The entry of `directory` whose name equals `segment` without regard to letter case; of several,
// the first in byte order, so the choice does not depend on the directory's order.
std::string FindEntryIgnoringCase(const std::string& directory, const std::string& segment) {
    DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) return {};
    std::string best;
    while (const dirent* entry = readdir(dir)) {
        if (EqualIgnoringAsciiCase(segment, entry->d_name) &&
            (best.empty() || best > entry->d_name))
            best = entry->d_name;
    }
    closedir(dir);
    return best;
}

std::string Join(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + '/' + name;
}

// The existing path a decoded Windows name means (of any kind, folders included).
std::string ResolveDecodedName(std::string utf8) {
    // After decoding, U+005C can only come from a lone 0x5C byte: trail bytes are inside their
    // characters, so this replacement never splits a double-byte character.
    std::replace(utf8.begin(), utf8.end(), '\\', '/');
    utf8.erase(
        std::unique(utf8.begin(), utf8.end(), [](char a, char b) { return a == '/' && b == '/'; }),
        utf8.end());
    if (Exists(utf8)) return utf8;

    std::string resolved = utf8.front() == '/' ? "/" : "";
    size_t pos = 0;
    while (pos < utf8.size()) {
        size_t end = utf8.find('/', pos);
        if (end == std::string::npos) end = utf8.size();
        const std::string segment = utf8.substr(pos, end - pos);
        pos = end + 1;
        if (segment.empty()) continue; // repeated or leading separators
        std::string next = Join(resolved, segment);
        if (segment != "." && segment != ".." && !Exists(next)) {
            const std::string match = FindEntryIgnoringCase(resolved, segment);
            if (match.empty()) return {};
            next = Join(resolved, match);
        }
        resolved = std::move(next);
    }
    return Exists(resolved) ? resolved : std::string{};
}

} // namespace

std::string ResolveFileName(const char* cp932Name) {
    if (!cp932Name || !*cp932Name) return {};
    std::string utf8;
    if (!win32::Cp932ToUtf8(cp932Name, utf8, win32::InvalidCp932::Refuse)) return {};
    return ResolveDecodedName(std::move(utf8));
}

std::string ResolveNewFileName(const char* cp932Name) {
    if (!cp932Name || !*cp932Name) return {};
    if (std::string existing = ResolveFileName(cp932Name); !existing.empty()) return existing;
    std::string utf8;
    if (!win32::Cp932ToUtf8(cp932Name, utf8, win32::InvalidCp932::Refuse)) return {};
    std::replace(utf8.begin(), utf8.end(), '\\', '/');
    const size_t slash = utf8.rfind('/');
    const std::string name = slash == std::string::npos ? utf8 : utf8.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return {};
    if (slash == std::string::npos) return name;
    if (slash == 0) return "/" + name;
    const std::string folder = ResolveDecodedName(utf8.substr(0, slash));
    return folder.empty() ? std::string{} : Join(folder, name);
}

} // namespace win32
