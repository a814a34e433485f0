// Kernel32's file calls over POSIX: GetFileAttributesA, CreateFileA for reading an existing
// file, GetFileSize and CloseHandle on the handle it gives.
#include "win32/file_names.h"

#include <windows.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file handle holds: the open descriptor.
struct FileHandle {
    int fd;
};

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// The existing file a name means, or "" with the last error set.
std::string ExistingPath(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return {};
    }
    std::string path = win32::ResolveFileName(fileName);
    if (path.empty()) SetLastError(ERROR_FILE_NOT_FOUND);
    return path;
}

} // namespace

// Folders are FILE_ATTRIBUTE_DIRECTORY; FIFOs, sockets and devices, which Windows programs
// cannot read as files, FILE_ATTRIBUTE_DEVICE.
DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
    const std::string path = ExistingPath(fileName);
    if (path.empty()) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    if (!S_ISREG(st.st_mode)) return FILE_ATTRIBUTE_DEVICE;
    return access(path.c_str(), W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

// Only what reading needs: an existing regular file opened for GENERIC_READ. A folder is
// refused with ERROR_ACCESS_DENIED, as on Windows.
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD creationDisposition, DWORD, HANDLE) {
    if (desiredAccess != GENERIC_READ || creationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = ExistingPath(fileName);
    if (path.empty()) return INVALID_HANDLE_VALUE;
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return new FileHandle{fd};
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    struct stat st;
    if (!file || file == INVALID_HANDLE_VALUE ||
        fstat(static_cast<FileHandle*>(file)->fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    const unsigned long long size = S_ISREG(st.st_mode) ? st.st_size : 0;
    if (fileSizeHigh) *fileSizeHigh = DWORD(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return DWORD(size);
}

BOOL WINAPI CloseHandle(HANDLE object) {
    if (!object || object == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* file = static_cast<FileHandle*>(object);
    close(file->fd);
    delete file;
    return TRUE;
}
