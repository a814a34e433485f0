// Whole-file reads of files named by ANSI Windows names, through kernel32.
#include "d3dx9/file_read.h"

#include <windows.h>

#include <algorithm>

namespace d3dx9 {
namespace {

FileReadResult ResultOfOpenError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return FileReadResult::NotFound;
    case ERROR_ACCESS_DENIED: // what CreateFileA says of a folder opened without backup rights
        return FileReadResult::NotRegularFile;
    default:
        return FileReadResult::ReadError;
    }
}

template <class Bytes>
FileReadResult ReadInto(const char* ansiName, Bytes& bytes, size_t maxBytes) {
    bytes.clear();
    if (!ansiName || !*ansiName) return FileReadResult::NotFound;
    const DWORD attributes = GetFileAttributesA(ansiName);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileReadResult::NotRegularFile;
    HANDLE file = CreateFileA(ansiName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ResultOfOpenError(GetLastError());
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return FileReadResult::NotRegularFile;
    }
    if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        CloseHandle(file);
        return FileReadResult::TooLarge;
    }
    bytes.resize(size_t(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + done, chunk, &read, nullptr)) {
            CloseHandle(file);
            bytes.clear();
            return FileReadResult::ReadError;
        }
        if (read == 0) break; // shrunk while reading: keep what is there
        done += read;
    }
    CloseHandle(file);
    bytes.resize(done);
    return FileReadResult::Ok;
}

} // namespace

FileReadResult ReadWholeFile(const char* ansiName, std::vector<unsigned char>& bytes,
                             size_t maxBytes) {
    return ReadInto(ansiName, bytes, maxBytes);
}

FileReadResult ReadWholeFile(const char* ansiName, xfile::LargeVector<unsigned char>& bytes,
                             size_t maxBytes) {
    return ReadInto(ansiName, bytes, maxBytes);
}

} // namespace d3dx9
