// Each frame's world matrix while an animation plays, against Assimp's reading of the same file:
// anim_test.x and generated files over every key type x linear/spline x open/closed x
// text/binary/MSZIP text/MSZIP binary x 32/64-bit floats. Assimp's scene is turned back into
// the file's convention (Assimp mirrors z, MakeLeftHandedProcess, and stores column-vector
// matrices) and its keys are sampled here, linearly and by Assimp's own slerp.
//
// Known departures, where Assimp does not do what D3DX does, and what is compared instead:
// - Assimp reads no AnimationOptions: it joins spline positions with straight lines. Spline
//   cases are compared at their keys only, where both pass.
// - Assimp neither loops nor stops a set at its period; samples stay inside the keys' span.
// - Assimp 5.2 cannot inflate an MSZIP file of several blocks that refer back to earlier ones
//   ("Failed to decompress MSZIP-compressed data"): the compressed files here are one block.
// - Assimp has no default for a missing AnimTicksPerSecond (it gives 0 ticks per second; D3DX
//   uses 4800): the comparison is made in ticks, which both share.
#include "d3dx_hierarchy_fixture.h"
#include "testing/recording_device.h"
#include "xfile_test_writer.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using xfile_test::BinaryWriter;

namespace {

// --- the generated files --------------------------------------------------------------------

enum class KeyKind { Rotation = 0, Scale = 1, Position = 2, Matrix = 4 };
enum class Encoding { Text, Binary, TextZip, BinaryZip };

struct Case {
    KeyKind keys;
    bool spline;
    bool open;
    Encoding encoding;
    bool doubles;
};

const int kKeyTicks[] = {0, 7, 15, 22, 30};
constexpr int kTicksPerSecond = 30;

D3DXQUATERNION AxisAngle(D3DXVECTOR3 axis, float angle) {
    D3DXVec3Normalize(&axis, &axis);
    const float s = std::sin(angle / 2);
    return D3DXQUATERNION(axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2));
}

// The values of key k of a bone (bone differs the numbers): as the file writes them.
std::vector<double> KeyValues(KeyKind kind, int bone, int k) {
    const float a = 0.45f * k + 0.2f * bone;
    const D3DXVECTOR3 position(1.5f * k - bone, 0.5f * bone + std::sin(a), 2.0f - 0.7f * k);
    const D3DXVECTOR3 scale(1.0f + 0.2f * k, 1.0f + 0.1f * bone, 1.5f - 0.1f * k);
    const D3DXQUATERNION q = AxisAngle(D3DXVECTOR3(0.3f, 1.0f, 0.2f * bone), a);
    switch (kind) {
    case KeyKind::Rotation:
        return {q.w, q.x, q.y, q.z};
    case KeyKind::Scale:
        return {scale.x, scale.y, scale.z};
    case KeyKind::Position:
        return {position.x, position.y, position.z};
    case KeyKind::Matrix: {
        D3DXMATRIX m;
        D3DXMatrixTransformation(&m, nullptr, nullptr, &scale, nullptr, &q, &position);
        return std::vector<double>(&m._11, &m._11 + 16);
    }
    }
    return {};
}

D3DXMATRIX FrameMatrix(int bone) {
    const D3DXQUATERNION q = AxisAngle(D3DXVECTOR3(1, 0.5f, 0), 0.3f + bone);
    const D3DXVECTOR3 s(1, 1, 1), t(bone * 1.0f, 2.0f, -1.0f * bone);
    D3DXMATRIX m;
    D3DXMatrixTransformation(&m, nullptr, nullptr, &s, nullptr, &q, &t);
    return m;
}

const char* const kBones[] = {"Root", "Arm", "Hand", "Leg"};
const int kParent[] = {-1, 0, 1, 0};
const int kAnimated[] = {0, 1, 2}; // Leg keeps its matrix

std::string Number(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.9g", v);
    return b;
}

