// A checked read cursor over an image file's bytes: every read fails rather than overrun.
#pragma once

#include <cstddef>
#include <cstdint>

namespace d3dx9 {

class ImageCursor {
  public:
    ImageCursor(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size) {}

    size_t Position() const { return pos_; }
    size_t Left() const { return size_ - pos_; }
    const unsigned char* Here() const { return bytes_ + pos_; }

    bool Seek(size_t position) {
        if (position > size_) return false;
        pos_ = position;
        return true;
    }
    bool Skip(size_t count) {
        if (count > Left()) return false;
        pos_ += count;
        return true;
    }
    bool U8(uint8_t& v) {
        if (Left() < 1) return false;
        v = bytes_[pos_++];
        return true;
    }
    bool U16Le(uint16_t& v) { return Read(2, false, v); }
    bool U32Le(uint32_t& v) { return Read(4, false, v); }
    bool U16Be(uint16_t& v) { return Read(2, true, v); }
    bool U32Be(uint32_t& v) { return Read(4, true, v); }

  private:
    template <typename T> bool Read(size_t n, bool bigEndian, T& v) {
        if (Left() < n) return false;
        uint64_t r = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint64_t byte = bytes_[pos_ + (bigEndian ? i : n - 1 - i)];
            r = (r << 8) | byte;
        }
        pos_ += n;
        v = static_cast<T>(r);
        return true;
    }

    const unsigned char* bytes_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace d3dx9
