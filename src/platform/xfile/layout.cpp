// The layouts of Mesh, MeshNormals, MeshTextureCoords, MeshVertexColors, MeshMaterialList,
// Material and FrameTransformMatrix, and the cursor that walks them.
#include "xfile/layout.h"

#include <algorithm>

namespace xfile {
namespace {

using S = LayoutStep;

// DWORD nVertices; array Vector vertices[nVertices]; DWORD nFaces; array MeshFace faces[nFaces];
// MeshNormals has the same shape: normals, then one MeshFace of normal indices per face.
constexpr LayoutStep kVerticesAndFaces[] = {
    {S::Count, 0, 0}, {S::Counted, 3, 0}, {S::Count, 0, 1}, {S::Faces, 0, 1}, {S::End, 0, 0}};
// DWORD nTextureCoords; array Coords2d textureCoords[nTextureCoords];
constexpr LayoutStep kTextureCoords[] = {{S::Count, 0, 0}, {S::Counted, 2, 0}, {S::End, 0, 0}};
// DWORD nVertexColors; array IndexedColor vertexColors[nVertexColors]; (DWORD index; 4 FLOATs)
constexpr LayoutStep kVertexColors[] = {{S::Count, 0, 0}, {S::Counted, 5, 0}, {S::End, 0, 0}};
// DWORD nMaterials; DWORD nFaceIndexes; array DWORD faceIndexes[nFaceIndexes];
constexpr LayoutStep kMaterialList[] = {
    {S::Numbers, 1, 0}, {S::Count, 0, 0}, {S::Counted, 1, 0}, {S::End, 0, 0}};
// ColorRGBA faceColor; FLOAT power; ColorRGB specularColor; ColorRGB emissiveColor;
constexpr LayoutStep kMaterial[] = {{S::Numbers, 11, 0}, {S::End, 0, 0}};
// Matrix4x4 frameMatrix;
constexpr LayoutStep kMatrix[] = {{S::Numbers, 16, 0}, {S::End, 0, 0}};

const LayoutStep* LayoutOf(Template type) {
    switch (type) {
    case Template::Mesh:
    case Template::MeshNormals:
        return kVerticesAndFaces;
    case Template::MeshTextureCoords:
        return kTextureCoords;
    case Template::MeshVertexColors:
        return kVertexColors;
    case Template::MeshMaterialList:
        return kMaterialList;
    case Template::Material:
        return kMaterial;
    case Template::FrameTransformMatrix:
        return kMatrix;
    default:
        return nullptr;
    }
}

constexpr const char* kSurplus = "more values than the template's counts hold";
constexpr const char* kNotACount = "a count that is not a whole number";
constexpr const char* kString = "a string among an object's numbers";

} // namespace

LayoutCursor::LayoutCursor(Template type) : step_(LayoutOf(type)) {
    if (step_) Enter();
}

void LayoutCursor::Enter() {
    for (;; ++step_) {
        switch (step_->kind) {
        case S::Numbers:
            left_ = step_->size;
            break;
        case S::Counted:
            left_ = uint64_t{counts_[step_->slot]} * step_->size;
            break;
        case S::Faces:
            faces_left_ = counts_[step_->slot];
            in_face_ = false;
            if (faces_left_ > 0) return;
            continue;
        case S::Count:
        case S::End:
            return;
        }
        if (left_ > 0) return;
    }
}

// A count as Values reads one in the mesh builder: digits alone, or a float that is whole.
bool LayoutCursor::TakeCount(const Numbers& values, size_t i, uint32_t& out) {
    if (values.is_integer(i)) {
        out = values.integer(i);
        return true;
    }
    const float f = values.real(i);
    if (f >= 0 && f < 4294967296.0f && static_cast<float>(static_cast<uint32_t>(f)) == f) {
        out = static_cast<uint32_t>(f);
        return true;
    }
    fault_ = kNotACount;
    return false;
}

size_t LayoutCursor::TakeNumbers(const Numbers& values) {
    if (!step_) return values.size();
    size_t i = 0;
    while (i < values.size()) {
        switch (step_->kind) {
        case S::End:
            fault_ = kSurplus;
            return i;
        case S::Numbers:
        case S::Counted: {
            const uint64_t take = std::min<uint64_t>(left_, values.size() - i);
            i += take;
            left_ -= take;
            if (left_ == 0) Next();
            break;
        }
        case S::Count:
            if (!TakeCount(values, i, counts_[step_->slot])) return i;
            ++i;
            Next();
            break;
        case S::Faces: {
            if (!in_face_) {
                uint32_t corners;
                if (!TakeCount(values, i, corners)) return i;
                ++i;
                left_ = corners;
                in_face_ = true;
            } else {
                const uint64_t take = std::min<uint64_t>(left_, values.size() - i);
                i += take;
                left_ -= take;
            }
            if (left_ == 0) {
                in_face_ = false;
                if (--faces_left_ == 0) Next();
            }
            break;
        }
        }
    }
    return i;
}

bool LayoutCursor::TakeString() {
    if (!step_) return true;
    fault_ = complete() ? kSurplus : kString;
    return false;
}

} // namespace xfile
