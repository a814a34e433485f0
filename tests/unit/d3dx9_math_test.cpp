// D3DX's matrix and vector functions against values worked out by hand.
#include <d3dx9math.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectMatrixNear(const D3DXMATRIX& actual, const float (&expected)[4][4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(actual.m[i][j], expected[i][j], kTolerance)
                << "element _" << i + 1 << j + 1;
}

void ExpectVectorNear(const D3DXVECTOR3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, kTolerance);
    EXPECT_NEAR(v.y, y, kTolerance);
    EXPECT_NEAR(v.z, z, kTolerance);
}

TEST(MatrixBuilders, IdentityTranslationAndScalingFillOnlyTheirElements) {
    D3DXMATRIX m;
    for (auto& row : m.m)
        for (float& e : row)
            e = 7.0f; // garbage that every builder must overwrite
    EXPECT_EQ(D3DXMatrixIdentity(&m), &m);
    ExpectMatrixNear(m, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});

    D3DXMatrixTranslation(&m, 1, 2, 3);
    ExpectMatrixNear(m, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}});

    m.m[3][0] = 9.0f;
    D3DXMatrixScaling(&m, 2, 3, 4);
    ExpectMatrixNear(m, {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 1}});
}

TEST(MatrixBuilders, RotationsTurnClockwiseLookingDownTheAxisTowardTheOrigin) {
    const float quarter = D3DX_PI / 2;
    D3DXMATRIX m;
    D3DXVECTOR3 v;
    const D3DXVECTOR3 unitX(1, 0, 0), unitY(0, 1, 0);

    D3DXMatrixRotationX(&m, quarter);
    D3DXVec3TransformCoord(&v, &unitY, &m);
    ExpectVectorNear(v, 0, 0, 1); // +y to +z

    D3DXMatrixRotationY(&m, quarter);
    D3DXVec3TransformCoord(&v, &unitX, &m);
    ExpectVectorNear(v, 0, 0, -1); // +x to -z

    D3DXMatrixRotationZ(&m, quarter);
    D3DXVec3TransformCoord(&v, &unitX, &m);
    ExpectVectorNear(v, 0, 1, 0); // +x to +y

    D3DXMatrixRotationY(&m, 0.5f);
    EXPECT_EQ(m._11, cosf(0.5f));
    EXPECT_EQ(m._13, -sinf(0.5f));
    EXPECT_EQ(m._31, sinf(0.5f));
    EXPECT_EQ(m._22, 1.0f);
    EXPECT_EQ(m._44, 1.0f);
    EXPECT_EQ(m._12, 0.0f);
}

TEST(MatrixProducts, MultiplyAppliesTheLeftMatrixFirstAndMayWriteOverAnOperand) {
    D3DXMATRIX translate, scale, product;
    D3DXMatrixTranslation(&translate, 1, 2, 3);
    D3DXMatrixScaling(&scale, 2, 3, 4);
    D3DXMatrixMultiply(&product, &translate, &scale);
    ExpectMatrixNear(product, {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {2, 6, 12, 1}});

    D3DXMatrixMultiply(&translate, &scale, &translate); // scale first, then translate, in place
    ExpectMatrixNear(translate, {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {1, 2, 3, 1}});

    D3DXMATRIX t;
    D3DXMatrixTranspose(&t, &product);
    EXPECT_EQ(t._14, 2.0f);
    EXPECT_EQ(t._24, 6.0f);
    EXPECT_EQ(t._34, 12.0f);
    EXPECT_EQ(t._41, 0.0f);
}

TEST(MatrixProducts, InverseUndoesTheMatrixAndRefusesASingularOne) {
    D3DXMATRIX rotate, translate, scale, m;
    D3DXMatrixRotationY(&rotate, 0.7f);
    D3DXMatrixTranslation(&translate, 4, -2, 9);
    D3DXMatrixScaling(&scale, 2, 3, 4);
    D3DXMatrixMultiply(&m, &scale, &rotate);
    D3DXMatrixMultiply(&m, &m, &translate);

    D3DXMATRIX inverse, identity;
    float determinant = 0;
    ASSERT_EQ(D3DXMatrixInverse(&inverse, &determinant, &m), &inverse);
    EXPECT_NEAR(determinant, 24.0f, 1e-4f); // rotation and translation keep volume
    D3DXMatrixMultiply(&identity, &m, &inverse);
    ExpectMatrixNear(identity, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});

    D3DXMATRIX flat, untouched;
    D3DXMatrixScaling(&flat, 1, 0, 1);
    D3DXMatrixIdentity(&untouched);
    EXPECT_EQ(D3DXMatrixInverse(&untouched, &determinant, &flat), nullptr);
    EXPECT_EQ(determinant, 0.0f);
    EXPECT_EQ(untouched._22, 1.0f);
}

