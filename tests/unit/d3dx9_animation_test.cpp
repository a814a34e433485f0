// Keyframed animation sets and the animation controller: sets and controllers made through the
// API, and those the hierarchy loader makes from .x files (anim_test.x's first keys give back
// its own bind pose; key lists out of order, damaged or huge; the order of the sets).
#include "d3dx_hierarchy_fixture.h"
#include "testing/recording_device.h"
#include "xfile_test_writer.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using xoftest::CountingAllocator;

namespace {

constexpr float kPi = 3.14159265358979f;

D3DXQUATERNION AxisAngle(float x, float y, float z, float angle) {
    const float s = std::sin(angle / 2);
    return D3DXQUATERNION(x * s, y * s, z * s, std::cos(angle / 2));
}

ID3DXKeyframedAnimationSet* MakeSet(const char* name, D3DXPLAYBACK_TYPE playback,
                                    double ticks_per_second = 1.0) {
    ID3DXKeyframedAnimationSet* set = nullptr;
    EXPECT_EQ(
        D3DXCreateKeyframedAnimationSet(name, ticks_per_second, playback, 4, 0, nullptr, &set),
        D3D_OK);
    return set;
}

// A bone moving along x from 0 to 10 over ticks 0..10, turning a quarter turn about y and
// growing from scale 1 to 3.
void AddBone(ID3DXKeyframedAnimationSet* set, const char* name) {
    const D3DXKEY_VECTOR3 scale[] = {{0, D3DXVECTOR3(1, 1, 1)}, {10, D3DXVECTOR3(3, 3, 3)}};
    const D3DXKEY_QUATERNION rotation[] = {{0, AxisAngle(0, 1, 0, 0)},
                                           {10, AxisAngle(0, 1, 0, kPi / 2)}};
    const D3DXKEY_VECTOR3 translation[] = {{0, D3DXVECTOR3(0, 0, 0)}, {10, D3DXVECTOR3(10, 0, 0)}};
    DWORD index = 99;
    ASSERT_EQ(set->RegisterAnimationSRTKeys(name, 2, 2, 2, scale, rotation, translation, &index),
              D3D_OK);
}

TEST(KeyframedSetTest, KeepsItsNameTicksAndPlaybackAndRefusesNoAnimations) {
    ID3DXKeyframedAnimationSet* set = nullptr;
    EXPECT_EQ(D3DXCreateKeyframedAnimationSet("walk", 30.0, D3DXPLAY_LOOP, 0, 0, nullptr, &set),
              D3DERR_INVALIDCALL);
    set = MakeSet("walk", D3DXPLAY_PINGPONG, 30.0);
    EXPECT_STREQ(set->GetName(), "walk");
    EXPECT_EQ(set->GetSourceTicksPerSecond(), 30.0);
    EXPECT_EQ(set->GetPlaybackType(), D3DXPLAY_PINGPONG);
    EXPECT_EQ(set->GetNumAnimations(), 0u);
    ID3DXAnimationSet* base = nullptr;
    ASSERT_EQ(set->QueryInterface(IID_ID3DXAnimationSet, reinterpret_cast<void**>(&base)), S_OK);
    EXPECT_EQ(base->Release(), 1u);
    EXPECT_EQ(set->Release(), 0u);
}

TEST(KeyframedSetTest, SamplesBetweenKeysLinearlyAndAlongTheShorterArc) {
    ID3DXKeyframedAnimationSet* set = MakeSet("s", D3DXPLAY_LOOP);
    AddBone(set, "bone");
    EXPECT_EQ(set->GetNumAnimations(), 1u);
    UINT index = 9;
    EXPECT_EQ(set->GetAnimationIndexByName("bone", &index), D3D_OK);
    EXPECT_EQ(index, 0u);
    LPCSTR name = nullptr;
    EXPECT_EQ(set->GetAnimationNameByIndex(0, &name), D3D_OK);
    EXPECT_STREQ(name, "bone");
    D3DXVECTOR3 s, t;
    D3DXQUATERNION r;
    ASSERT_EQ(set->GetSRT(5.0, 0, &s, &r, &t), D3D_OK);
    EXPECT_NEAR(t.x, 5.0f, 1e-5f);
    EXPECT_NEAR(s.y, 2.0f, 1e-5f);
    const D3DXQUATERNION eighth = AxisAngle(0, 1, 0, kPi / 4);
    EXPECT_NEAR(r.y, eighth.y, 1e-5f);
    EXPECT_NEAR(r.w, eighth.w, 1e-5f);
    // Before the first key and after the last, the end keys hold.
    ASSERT_EQ(set->GetSRT(-3.0, 0, &s, &r, &t), D3D_OK);
    EXPECT_EQ(t.x, 0.0f);
    ASSERT_EQ(set->GetSRT(30.0, 0, &s, &r, &t), D3D_OK);
    EXPECT_EQ(t.x, 10.0f);
    EXPECT_EQ(set->GetSRT(1.0, 1, &s, &r, &t), D3DERR_INVALIDCALL);
    set->Release();
}

TEST(KeyframedSetTest, PositionsPastThePeriodLoopStopOrBounce) {
    struct Case {
        D3DXPLAYBACK_TYPE playback;
        double position, periodic;
    } cases[] = {{D3DXPLAY_LOOP, 12.5, 2.5},     {D3DXPLAY_LOOP, -2.5, 7.5},
                 {D3DXPLAY_ONCE, 12.5, 10.0},    {D3DXPLAY_ONCE, -1.0, 0.0},
                 {D3DXPLAY_PINGPONG, 12.5, 7.5}, {D3DXPLAY_PINGPONG, 22.5, 2.5}};
    for (const Case& c : cases) {
        ID3DXKeyframedAnimationSet* set = MakeSet("s", c.playback);
        AddBone(set, "bone");
        EXPECT_EQ(set->GetPeriod(), 10.0);
        EXPECT_NEAR(set->GetPeriodicPosition(c.position), c.periodic, 1e-9)
            << c.playback << " at " << c.position;
        EXPECT_EQ(set->GetPeriodicPosition(std::numeric_limits<double>::quiet_NaN()), 0.0);
        set->Release();
    }
}

TEST(KeyframedSetTest, KeysGivenOutOfOrderAreSortedAndKeysCanBeEditedAndRemoved) {
    ID3DXKeyframedAnimationSet* set = MakeSet("s", D3DXPLAY_LOOP);
    const D3DXKEY_VECTOR3 t[] = {{8, D3DXVECTOR3(8, 0, 0)},
                                 {2, D3DXVECTOR3(2, 0, 0)},
                                 {std::numeric_limits<float>::quiet_NaN(), D3DXVECTOR3(99, 0, 0)},
                                 {4, D3DXVECTOR3(4, 0, 0)}};
    ASSERT_EQ(set->RegisterAnimationSRTKeys("b", 0, 0, 4, nullptr, nullptr, t, nullptr), D3D_OK);
    ASSERT_EQ(set->GetNumTranslationKeys(0), 3u);
    D3DXKEY_VECTOR3 keys[3];
    ASSERT_EQ(set->GetTranslationKeys(0, keys), D3D_OK);
    EXPECT_EQ(keys[0].Time, 2.0f);
    EXPECT_EQ(keys[1].Time, 4.0f);
    EXPECT_EQ(keys[2].Time, 8.0f);
    D3DXKEY_VECTOR3 moved{5, D3DXVECTOR3(20, 0, 0)};
    EXPECT_EQ(set->SetTranslationKey(0, 1, &moved), D3D_OK);
    D3DXKEY_VECTOR3 backwards{9, D3DXVECTOR3(0, 0, 0)};
    EXPECT_EQ(set->SetTranslationKey(0, 0, &backwards), D3DERR_INVALIDCALL);
    D3DXVECTOR3 s, tr;
    D3DXQUATERNION r;
    set->GetSRT(5.0, 0, &s, &r, &tr);
    EXPECT_EQ(tr.x, 20.0f);
    EXPECT_EQ(s.x, 1.0f); // no scale keys: unit scale
    EXPECT_EQ(r.w, 1.0f); // no rotation keys: no rotation
    EXPECT_EQ(set->UnregisterTranslationKey(0, 0), D3D_OK);
    EXPECT_EQ(set->GetNumTranslationKeys(0), 2u);
    EXPECT_EQ(set->GetTranslationKey(0, 5, &moved), D3DERR_INVALIDCALL);
    EXPECT_EQ(set->UnregisterAnimation(0), D3D_OK);
    EXPECT_EQ(set->GetNumAnimations(), 0u);
    set->Release();
}

class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(D3DXCreateAnimationController(4, 4, 2, 8, &controller_), D3D_OK);
        D3DXMatrixIdentity(&matrix_);
        ASSERT_EQ(controller_->RegisterAnimationOutput("bone", &matrix_, &scale_, &rotation_,
                                                       &translation_),
                  D3D_OK);
        set_ = MakeSet("a", D3DXPLAY_LOOP);
        AddBone(set_, "bone");
        ASSERT_EQ(controller_->RegisterAnimationSet(set_), D3D_OK);
        ASSERT_EQ(controller_->SetTrackAnimationSet(0, set_), D3D_OK);
    }
    void TearDown() override {
        EXPECT_EQ(controller_->Release(), 0u);
        EXPECT_EQ(set_->Release(), 0u);
    }
    ID3DXAnimationController* controller_ = nullptr;
    ID3DXKeyframedAnimationSet* set_ = nullptr;
    D3DXMATRIX matrix_;
    D3DXVECTOR3 scale_, translation_;
    D3DXQUATERNION rotation_;
};

