// The DirectX .x reader: bytes in (text, binary or MSZIP-compressed), a document tree out.
//
// Parse() reads the 16-byte header, inflates `tzip`/`bzip` payloads and tokenises the rest in one
// pass. Every data object becomes one Node in a single vector, in file order (pre-order), so a
// node's descendants are the nodes after it up to `end`. Member values are not typed by their
// template: each object keeps the run of numbers and the run of strings it contains, in order;
// whoever walks the tree knows the layout of the templates it cares about. The templates the
// mesh loader reads are checked as their values come, as the platform's parser reads them
// (xfile/layout.h): every array exactly as long as its count says. A number is kept in
// four bytes, as what a mesh is built from: one written as digits alone, from 0 to 2^32-1, or
// read as a binary DWORD, as that integer; any other as the float nearest to it. Objects whose
// template is neither standard nor declared in the file are skipped. References `{Name}`,
// `{<GUID>}` and `{Name <GUID>}` are nodes of their own, resolved after parsing to an earlier,
// already closed object. A '}' with nothing open ends the data when only more of them follow
// (docs/x-parser-tolerance.md).
//
// No exceptions leave Parse(); a failure leaves the document empty and reports where it
// happened (line and column for text, byte offset for everything).
#pragma once

#include "xfile/large_buffer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace xfile {

enum class Status : uint8_t {
    Ok,
    BadFileType,      // magic is not "xof ", or the format is not txt/bin/tzip/bzip
    BadFileVersion,   // version other than 0302 / 0303
    BadFileFloatSize, // float size other than 0032 / 0064
    ParseError,       // malformed data, including corrupt compressed blocks
    OutOfMemory,
};

const char* StatusName(Status status);

struct Error {
    Status status = Status::Ok;
    uint64_t offset = 0; // byte offset in the (decompressed) file, header included
    uint32_t line = 0;   // text files only: 1-based line and column of `offset`; 0 otherwise
    uint32_t column = 0;
    const char* message = "";
};

enum class Format : uint8_t { Text, Binary };

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};
    bool operator==(const Guid&) const = default;
};

// The templates D3DX knows without a declaration. Custom: declared in the file.
enum class Template : uint8_t {
    Custom,
    Header,
    Vector,
    Coords2d,
    Quaternion,
    Matrix4x4,
    ColorRGBA,
    ColorRGB,
    IndexedColor,
    Boolean,
    Boolean2d,
    MaterialWrap,
    TextureFilename,
    Material,
    MeshFace,
    MeshFaceWraps,
    MeshTextureCoords,
    MeshNormals,
    MeshVertexColors,
    MeshMaterialList,
    Mesh,
    FrameTransformMatrix,
    Frame,
    FloatKeys,
    TimedFloatKeys,
    AnimationKey,
    AnimationOptions,
    Animation,
    AnimationSet,
    InlineData,
    Url,
    ProgressiveMesh,
    Guid,
    StringProperty,
    PropertyBag,
    ExternalVisual,
    RightHanded,
    VertexDuplicationIndices,
    XSkinMeshHeader,
    SkinWeights,
    FVFData,
    VertexElement,
    DeclData,
    EffectFloats,
    EffectString,
    EffectDWord,
    EffectParamFloats,
    EffectParamString,
    EffectParamDWord,
    EffectInstance,
    AnimTicksPerSecond,
    CompressedAnimationSet,
    PatchMesh,
    PatchMesh9,
};

// The standard template with this name (case-insensitive), or false.
bool FindStandardTemplate(std::string_view name, Template* out);

inline constexpr uint32_t kNoNode = 0xFFFFFFFF;
// Objects nested deeper than this are a parse error (a hostile file cannot exhaust memory or
// the stack of whoever walks the tree recursively).
inline constexpr uint32_t kMaxDepth = 1024;

struct StrRef {
    uint32_t offset = 0;
    uint32_t length = 0;
};