TEST(CameraMatrices, LookAtPutsTheEyeAtTheOriginLookingDownPlusZ) {
    // The viewer's start: eye (0, 5, -10) looking at (0, 4, -8), a slope of 1 in 2.
    const D3DXVECTOR3 eye(0, 5, -10), at(0, 4, -8), up(0, 1, 0);
    D3DXMATRIX view;
    ASSERT_EQ(D3DXMatrixLookAtLH(&view, &eye, &at, &up), &view);
    const float r5 = sqrtf(5.0f);
    ExpectMatrixNear(
        view, {{1, 0, 0, 0}, {0, 2 / r5, -1 / r5, 0}, {0, 1 / r5, 2 / r5, 0}, {0, 0, 5 * r5, 1}});
    D3DXVECTOR3 v;
    D3DXVec3TransformCoord(&v, &at, &view);
    ExpectVectorNear(v, 0, 0, r5);
    D3DXVec3TransformCoord(&v, &eye, &view);
    ExpectVectorNear(v, 0, 0, 0);
}

TEST(CameraMatrices, PerspectiveFovMapsNearToZeroAndFarToOne) {
    const float fov = 1.0471975803375244f; // pi/3 as a float
    D3DXMATRIX proj;
    D3DXMatrixPerspectiveFovLH(&proj, fov, 1.0f, 0.01f, 2000.0f);
    EXPECT_NEAR(proj._11, 1.7320508f, kTolerance); // 1/tan(30 degrees)
    EXPECT_NEAR(proj._22, 1.7320508f, kTolerance);
    EXPECT_NEAR(proj._33, 2000.0f / 1999.99f, kTolerance);
    EXPECT_EQ(proj._34, 1.0f);
    EXPECT_NEAR(proj._43, -0.01f * 2000.0f / 1999.99f, 1e-7f);
    EXPECT_EQ(proj._44, 0.0f);
    EXPECT_EQ(proj._12, 0.0f);

    D3DXVECTOR3 v;
    const D3DXVECTOR3 nearPoint(0, 0, 0.01f), farPoint(0, 0, 2000.0f);
    D3DXVec3TransformCoord(&v, &nearPoint, &proj);
    EXPECT_NEAR(v.z, 0.0f, kTolerance);
    D3DXVec3TransformCoord(&v, &farPoint, &proj);
    EXPECT_NEAR(v.z, 1.0f, kTolerance);

    D3DXMATRIX wide;
    D3DXMatrixPerspectiveFovLH(&wide, fov, 2.0f, 1.0f, 10.0f);
    EXPECT_NEAR(wide._11, 1.7320508f / 2, kTolerance);
}

TEST(CameraMatrices, OrthoOffCenterMapsAPixelRectangleOntoClipSpace) {
    D3DXMATRIX ortho;
    D3DXMatrixOrthoOffCenterLH(&ortho, 0, 900, 690, 0, 0, 1);
    D3DXVECTOR3 v;
    const D3DXVECTOR3 topLeft(0, 0, 0), bottomRight(900, 690, 1);
    D3DXVec3TransformCoord(&v, &topLeft, &ortho);
    ExpectVectorNear(v, -1, 1, 0);
    D3DXVec3TransformCoord(&v, &bottomRight, &ortho);
    ExpectVectorNear(v, 1, -1, 1);
}

TEST(Vectors, DotCrossLengthNormalizeAndTransformNormal) {
    const D3DXVECTOR3 a(1, 2, 3), b(4, 5, 6);
    EXPECT_EQ(D3DXVec3Dot(&a, &b), 32.0f);
    D3DXVECTOR3 c;
    D3DXVec3Cross(&c, &a, &b);
    ExpectVectorNear(c, -3, 6, -3);
    const D3DXVECTOR3 threeFour(3, 4, 0);
    EXPECT_EQ(D3DXVec3Length(&threeFour), 5.0f);
    D3DXVec3Normalize(&c, &threeFour);
    ExpectVectorNear(c, 0.6f, 0.8f, 0);
    const D3DXVECTOR3 zero(0, 0, 0);
    D3DXVec3Normalize(&c, &zero);
    ExpectVectorNear(c, 0, 0, 0); // no NaN

    D3DXMATRIX translate;
    D3DXMatrixTranslation(&translate, 10, 20, 30);
    D3DXVec3TransformNormal(&c, &a, &translate); // directions ignore the translation
    ExpectVectorNear(c, 1, 2, 3);
    D3DXVec3TransformCoord(&c, &a, &translate);
    ExpectVectorNear(c, 11, 22, 33);
}

TEST(NullArguments, ReturnNullWithoutTouchingMemory) {
    D3DXMATRIX m;
    EXPECT_EQ(D3DXMatrixIdentity(nullptr), nullptr);
    EXPECT_EQ(D3DXMatrixMultiply(&m, nullptr, &m), nullptr);
    EXPECT_EQ(D3DXMatrixInverse(&m, nullptr, nullptr), nullptr);
    EXPECT_EQ(D3DXMatrixLookAtLH(&m, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(D3DXVec3Normalize(nullptr, nullptr), nullptr);
}

} // namespace
