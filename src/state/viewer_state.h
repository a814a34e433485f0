// The one record of everything the viewer knows between frames.
#pragma once

#include <windows.h>

#define DIRECTINPUT_VERSION 0x0800
#include <d3d9.h>
#include <d3dx9.h>
#include <dinput.h>

#include <cstdint>

struct MeshModel;
struct FilterQuad;
struct AnimatedModel;

// Three floats laid out like D3DXVECTOR3, so it can be handed to the D3DX matrix functions.
struct Vector3 {
    float x;
    float y;
    float z;
};

// Field order, widths and signedness are part of the behaviour: the 16-bit values are stepped,
// clamped and printed as 16-bit quantities.
struct ViewerState {
    int32_t backBufferWidth = 900;
    int32_t backBufferHeight = 690;
    uint16_t filterRed = 250;
    uint16_t filterGreen = 250;
    uint16_t filterBlue = 250;
    float ambientRed = 0.99f;
    float ambientGreen = 0.99f;
    float ambientBlue = 0.99f;
    uint16_t ambientRedPercent = 99;
    uint16_t ambientGreenPercent = 99;
    uint16_t ambientBluePercent = 99;
    uint16_t filterAlpha = 18;
    int16_t lastMouseY = 390;
    Vector3 modelPosition = {0.0f, 4.0f, -2.0f};
    Vector3 lookTarget = {0.0f, 0.0f, 0.0f};
    Vector3 eyePosition = {0.0f, 5.0f, -10.0f};
    Vector3 modelRotation = {0.0f, 0.0f, 0.0f};
    float modelYaw = 0.0f;
    float walkStep = 0.0f;
    float modelStep = 0.0f;
    float lookHeight = 4.0f;
    float heading = 0.0f;
    HWND windowHandle = nullptr;
    HBRUSH backgroundBrush = nullptr;
    char droppedPath[260] = {};
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    ID3DXFont* hudFont = nullptr;
    IDirectInput8A* directInput = nullptr;
    int16_t lastMouseX = 0;
    MeshModel* model = nullptr;
    FilterQuad* filterQuad = nullptr;
    char modelPath[256] = {};
    MSG message = {};
    // Stepped by PageUp and PageDown; its y lowers the viewpoint (see SetViewTransform's caller).
    Vector3 viewOffset = {0.0f, 2.0f, 14.0f};
    // Home fits the view to the model once per press: whether it was held at the last step.
    bool fitKeyHeld = false;
    // The file the shown model came from: the start-up model's, then each drop's that loaded.
    char shownModelPath[260] = {};
    // The shown model's animation, made when Space or Tab first asks for it; while it exists it
    // is drawn instead of `model`. Unavailable: the model has none that can be played.
    AnimatedModel* animatedModel = nullptr;
    bool animationUnavailable = false;
    // Space and Tab act once per press: whether each was held at the last step.
    bool playKeyHeld = false;
    bool nextSetKeyHeld = false;
};

// The single instance every part of the viewer reads and writes.
extern ViewerState viewer;