struct Node {
    Template type = Template::Custom;
    bool is_reference = false;
    bool has_guid = false;
    uint32_t end = 0;          // index one past this node's last descendant
    uint32_t target = kNoNode; // references: the object they name, once resolved
    StrRef type_name;          // as written (empty for references)
    StrRef name;               // object name, or the name a reference gives; may be empty
    Guid guid;
    uint32_t numbers_begin = 0;
    uint32_t numbers_count = 0;
    uint32_t strings_begin = 0;
    uint32_t strings_count = 0;
};

// An object's run of numbers: each an integer or a float, as the file gave it.
class Numbers {
  public:
    Numbers(const uint32_t* values, const uint64_t* integer_bits, size_t first, size_t count)
        : values_(values + first), bits_(integer_bits), first_(first), count_(count) {}
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    bool is_integer(size_t i) const {
        const size_t at = first_ + i;
        return (bits_[at / 64] >> (at % 64)) & 1;
    }
    uint32_t integer(size_t i) const { return values_[i]; } // valid when is_integer(i)
    float real(size_t i) const {                            // either kind, as a float
        if (is_integer(i)) return static_cast<float>(values_[i]);
        float f;
        std::memcpy(&f, &values_[i], 4);
        return f;
    }
    double operator[](size_t i) const {
        return is_integer(i) ? static_cast<double>(values_[i]) : static_cast<double>(real(i));
    }
    // Numbers [i, i + count) as floats (i + count <= size()): runs without integers are copied
    // as they stand.
    void CopyReals(size_t i, size_t count, float* out) const {
        while (count > 0) {
            const size_t at = first_ + i, bit = at % 64;
            const size_t run = count < 64 - bit ? count : 64 - bit;
            const uint64_t mask = run == 64 ? ~uint64_t{0} : (uint64_t{1} << run) - 1;
            if (((bits_[at / 64] >> bit) & mask) == 0) {
                std::memcpy(out, values_ + i, run * 4);
            } else {
                for (size_t k = 0; k < run; ++k)
                    out[k] = real(i + k);
            }
            i += run;
            out += run;
            count -= run;
        }
    }

  private:
    const uint32_t* values_;
    const uint64_t* bits_;
    size_t first_, count_;
};

// All objects' numbers, four bytes each, with one bit each saying which are integers.
class NumberStore {
  public:
    size_t size() const { return values_.size(); }
    void reserve(size_t n) {
        values_.reserve(n);
        integer_bits_.reserve(n / 64 + 1);
    }
    void clear() {
        values_.clear();
        integer_bits_.assign(1, 0);
    }
    void PushInteger(uint32_t value) {
        const size_t i = values_.size();
        PushBits(value);
        integer_bits_[i / 64] |= uint64_t{1} << (i % 64);
    }
    void PushReal(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        PushBits(bits);
    }
    // Room for `count` more numbers of one kind, to be filled by the caller: DWORDs, or the bit
    // patterns of floats.
    uint32_t* Append(size_t count, bool integers) {
        const size_t start = values_.size();
        values_.resize(start + count);
        integer_bits_.resize(values_.size() / 64 + 1);
        if (integers) MarkIntegers(start, values_.size());
        return values_.data() + start;
    }
    // Appends all of `other`'s numbers, integers still marked as integers.
    void AppendStore(const NumberStore& other) {
        const size_t start = values_.size(), count = other.size();
        if (count == 0) return;
        std::memcpy(Append(count, false), other.values_.data(), count * 4);
        const size_t shift = start % 64;
        for (size_t k = 0; k * 64 < count; ++k) {
            const uint64_t word = other.integer_bits_[k];
            if (word == 0) continue;
            const size_t at = start / 64 + k;
            integer_bits_[at] |= word << shift;
            // Bits carried into the next word stand for numbers of `other`, so that word exists.
            if (shift && (word >> (64 - shift))) integer_bits_[at + 1] |= word >> (64 - shift);
        }
    }
    // Drops the numbers from `count` on, and what marked them as integers.
    void Truncate(size_t count) {
        values_.resize(count);
        integer_bits_.resize(count / 64 + 1);
        integer_bits_.back() &= (uint64_t{1} << (count % 64)) - 1;
    }
    Numbers View(size_t first, size_t count) const {
        return {values_.data(), integer_bits_.data(), first, count};
    }

