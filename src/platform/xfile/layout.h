// The members of the standard templates the mesh loader reads, and a cursor that checks an
// object's values against them as they arrive: every array exactly as long as its count says.
#pragma once

#include "xfile/document.h"

#include <cstddef>
#include <cstdint>

namespace xfile {

// One run of a template's members, flattened to numbers.
struct LayoutStep {
    enum Kind : uint8_t {
        End,
        Numbers, // `size` numbers
        Count,   // one whole number, kept in count `slot`
        Counted, // count `slot` times `size` numbers
        Faces,   // count `slot` faces, each a whole number n and then n numbers
    };
    Kind kind = End;
    uint8_t size = 0;
    uint8_t slot = 0;
};

// Where an object's values stand in its template. For a template without a layout here (most
// of them, and every declared one) it takes whatever comes.
class LayoutCursor {
  public:
    explicit LayoutCursor(Template type = Template::Custom);

    // Takes the next numbers of the object, in file order. Returns how many fit: all of them,
    // or the index of the first the template has no room for or that is not the whole number
    // a count must be (fault() says which).
    size_t TakeNumbers(const Numbers& values);
    // Takes a string; false when the template has none there (all with a layout hold numbers).
    bool TakeString();
    // Whether every member is filled, so that the object may end or its children begin.
    bool complete() const { return step_ == nullptr || step_->kind == LayoutStep::End; }
    const char* fault() const { return fault_; }

    // What the parser reports when an object ends, or its children begin, before complete().
    static constexpr const char* kShort = "fewer values than the template's counts call for";

  private:
    void Enter(); // sets up the current step, passing over those with nothing to take
    void Next() {
        ++step_;
        Enter();
    }
    bool TakeCount(const Numbers& values, size_t i, uint32_t& out);

    const LayoutStep* step_ = nullptr;
    uint64_t left_ = 0;       // numbers left in the current Numbers or Counted run, or face
    uint32_t faces_left_ = 0; // Faces: the faces still to come, the current one included
    bool in_face_ = false;    // Faces: the current face's count is read
    uint32_t counts_[2] = {};
    const char* fault_ = "";
};

} // namespace xfile
