// FitViewToSphere and FitViewToModel: the camera placed to show a model whole.
#include "scene/animated_model.h"
#include "scene/camera.h"
#include "scene/mesh_model.h"
#include "state/viewer_state.h"

#include <d3dx9.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Room around the model's sphere, so that its outline does not touch the view's edges.
constexpr float kMargin = 1.08f;

} // namespace

ViewFit FitViewToSphere(const Vector3& centre, float radius, const Vector3& sight,
                        float fieldOfView, float aspect, float nearPlane, float farPlane) {
    if (!(radius > 0.0f)) radius = 1.0f;
    // The narrower of the two half angles; with an aspect of 1 or more that is the vertical one.
    float halfAngle = fieldOfView / 2;
    if (aspect < 1.0f) halfAngle = float(std::atan(aspect * std::tan(double(halfAngle))));
    float distance = kMargin * radius / std::sin(halfAngle);
    // The nearest point stays beyond the near plane; the farthest within the far plane where
    // that leaves the nearest beyond the near one, else as far as the far plane allows.
    distance = std::max(distance, radius + 2 * nearPlane);
    const float deepest = farPlane * 0.999f - radius;
    if (distance > deepest) distance = std::max(deepest, farPlane / 2);
    const Vector3 eye = {centre.x - sight.x * distance, centre.y - sight.y * distance,
                         centre.z - sight.z * distance};
    return {eye, distance};
}

bool FitViewToModel() {
    ViewerState& s = viewer;
    Vector3 centre;
    float radius = 0.0f;
    // The frame copies the yaw into the rotation before it draws; the fit sees it as drawn.
    const Vector3 rotation = {s.modelRotation.x, s.modelYaw, s.modelRotation.z};
    const bool measured =
        s.animatedModel
            ? MeasureAnimatedModel(s.animatedModel, s.modelPosition, rotation, &centre, &radius)
            : MeasureMeshModel(s.model, s.modelPosition, rotation, &centre, &radius);
    if (!measured) return false;

    // The line of sight as the frame builds it: along the heading, sloping by the look height's
    // rise over the look distance.
    const double rise = (double(s.lookHeight) - double(s.eyePosition.y)) / kLookDistance;
    D3DXVECTOR3 sight = {float(std::sin(double(s.heading))), float(rise),
                         float(std::cos(double(s.heading)))};
    D3DXVec3Normalize(&sight, &sight);
    const ViewFit fit = FitViewToSphere(centre, radius, {sight.x, sight.y, sight.z}, kFieldOfView,
                                        kAspect, kNearPlane, kFarPlane);
    if (!std::isfinite(fit.eye.x) || !std::isfinite(fit.eye.y) || !std::isfinite(fit.eye.z))
        return false;
    // The frame raises the eye and the target by the view offset; the stored eye is below that.
    const float raise = kViewOffsetRest - s.viewOffset.y;
    s.eyePosition = {fit.eye.x, fit.eye.y - raise, fit.eye.z};
    s.lookHeight = float(double(s.eyePosition.y) + rise * kLookDistance);
    return true;
}