  private:
    void PushBits(uint32_t bits) {
        values_.push_back(bits);
        if (values_.size() % 64 == 0) integer_bits_.push_back(0);
    }
    void MarkIntegers(size_t begin, size_t end) {
        for (; begin < end && begin % 64; ++begin)
            integer_bits_[begin / 64] |= uint64_t{1} << (begin % 64);
        for (; begin + 64 <= end; begin += 64)
            integer_bits_[begin / 64] = ~uint64_t{0};
        for (; begin < end; ++begin)
            integer_bits_[begin / 64] |= uint64_t{1} << (begin % 64);
    }

    LargeVector<uint32_t> values_;
    std::vector<uint64_t> integer_bits_ = std::vector<uint64_t>(1); // one word more than needed
};

class Document;
// The two Parse overloads' common body (below).
Status ParseFile(std::span<const uint8_t> bytes, LargeVector<uint8_t>* file, Document& doc,
                 Error* error);

class Document {
  public:
    class Children;

    Format format() const { return format_; }
    int float_size() const { return float_size_; } // 32 or 64
    std::span<const Node> nodes() const { return nodes_; }
    size_t number_count() const { return numbers_.size(); } // all objects' numbers together

    // Top-level objects, and the direct children of a node, in file order.
    Children top_level() const;
    Children children(const Node& node) const;

    // The object a node stands for: itself, or for a reference its target (nullptr if the
    // reference names no earlier object).
    const Node* resolve(const Node& node) const;

    Numbers numbers(const Node& node) const {
        return numbers_.View(node.numbers_begin, node.numbers_count);
    }
    std::string_view string(const Node& node, uint32_t i) const {
        return text(strings_[node.strings_begin + i]);
    }
    std::string_view name(const Node& node) const { return text(node.name); }
    std::string_view type_name(const Node& node) const { return text(node.type_name); }
    std::string_view text(StrRef ref) const { return {chars_.data() + ref.offset, ref.length}; }

    void clear();

  private:
    template <class Lexer> friend class Parser;
    friend Status ParseFile(std::span<const uint8_t>, LargeVector<uint8_t>*, Document&, Error*);

    Format format_ = Format::Text;
    int float_size_ = 32;
    std::vector<Node> nodes_;
    NumberStore numbers_;
    std::vector<StrRef> strings_;
    std::string chars_; // names and strings, copied once
};

class Document::Children {
  public:
    class iterator {
      public:
        iterator(const Node* nodes, uint32_t i) : nodes_(nodes), i_(i) {}
        const Node& operator*() const { return nodes_[i_]; }
        const Node* operator->() const { return nodes_ + i_; }
        iterator& operator++() {
            i_ = nodes_[i_].end;
            return *this;
        }
        bool operator==(const iterator& o) const { return i_ == o.i_; }

      private:
        const Node* nodes_;
        uint32_t i_;
    };
    Children(const Node* nodes, uint32_t begin, uint32_t end)
        : nodes_(nodes), begin_(begin), end_(end) {}
    iterator begin() const { return {nodes_, begin_}; }
    iterator end() const { return {nodes_, end_}; }

  private:
    const Node* nodes_;
    uint32_t begin_;
    uint32_t end_;
};

// Parses a whole .x file held in memory into `doc` (replacing its contents).
Status Parse(std::span<const uint8_t> bytes, Document& doc, Error* error = nullptr);
// The same for a file's bytes held in `file`, which is emptied as soon as they are no longer
// needed (a compressed file's once inflated), so that they are not held beside the document.
Status Parse(LargeVector<uint8_t>& file, Document& doc, Error* error = nullptr);

} // namespace xfile
