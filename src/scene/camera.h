// The viewer's camera: the look distance, the projection and the viewpoint's rest height, which
// the frame sets every frame and the view fit plans for.
#pragma once

#include "state/viewer_state.h"

constexpr double kLookDistance = 2.0;
constexpr float kFieldOfView = 1.0471975803375244f; // pi/3 as a float
constexpr float kAspect = 1.0f;
constexpr float kNearPlane = 0.01f;
constexpr float kFarPlane = 2000.0f;
// PageUp and PageDown move the view offset's y from here; the eye is raised by the difference.
constexpr float kViewOffsetRest = 2.0f;

// Where an eye looking along `sight` (a unit vector) stands to see a sphere whole through a
// perspective of `fieldOfView` (vertical, radians) and `aspect` (width over height), with
// nothing nearer than `nearPlane` nor farther than `farPlane`: as far back as the view's
// narrower angle needs, with a margin. A sphere too deep for the far plane is put as far as it
// allows. A radius of 0 or less counts as 1 (a model of one point).
struct ViewFit {
    Vector3 eye;
    float distance; // from the eye to the centre
};
ViewFit FitViewToSphere(const Vector3& centre, float radius, const Vector3& sight,
                        float fieldOfView, float aspect, float nearPlane, float farPlane);

// Moves the viewer's eye (eyePosition, and lookHeight with it) so that the current model, as
// placed, is seen whole in the next frame along the current heading and the current slope of the
// view. A model without vertices leaves the view as it is; returns whether it moved.
bool FitViewToModel();