TEST_F(ControllerTest, AdvanceTimeWritesTheOutputsOfTheTracksSet) {
    EXPECT_EQ(controller_->GetMaxNumAnimationOutputs(), 4u);
    EXPECT_EQ(controller_->GetMaxNumTracks(), 2u);
    EXPECT_EQ(controller_->GetNumAnimationSets(), 1u);
    ASSERT_EQ(controller_->AdvanceTime(5.0, nullptr), D3D_OK);
    EXPECT_EQ(controller_->GetTime(), 5.0);
    EXPECT_NEAR(translation_.x, 5.0f, 1e-5f);
    // S, then R, then T, for row vectors: the point (1,0,0) scaled by 2, turned an eighth of a
    // turn about y (to -z in a left-handed frame), moved 5 along x.
    D3DXVECTOR3 p(1, 0, 0), out;
    D3DXVec3TransformCoord(&out, &p, &matrix_);
    EXPECT_NEAR(out.x, 5.0f + 2.0f * std::cos(kPi / 4), 1e-5f);
    EXPECT_NEAR(out.z, -2.0f * std::sin(kPi / 4), 1e-5f);
    EXPECT_EQ(controller_->ResetTime(), D3D_OK);
    EXPECT_EQ(controller_->GetTime(), 0.0);
}

