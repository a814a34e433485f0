// The DirectX .x reader: bytes in (text, binary or MSZIP-compressed), a document tree out.
//
// Parse() reads the 16-byte header, inflates `tzip`/`bzip` payloads and tokenises the rest in one
// pass. Every data object becomes one Node in a single vector, in file order (pre-order), so a
// node's descendants are the nodes after it up to `end`. Member values are not typed by their
// template: each object keeps the run of numbers (as doubles, which hold every DWORD and FLOAT
// exactly) and the run of strings it contains, in order; whoever walks the tree knows the
// layout of the templates it cares about. Objects whose template is neither standard nor
// declared in the file are skipped. References `{Name}`, `{<GUID>}` and `{Name <GUID>}` are
// nodes of their own, resolved after parsing to an earlier, already closed object.
//
// No exceptions leave Parse(); a failure leaves the document empty and reports where it
// happened (line and column for text, byte offset for everything).
#pragma once

#include "xfile/large_buffer.h"

#include <cstddef>
#include <cstdint>
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

    std::span<const double> numbers(const Node& node) const {
        return {numbers_.data() + node.numbers_begin, node.numbers_count};
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
    friend Status Parse(std::span<const uint8_t>, Document&, Error*);

    Format format_ = Format::Text;
    int float_size_ = 32;
    std::vector<Node> nodes_;
    LargeVector<double> numbers_;
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

} // namespace xfile
