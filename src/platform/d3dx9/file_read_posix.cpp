// Whole-file reads of regular files named by CP932 Windows names, on a POSIX file system.
#include "d3dx9/path_resolve.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace d3dx9 {

namespace {

template <class Bytes>
FileReadResult ReadInto(const char* cp932Name, Bytes& bytes, size_t maxBytes) {
    bytes.clear();
    const std::string path = ResolveFileName(cp932Name);
    if (path.empty()) return FileReadResult::NotFound;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked right after.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? FileReadResult::NotFound : FileReadResult::ReadError;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return FileReadResult::ReadError;
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return FileReadResult::NotRegularFile;
    }
    if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) {
        close(fd);
        return FileReadResult::TooLarge;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            bytes.clear();
            return FileReadResult::ReadError;
        }
        if (n == 0) break; // shrunk while reading: keep what is there
        done += static_cast<size_t>(n);
    }
    close(fd);
    bytes.resize(done);
    return FileReadResult::Ok;
}

} // namespace

FileReadResult ReadWholeFile(const char* cp932Name, std::vector<unsigned char>& bytes,
                             size_t maxBytes) {
    return ReadInto(cp932Name, bytes, maxBytes);
}

FileReadResult ReadWholeFile(const char* cp932Name, xfile::LargeVector<unsigned char>& bytes,
                             size_t maxBytes) {
    return ReadInto(cp932Name, bytes, maxBytes);
}

} // namespace d3dx9
