// The .x document tree: the standard template names, child ranges and reference lookup.
#include "xfile/document.h"
#include "xfile/token.h"

namespace xfile {
namespace {

struct StandardTemplate {
    std::string_view name;
    Template type;
};

constexpr StandardTemplate kStandardTemplates[] = {
    {"Header", Template::Header},
    {"Vector", Template::Vector},
    {"Coords2d", Template::Coords2d},
    {"Quaternion", Template::Quaternion},
    {"Matrix4x4", Template::Matrix4x4},
    {"ColorRGBA", Template::ColorRGBA},
    {"ColorRGB", Template::ColorRGB},
    {"IndexedColor", Template::IndexedColor},
    {"Boolean", Template::Boolean},
    {"Boolean2d", Template::Boolean2d},
    {"MaterialWrap", Template::MaterialWrap},
    {"TextureFilename", Template::TextureFilename},
    {"Material", Template::Material},
    {"MeshFace", Template::MeshFace},
    {"MeshFaceWraps", Template::MeshFaceWraps},
    {"MeshTextureCoords", Template::MeshTextureCoords},
    {"MeshNormals", Template::MeshNormals},
    {"MeshVertexColors", Template::MeshVertexColors},
    {"MeshMaterialList", Template::MeshMaterialList},
    {"Mesh", Template::Mesh},
    {"FrameTransformMatrix", Template::FrameTransformMatrix},
    {"Frame", Template::Frame},
    {"FloatKeys", Template::FloatKeys},
    {"TimedFloatKeys", Template::TimedFloatKeys},
    {"AnimationKey", Template::AnimationKey},
    {"AnimationOptions", Template::AnimationOptions},
    {"Animation", Template::Animation},
    {"AnimationSet", Template::AnimationSet},
    {"InlineData", Template::InlineData},
    {"Url", Template::Url},
    {"ProgressiveMesh", Template::ProgressiveMesh},
    {"Guid", Template::Guid},
    {"StringProperty", Template::StringProperty},
    {"PropertyBag", Template::PropertyBag},
    {"ExternalVisual", Template::ExternalVisual},
    {"RightHanded", Template::RightHanded},
    {"VertexDuplicationIndices", Template::VertexDuplicationIndices},
    {"XSkinMeshHeader", Template::XSkinMeshHeader},
    {"SkinWeights", Template::SkinWeights},
    {"FVFData", Template::FVFData},
    {"VertexElement", Template::VertexElement},
    {"DeclData", Template::DeclData},
    {"EffectFloats", Template::EffectFloats},
    {"EffectString", Template::EffectString},
    {"EffectDWord", Template::EffectDWord},
    {"EffectParamFloats", Template::EffectParamFloats},
    {"EffectParamString", Template::EffectParamString},
    {"EffectParamDWord", Template::EffectParamDWord},
    {"EffectInstance", Template::EffectInstance},
    {"AnimTicksPerSecond", Template::AnimTicksPerSecond},
    {"CompressedAnimationSet", Template::CompressedAnimationSet},
    {"PatchMesh", Template::PatchMesh},
    {"PatchMesh9", Template::PatchMesh9},
};

} // namespace

bool FindStandardTemplate(std::string_view name, Template* out) {
    for (const StandardTemplate& t : kStandardTemplates) {
        if (EqualsIgnoringCase(t.name, name)) {
            *out = t.type;
            return true;
        }
    }
    return false;
}

const char* StatusName(Status status) {
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::BadFileType:
        return "bad file type";
    case Status::BadFileVersion:
        return "bad file version";
    case Status::BadFileFloatSize:
        return "bad float size";
    case Status::ParseError:
        return "parse error";
    case Status::OutOfMemory:
        return "out of memory";
    }
    return "?";
}

Document::Children Document::top_level() const {
    return {nodes_.data(), 0, static_cast<uint32_t>(nodes_.size())};
}

Document::Children Document::children(const Node& node) const {
    const uint32_t index = static_cast<uint32_t>(&node - nodes_.data());
    return {nodes_.data(), index + 1, node.end};
}

const Node* Document::resolve(const Node& node) const {
    if (!node.is_reference) return &node;
    return node.target == kNoNode ? nullptr : &nodes_[node.target];
}

void Document::clear() {
    format_ = Format::Text;
    float_size_ = 32;
    nodes_.clear();
    numbers_.clear();
    strings_.clear();
    chars_.clear();
}

} // namespace xfile
