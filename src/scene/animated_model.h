// AnimatedModel: the shown model's file loaded as a frame hierarchy with its animation, made
// only when an animation is asked for; and the viewer's animation keys' work.
#pragma once

#include <windows.h>

#include <d3d9.h>
#include <d3dx9.h>

#include <cstdint>
#include <vector>

#include "scene/mesh_model.h"
#include "state/viewer_state.h"

constexpr uint32_t kNoFrame = 0xFFFFFFFF;

// One mesh of the hierarchy: drawn under its frame's matrix, or, with a skin, skinned by its
// bones into model space each frame.
struct AnimatedPart {
    MeshModel look;                      // the mesh as loaded, its materials and textures
    uint32_t frame;                      // the frame it hangs under
    ID3DXSkinInfo* skin;                 // null: a rigid part
    std::vector<uint8_t> bindVertices;   // skinned: the mesh's vertices as loaded
    std::vector<uint32_t> boneFrames;    // skinned: each bone's frame, or kNoFrame
    std::vector<D3DXMATRIX> boneOffsets; // skinned: each bone's offset matrix
    std::vector<D3DXMATRIX> bones;       // skinned: this pose's bone matrices
};

// The frames are kept parent first, so one pass in order combines them.
struct AnimatedModel {
    D3DXFRAME* root;
    ID3DXAnimationController* controller;
    std::vector<D3DXFRAME*> frames;
    std::vector<uint32_t> parents;    // each frame's parent, or kNoFrame
    std::vector<D3DXMATRIX> combined; // each frame's matrix in model space, in this pose
    std::vector<AnimatedPart> parts;
    UINT setCount;
    UINT set;         // the set on the track
    bool playing;     // false: paused
    double lastClock; // the clock when the pose was last advanced
};

// Loads `path` as a hierarchy with its animation. False, with the model left empty, when the
// file has no animation set or cannot be read so; stderr says which.
bool LoadAnimatedModel(AnimatedModel* model, const char* path);
// Puts set `index` on the track at `position` seconds and poses the frames there.
void PoseAnimatedModel(AnimatedModel* model, UINT index, double position);
// Moves the pose on by the clock's time since the last call while playing.
void AdvanceAnimatedModel(AnimatedModel* model, double clock);
void DrawAnimatedModel(AnimatedModel* model, const Vector3& position, const Vector3& rotation);
// The bounds of the pose as placed, as MeasureMeshModel gives them for a static model.
bool MeasureAnimatedModel(AnimatedModel* model, const Vector3& position, const Vector3& rotation,
                          Vector3* centre, float* radius);
void ReleaseAnimatedModel(AnimatedModel* model);

// The set on the track: its name, its period and the position in it, in seconds.
struct AnimationShown {
    UINT index;
    const char* name;
    double position;
    double period;
};
AnimationShown ShownAnimation(AnimatedModel* model);

// The viewer's animation, on `viewer`: made from the shown model's file the first time it is
// asked for. Space plays and pauses; Tab plays the next set from its start (the first, when
// none is on the track yet). A model without animation ignores both.
void PlayOrPauseAnimation();
void PlayNextAnimationSet();
// Plays the set named `set` (a name, or its number counted from 0; the first when empty).
// False when the model has no such set or no animation.
bool PlayAnimationSet(const char* set);
// The shown model changed (a drop): its animation, if any, is let go until asked for again.
void ForgetAnimation();

// Seconds on the clock animations play by: a steady clock unless set otherwise (tools that
// draw frames on a schedule of their own set one counting their frames).
double AnimationClock();
void SetAnimationClock(double (*clock)());
