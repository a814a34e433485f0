// Graphics start-up, and the light, view and projection set on the device.
#pragma once

#include <windows.h>

#include "state/viewer_state.h"

// Creates the DirectX objects, sets the light, makes the filter quad and loads the model.
// 1.0 on success; 0.0 after saying on stderr what could not be made.
double InitGraphics();
BOOL InitDirectX(HWND window, int width, int height);
BOOL OpenDevice(HWND window, int width, int height);
BOOL CreateHudFont();
BOOL CreateInputObject();

// Light 2: a fixed directional light whose ambient colour is the user's.
void ApplyLight();
void SetViewTransform(const Vector3& eye, const Vector3& target, const Vector3& up);
void SetProjectionTransform(float fieldOfView, float aspect, float nearPlane, float farPlane);
