// The numbers of one .x object read in order, each read checked against what is left: how the
// mesh builder and the skin reader take counts, indices and floats from the document.
#pragma once

#include "xfile/document.h"

#include <cstddef>
#include <cstdint>

namespace d3dx9 {

class Values {
  public:
    explicit Values(xfile::Numbers v) : v_(v) {}
    size_t left() const { return v_.size() - i_; }
    // A count or an index: a whole number, written with or without a fraction.
    bool Count(uint32_t& out) {
        if (i_ == v_.size()) return false;
        const size_t i = i_++;
        if (v_.is_integer(i)) {
            out = v_.integer(i);
            return true;
        }
        const float f = v_.real(i);
        if (!(f >= 0 && f < 4294967296.0f)) return false;
        out = static_cast<uint32_t>(f);
        return static_cast<float>(out) == f;
    }
    float Float() { return v_.real(i_++); } // caller checked left()
    void Floats(float* out, size_t count) { // caller checked left()
        v_.CopyReals(i_, count, out);
        i_ += count;
    }

  private:
    xfile::Numbers v_;
    size_t i_ = 0;
};

} // namespace d3dx9