std::string TextFile(const Case& c) {
    std::string s = std::string("xof 0303txt ") + (c.doubles ? "0064" : "0032") + "\n";
    s += "AnimTicksPerSecond { " + std::to_string(kTicksPerSecond) + "; }\n";
    // Frames: Root { Arm { Hand } Leg }, each with its matrix.
    const auto frame_open = [&](int b) {
        s += std::string("Frame ") + kBones[b] + " { FrameTransformMatrix { ";
        const D3DXMATRIX m = FrameMatrix(b);
        for (int i = 0; i < 16; ++i)
            s += Number((&m._11)[i]) + (i < 15 ? ", " : ";; }\n");
    };
    frame_open(0);
    frame_open(1);
    frame_open(2);
    s += "}}\n";
    frame_open(3);
    s += "}}\n";
    s += "AnimationSet Walk {\n";
    for (int b : kAnimated) {
        s += std::string("Animation { {") + kBones[b] + "}\n";
        s += "AnimationOptions { " + std::to_string(c.open ? 1 : 0) + "; " +
             std::to_string(c.spline ? 0 : 1) + "; }\n";
        s += "AnimationKey { " + std::to_string(static_cast<int>(c.keys)) + "; 5;\n";
        for (int k = 0; k < 5; ++k) {
            const auto v = KeyValues(c.keys, b, k);
            s += std::to_string(kKeyTicks[k]) + "; " + std::to_string(v.size()) + "; ";
            for (size_t i = 0; i < v.size(); ++i)
                s += Number(v[i]) + (i + 1 < v.size() ? ", " : "");
            s += k < 4 ? ";;,\n" : ";;;\n";
        }
        s += "} }\n";
    }
    return s + "}\n";
}

std::string BinaryPayload(const Case& c) {
    BinaryWriter w(c.doubles);
    w.Name("AnimTicksPerSecond").Open().Integers({kTicksPerSecond}).Close();
    const auto frame_open = [&](int b) {
        w.Name("Frame").Name(kBones[b]).Open().Name("FrameTransformMatrix").Open();
        const D3DXMATRIX m = FrameMatrix(b);
        w.Floats(std::vector<double>(&m._11, &m._11 + 16)).Close();
    };
    frame_open(0);
    frame_open(1);
    frame_open(2);
    w.Close().Close();
    frame_open(3);
    w.Close().Close();
    w.Name("AnimationSet").Name("Walk").Open();
    for (int b : kAnimated) {
        w.Name("Animation").Open().Open().Name(kBones[b]).Close();
        w.Name("AnimationOptions").Open().Integers({c.open ? 1u : 0u, c.spline ? 0u : 1u}).Close();
        w.Name("AnimationKey").Open().Integers({static_cast<uint32_t>(c.keys), 5});
        for (int k = 0; k < 5; ++k) {
            const auto v = KeyValues(c.keys, b, k);
            w.Integers({static_cast<uint32_t>(kKeyTicks[k]), static_cast<uint32_t>(v.size())});
            w.Floats(v);
        }
        w.Close().Close();
    }
    w.Close();
    return w.str();
}

std::string File(const Case& c) {
    const std::string size = c.doubles ? "0064" : "0032";
    switch (c.encoding) {
    case Encoding::Text:
        return TextFile(c);
    case Encoding::Binary:
        return "xof 0303bin " + size + BinaryPayload(c);
    case Encoding::TextZip:
        return xfile_test::Compressed("xof 0303tzip" + size, TextFile(c).substr(16));
    case Encoding::BinaryZip:
        return xfile_test::Compressed("xof 0303bzip" + size, BinaryPayload(c));
    }
    return {};
}

// --- Assimp's side ---------------------------------------------------------------------------

template <class Key> std::pair<unsigned, float> Bracket(const Key* keys, unsigned n, double t) {
    if (t <= keys[0].mTime) return {0, 0.0f};
    for (unsigned i = 0; i + 1 < n; ++i)
        if (t < keys[i + 1].mTime)
            return {i,
                    static_cast<float>((t - keys[i].mTime) / (keys[i + 1].mTime - keys[i].mTime))};
    return {n - 1, 0.0f};
}