TEST_F(ControllerTest, TrackSpeedPositionAndEnableGovernWhatIsWritten) {
    D3DXTRACK_DESC desc{};
    ASSERT_EQ(controller_->GetTrackDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Speed, 1.0f);
    EXPECT_EQ(desc.Weight, 1.0f);
    EXPECT_TRUE(desc.Enable);
    controller_->SetTrackSpeed(0, 2.0f);
    controller_->SetTrackPosition(0, 1.0);
    controller_->AdvanceTime(1.5, nullptr);
    EXPECT_NEAR(translation_.x, 4.0f, 1e-5f);
    controller_->SetTrackEnable(0, FALSE);
    translation_.x = -1;
    controller_->AdvanceTime(1.0, nullptr);
    EXPECT_EQ(translation_.x, -1.0f); // no enabled track drives it
    controller_->GetTrackDesc(0, &desc);
    EXPECT_EQ(desc.Position, 4.0);
    EXPECT_EQ(controller_->SetTrackSpeed(5, 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(controller_->SetTrackPosition(0, std::numeric_limits<double>::infinity()),
              D3DERR_INVALIDCALL);
}

TEST_F(ControllerTest, TwoTracksBlendByWeight) {
    ID3DXKeyframedAnimationSet* other = MakeSet("b", D3DXPLAY_LOOP);
    const D3DXKEY_VECTOR3 t[] = {{0, D3DXVECTOR3(0, 10, 0)}};
    ASSERT_EQ(other->RegisterAnimationSRTKeys("bone", 0, 0, 1, nullptr, nullptr, t, nullptr),
              D3D_OK);
    ASSERT_EQ(controller_->RegisterAnimationSet(other), D3D_OK);
    ASSERT_EQ(controller_->SetTrackAnimationSet(1, other), D3D_OK);
    controller_->SetTrackWeight(0, 3.0f);
    controller_->SetTrackWeight(1, 1.0f);
    controller_->AdvanceTime(4.0, nullptr);
    EXPECT_NEAR(translation_.x, 3.0f, 1e-5f); // (3 * 4 + 1 * 0) / 4
    EXPECT_NEAR(translation_.y, 2.5f, 1e-5f); // (3 * 0 + 1 * 10) / 4
    ID3DXAnimationSet* found = nullptr;
    EXPECT_EQ(controller_->GetAnimationSetByName("b", &found), D3D_OK);
    EXPECT_EQ(found, static_cast<ID3DXAnimationSet*>(other));
    found->Release();
    EXPECT_EQ(controller_->UnregisterAnimationSet(other), D3D_OK);
    EXPECT_EQ(controller_->GetNumAnimationSets(), 1u);
    EXPECT_EQ(other->Release(), 0u);
}

TEST_F(ControllerTest, ACloneKeepsOutputsSetsAndTracks) {
    controller_->SetTrackPosition(0, 2.0);
    ID3DXAnimationController* clone = nullptr;
    ASSERT_EQ(controller_->CloneAnimationController(4, 4, 4, 8, &clone), D3D_OK);
    EXPECT_EQ(clone->GetMaxNumTracks(), 4u);
    EXPECT_EQ(clone->GetNumAnimationSets(), 1u);
    clone->AdvanceTime(1.0, nullptr);
    EXPECT_NEAR(translation_.x, 3.0f, 1e-5f);
    EXPECT_EQ(clone->Release(), 0u);
}

TEST(ControllerCreateTest, RefusesNoRoomAndEventsAreInert) {
    ID3DXAnimationController* c = nullptr;
    EXPECT_EQ(D3DXCreateAnimationController(1, 1, 1, 1, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateAnimationController(0, 1, 1, 1, &c), D3DERR_INVALIDCALL);
    ASSERT_EQ(D3DXCreateAnimationController(1, 1, 1, 1, &c), D3D_OK);
    EXPECT_EQ(c->KeyTrackSpeed(0, 2.0f, 0.0, 1.0, D3DXTRANSITION_LINEAR), 0u);
    EXPECT_EQ(c->ValidateEvent(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(c->AdvanceTime(1.0, nullptr), D3D_OK); // nothing registered, nothing written
    c->Release();
}

// Loads a file and keeps its frames and controller for the test.
class LoadedAnimation : public ::testing::Test {
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
        EXPECT_EQ(alloc_.frames, 0);
        device_->Release();
    }
    HRESULT Load(const std::string& file) {
        return D3DXLoadMeshHierarchyFromXInMemory(file.data(), static_cast<DWORD>(file.size()),
                                                  D3DXMESH_MANAGED, device_, &alloc_, nullptr,
                                                  &root_, &controller_);
    }
    ID3DXKeyframedAnimationSet* Set(UINT i) {
        ID3DXAnimationSet* s = nullptr;
        EXPECT_EQ(controller_->GetAnimationSet(i, &s), D3D_OK);
        ID3DXKeyframedAnimationSet* k = nullptr;
        s->QueryInterface(IID_ID3DXKeyframedAnimationSet, reinterpret_cast<void**>(&k));
        s->Release();
        k->Release(); // the controller keeps it alive
        return k;
    }

    xoftest::RecordingDevice* recorder_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    CountingAllocator alloc_;
    D3DXFRAME* root_ = nullptr;
    ID3DXAnimationController* controller_ = nullptr;
};

// The exporter wrote each joint's FrameTransformMatrix as its pose at the first key (tick 1):
// played from there, the controller must give those matrices back, which it does only with
// the file's quaternions read as D3DX reads them.
TEST_F(LoadedAnimation, AnimTestXsFirstKeysGiveBackItsBindPose) {
    const auto bytes = xfile_test::ReadFile(std::string(XOF_XCORPUS_DIR) + "/anim_test.x");
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(Load(std::string(bytes.begin(), bytes.end())), D3D_OK);
    ASSERT_NE(controller_, nullptr);
    EXPECT_EQ(controller_->GetNumAnimationSets(), 1u);
    ID3DXKeyframedAnimationSet* set = Set(0);
    EXPECT_STREQ(set->GetName(), "cylinder_test");
    EXPECT_EQ(set->GetSourceTicksPerSecond(), 24.0);
    EXPECT_DOUBLE_EQ(set->GetPeriod(), 1.0);
    EXPECT_EQ(set->GetNumAnimations(), 4u);
    const char* names[] = {"pCylinder1", "joint2", "joint1", "ikHandle1"};
    for (UINT i = 0; i < 4; ++i) {
        LPCSTR name = nullptr;
        set->GetAnimationNameByIndex(i, &name);
        EXPECT_STREQ(name, names[i]);
        EXPECT_EQ(set->GetNumRotationKeys(i), 24u);
    }
    std::vector<std::pair<const D3DXFRAME*, D3DXMATRIX>> bind;
    for (const char* name : names) {
        const D3DXFRAME* f = D3DXFrameFind(root_, name);
        ASSERT_NE(f, nullptr) << name;
        bind.emplace_back(f, f->TransformationMatrix);
    }
    ASSERT_EQ(controller_->AdvanceTime(1.0 / 24.0, nullptr), D3D_OK);
    for (const auto& [frame, matrix] : bind)
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR((&frame->TransformationMatrix._11)[i], (&matrix._11)[i], 2e-4f)
                << frame->Name << " element " << i;
}

std::string Keys(int type, const std::vector<std::pair<int, std::vector<float>>>& keys) {
    std::string s =
        "AnimationKey { " + std::to_string(type) + "; " + std::to_string(keys.size()) + "; ";
    for (size_t k = 0; k < keys.size(); ++k) {
        s += std::to_string(keys[k].first) + "; " + std::to_string(keys[k].second.size()) + "; ";
        for (size_t v = 0; v < keys[k].second.size(); ++v)
            s += std::to_string(keys[k].second[v]) + (v + 1 < keys[k].second.size() ? ", " : "");
        s += k + 1 < keys.size() ? ";;, " : ";;; ";
    }
    return s + "} ";
}

TEST_F(LoadedAnimation, SetsComeLastFirstAndTicksDefaultTo4800) {
    ASSERT_EQ(Load("xof 0303txt 0032 Frame Bone { }"
                   "AnimationSet first { Animation { {Bone} " +
                   Keys(2, {{0, {0, 0, 0}}, {4800, {1, 0, 0}}}) +
                   "} }"
                   "AnimationSet second { Animation { {Bone} " +
                   Keys(2, {{0, {0, 0, 0}}, {9600, {2, 0, 0}}}) + "} }"),
              D3D_OK);
    ASSERT_EQ(controller_->GetNumAnimationSets(), 2u);
    EXPECT_STREQ(Set(0)->GetName(), "second");
    EXPECT_STREQ(Set(1)->GetName(), "first");
    EXPECT_EQ(Set(0)->GetSourceTicksPerSecond(), 4800.0);
    EXPECT_DOUBLE_EQ(Set(0)->GetPeriod(), 2.0);
    ID3DXAnimationSet* on_track = nullptr;
    ASSERT_EQ(controller_->GetTrackAnimationSet(0, &on_track), D3D_OK);
    EXPECT_STREQ(on_track->GetName(), "second");
    on_track->Release();
    EXPECT_EQ(controller_->GetMaxNumTracks(), 2u);
}

TEST_F(LoadedAnimation, MatrixKeysBecomeScaleRotationAndTranslationKeys) {
    // A half turn about z, scaled by 2, moved to (1,2,3), at tick 10.
    ASSERT_EQ(Load("xof 0303txt 0032 AnimTicksPerSecond { 10; } Frame Bone { }"
                   "AnimationSet s { Animation { {Bone} " +
                   Keys(4, {{10, {-2, 0, 0, 0, 0, -2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1}}}) + "} }"),
              D3D_OK);
    ID3DXKeyframedAnimationSet* set = Set(0);
    ASSERT_EQ(set->GetNumScaleKeys(0), 1u);
    D3DXVECTOR3 s, t;
    D3DXQUATERNION r;
    ASSERT_EQ(set->GetSRT(1.0, 0, &s, &r, &t), D3D_OK);
    EXPECT_NEAR(s.x, 2.0f, 1e-6f);
    EXPECT_NEAR(s.z, 2.0f, 1e-6f);
    EXPECT_NEAR(std::fabs(r.z), 1.0f, 1e-6f);
    EXPECT_NEAR(t.y, 2.0f, 1e-6f);
}

TEST_F(LoadedAnimation, OpenAnimationsPlayOnceAndSplinePositionsCurve) {
    ASSERT_EQ(Load("xof 0303txt 0032 AnimTicksPerSecond { 1; } Frame Bone { }"
                   "AnimationSet s { Animation { {Bone} AnimationOptions { 1; 0; } " +
                   Keys(2, {{0, {0, 0, 0}}, {1, {1, 0, 0}}, {2, {2, 0, 0}}, {3, {10, 0, 0}}}) +
                   "} }"),
              D3D_OK);
    ID3DXKeyframedAnimationSet* set = Set(0);
    EXPECT_EQ(set->GetPlaybackType(), D3DXPLAY_ONCE);
    D3DXVECTOR3 s, t;
    D3DXQUATERNION r;
    set->GetSRT(1.5, 0, &s, &r, &t);
    // Catmull-Rom through 0, 1, 2, 10 halfway between the middle two: 17/16.
    EXPECT_NEAR(t.x, 1.0625f, 1e-5f);
    set->GetSRT(2.0, 0, &s, &r, &t);
    EXPECT_NEAR(t.x, 2.0f, 1e-6f);
}

TEST_F(LoadedAnimation, KeysOutOfOrderAndAnimationsNamingNoFrameStillLoad) {
    ASSERT_EQ(Load("xof 0303txt 0032 Frame Bone { }"
                   "AnimationSet s { Animation { {Bone} " +
                   Keys(2, {{20, {2, 0, 0}}, {0, {0, 0, 0}}, {10, {1, 0, 0}}}) +
                   "} Animation { {Ghost} " + Keys(1, {{0, {2, 2, 2}}}) + "} Animation { " +
                   Keys(1, {{0, {3, 3, 3}}}) + "} }"),
              D3D_OK);
    ID3DXKeyframedAnimationSet* set = Set(0);
    ASSERT_EQ(set->GetNumAnimations(), 2u); // the one naming nothing is dropped
    D3DXKEY_VECTOR3 keys[3];
    ASSERT_EQ(set->GetTranslationKeys(0, keys), D3D_OK);
    EXPECT_EQ(keys[0].Time, 0.0f);
    EXPECT_EQ(keys[1].Time, 10.0f);
    EXPECT_EQ(keys[2].Time, 20.0f);
    LPCSTR name = nullptr;
    set->GetAnimationNameByIndex(1, &name);
    EXPECT_STREQ(name, "Ghost");
    EXPECT_EQ(controller_->AdvanceTime(0.0, nullptr), D3D_OK);
}

TEST_F(LoadedAnimation, DamagedKeyListsFailTheLoad) {
    const std::string head = "xof 0303txt 0032 Frame Bone { } AnimationSet s { Animation { {Bone} ";
    // More keys claimed than there are numbers; a key with the wrong number of values; a key
    // type that does not exist.
    EXPECT_EQ(Load(head + "AnimationKey { 2; 1000000; 0; 3; 1, 2, 3;;; } } }"), E_FAIL);
    EXPECT_EQ(Load(head + "AnimationKey { 0; 1; 0; 3; 1, 2, 3;;; } } }"), E_FAIL);
    EXPECT_EQ(Load(head + "AnimationKey { 3; 1; 0; 3; 1, 2, 3;;; } } }"), E_FAIL);
    EXPECT_EQ(root_, nullptr);
    EXPECT_EQ(controller_, nullptr);
}

TEST_F(LoadedAnimation, NonFiniteKeysAndMatricesLoadAndPlayWithoutHarm) {
    // 1e39 is beyond a float: an infinity once read.
    ASSERT_EQ(Load("xof 0303txt 0032 AnimTicksPerSecond { 1; } Frame Bone { }"
                   "AnimationSet s { Animation { {Bone}"
                   " AnimationKey { 2; 2; 0; 3; 1e39, 0, 0;;, 1; 3; 0, 0, 0;;; }"
                   " AnimationKey { 4; 1; 0; 16; 1e39, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0,"
                   " 0, 0, 0, 1;;; } } }"),
              D3D_OK);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(controller_->AdvanceTime(0.25, nullptr), D3D_OK);
}

TEST_F(LoadedAnimation, ThousandsOfSetsLoad) {
    std::string file = "xof 0303txt 0032 Frame Bone { }";
    for (int i = 0; i < 3000; ++i)
        file += "AnimationSet s" + std::to_string(i) + " { Animation { {Bone} " +
                Keys(2, {{0, {float(i), 0, 0}}}) + "} }";
    ASSERT_EQ(Load(file), D3D_OK);
    EXPECT_EQ(controller_->GetNumAnimationSets(), 3000u);
    EXPECT_STREQ(Set(0)->GetName(), "s2999");
    EXPECT_EQ(controller_->AdvanceTime(1.0, nullptr), D3D_OK);
    EXPECT_EQ(root_->TransformationMatrix._41, 2999.0f);
}

} // namespace