aiVector3D SampleVectors(const aiVectorKey* keys, unsigned n, double t, aiVector3D fallback) {
    if (n == 0) return fallback;
    const auto [i, f] = Bracket(keys, n, t);
    if (i + 1 >= n) return keys[i].mValue;
    return keys[i].mValue + (keys[i + 1].mValue - keys[i].mValue) * f;
}

aiQuaternion SampleRotations(const aiQuatKey* keys, unsigned n, double t) {
    if (n == 0) return aiQuaternion();
    const auto [i, f] = Bracket(keys, n, t);
    if (i + 1 >= n) return keys[i].mValue;
    aiQuaternion out;
    aiQuaternion::Interpolate(out, keys[i].mValue, keys[i + 1].mValue, f);
    return out;
}

// Assimp's world matrix of `name` at `ticks`, back in the file's row-vector, unmirrored terms.
bool AssimpWorld(const aiScene* scene, const char* name, double ticks, D3DXMATRIX* out) {
    const aiNode* node = scene->mRootNode->FindNode(name);
    if (!node) return false;
    const aiAnimation* anim = scene->mNumAnimations ? scene->mAnimations[0] : nullptr;
    aiMatrix4x4 world;
    for (const aiNode* n = node; n; n = n->mParent) {
        aiMatrix4x4 local = n->mTransformation;
        for (unsigned c = 0; anim && c < anim->mNumChannels; ++c) {
            const aiNodeAnim* ch = anim->mChannels[c];
            if (ch->mNodeName != n->mName) continue;
            // T * R * S for column vectors, as assimp_view's animation evaluator builds it.
            aiMatrix4x4 t, s;
            aiMatrix4x4::Translation(
                SampleVectors(ch->mPositionKeys, ch->mNumPositionKeys, ticks, aiVector3D()), t);
            aiMatrix4x4::Scaling(
                SampleVectors(ch->mScalingKeys, ch->mNumScalingKeys, ticks, aiVector3D(1, 1, 1)),
                s);
            const aiMatrix4x4 r(
                SampleRotations(ch->mRotationKeys, ch->mNumRotationKeys, ticks).GetMatrix());
            local = t * r * s;
        }
        world = local * world;
    }
    // Undo the mirror (z negated on both sides) and the transpose.
    const float mirror[4] = {1, 1, -1, 1};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out->m[c][r] = world[r][c] * mirror[r] * mirror[c];
    return true;
}

// --- ours --------------------------------------------------------------------------------

D3DXMATRIX OurWorld(const D3DXFRAME* root, const char* name) {
    // Find the path from the root to the frame, then multiply along it.
    struct Step {
        const D3DXFRAME* frame;
        D3DXMATRIX world;
    };
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    std::vector<Step> pending{{root, identity}};
    while (!pending.empty()) {
        const Step s = pending.back();
        pending.pop_back();
        D3DXMATRIX world;
        D3DXMatrixMultiply(&world, &s.frame->TransformationMatrix, &s.world);
        if (s.frame->Name && std::string(s.frame->Name) == name) return world;
        if (s.frame->pFrameSibling) pending.push_back({s.frame->pFrameSibling, s.world});
        if (s.frame->pFrameFirstChild) pending.push_back({s.frame->pFrameFirstChild, world});
    }
    ADD_FAILURE() << "no frame " << name;
    return identity;
}

class AgainstAssimp : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder_ = xoftest::CreateRecordingDevice();
        device_ = xoftest::AsDevice(recorder_);
    }
    void TearDown() override {
        if (controller_) controller_->Release();
        if (root_) {
            EXPECT_EQ(D3DXFrameDestroy(root_, &alloc_), D3D_OK);
        }
        device_->Release();
    }

    // Plays the file's first set (track 0) and compares every named frame at each sample.
    void Compare(const std::string& file, const char* hint, const std::vector<const char*>& bones,
                 double ticks_per_second, const std::vector<double>& ticks) {
        SCOPED_TRACE(hint);
        ASSERT_EQ(D3DXLoadMeshHierarchyFromXInMemory(file.data(), static_cast<DWORD>(file.size()),
                                                     D3DXMESH_MANAGED, device_, &alloc_, nullptr,
                                                     &root_, &controller_),
                  D3D_OK);
        ASSERT_NE(controller_, nullptr);
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFileFromMemory(file.data(), file.size(), 0, "x");
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        for (double t : ticks) {
            ASSERT_EQ(controller_->SetTrackPosition(0, t / ticks_per_second), D3D_OK);
            ASSERT_EQ(controller_->AdvanceTime(0.0, nullptr), D3D_OK);
            for (const char* bone : bones) {
                D3DXMATRIX theirs;
                ASSERT_TRUE(AssimpWorld(scene, bone, t, &theirs)) << bone;
                const D3DXMATRIX ours = OurWorld(root_, bone);
                for (int i = 0; i < 16; ++i) {
                    const float want = (&theirs._11)[i];
                    EXPECT_NEAR((&ours._11)[i], want, 2e-4f * std::max(1.0f, std::fabs(want)))
                        << bone << " at tick " << t << ", element " << i;
                }
            }
        }
        controller_->Release();
        controller_ = nullptr;
        EXPECT_EQ(D3DXFrameDestroy(root_, &alloc_), D3D_OK);
        root_ = nullptr;
        EXPECT_EQ(alloc_.frames, 0);
    }

    xoftest::RecordingDevice* recorder_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    xoftest::CountingAllocator alloc_;
    D3DXFRAME* root_ = nullptr;
    ID3DXAnimationController* controller_ = nullptr;
};

TEST_F(AgainstAssimp, AnimTestX) {
    const auto bytes = xfile_test::ReadFile(std::string(XOF_XCORPUS_DIR) + "/anim_test.x");
    ASSERT_FALSE(bytes.empty());
    Compare(std::string(bytes.begin(), bytes.end()), "anim_test.x",
            {"pCylinder1", "joint1", "joint2", "ikHandle1"}, 24.0,
            {0.0, 1.0, 1.5, 3.25, 7.0, 12.6, 18.0, 20.5, 23.9});
}

TEST_F(AgainstAssimp, GeneratedFilesOfEveryKeyTypeInterpolationPlaybackAndEncoding) {
    const KeyKind kinds[] = {KeyKind::Rotation, KeyKind::Scale, KeyKind::Position, KeyKind::Matrix};
    const Encoding encodings[] = {Encoding::Text, Encoding::Binary, Encoding::TextZip,
                                  Encoding::BinaryZip};
    const std::vector<double> between = {0.0, 3.5, 7.0, 11.25, 15.0, 18.6, 22.0, 29.5};
    // Before the first key an open set holds it, as Assimp does; a closed one loops.
    const std::vector<double> before = {-2.0};
    const std::vector<double> at_keys = {0.0, 7.0, 15.0, 22.0};
    for (KeyKind kind : kinds)
        for (bool spline : {false, true})
            for (bool open : {false, true})
                for (Encoding encoding : encodings)
                    for (bool doubles : {false, true}) {
                        const Case c{kind, spline, open, encoding, doubles};
                        const std::string hint = "keys " + std::to_string(static_cast<int>(kind)) +
                                                 (spline ? " spline" : " linear") +
                                                 (open ? " open" : " closed") + " encoding " +
                                                 std::to_string(static_cast<int>(encoding)) +
                                                 (doubles ? " 64-bit" : " 32-bit");
                        // Spline positions leave the straight lines between keys.
                        const bool curved =
                            spline && (kind == KeyKind::Position || kind == KeyKind::Matrix);
                        std::vector<double> ticks = curved ? at_keys : between;
                        if (open) ticks.insert(ticks.begin(), before.begin(), before.end());
                        Compare(File(c), hint.c_str(), {"Root", "Arm", "Hand", "Leg"},
                                kTicksPerSecond, ticks);
                    }
}

} // namespace
