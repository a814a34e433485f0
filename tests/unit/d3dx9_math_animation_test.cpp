// The quaternion, interpolation and scale-rotation-translation functions animation is made of,
// held to Windows' numbers as Wine's D3DX tests (dlls/d3dx9_36/tests/math.c) record them.
#include <d3dx9math.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

// Windows' numbers are printed to a few digits: equal to 1e-5 of their size (or absolutely).
void ExpectClose(float got, float want, const char* what) {
    EXPECT_NEAR(got, want, 2e-5f * std::max(1.0f, std::fabs(want))) << what;
}

void ExpectQuaternion(const D3DXQUATERNION& q, float x, float y, float z, float w) {
    ExpectClose(q.x, x, "x");
    ExpectClose(q.y, y, "y");
    ExpectClose(q.z, z, "z");
    ExpectClose(q.w, w, "w");
}

void ExpectVector(const D3DXVECTOR3& v, float x, float y, float z) {
    ExpectClose(v.x, x, "x");
    ExpectClose(v.y, y, "y");
    ExpectClose(v.z, z, "z");
}

void ExpectMatrix(const D3DXMATRIX& m, std::initializer_list<float> want) {
    int i = 0;
    for (float w : want) {
        ExpectClose((&m._11)[i], w, "element");
        ++i;
    }
}

D3DXMATRIX Matrix(std::initializer_list<float> values) {
    D3DXMATRIX m;
    std::copy(values.begin(), values.end(), &m._11);
    return m;
}

const D3DXVECTOR3 u(9, 6, 2), v(2, -3, -4), w(3, -5, 7), x(4, 1, 11);

TEST(VectorInterpolation, LerpHermiteAndCatmullRomGiveWindowsNumbers) {
    D3DXVECTOR3 out;
    D3DXVec3Lerp(&out, &u, &v, -6.5f);
    ExpectVector(out, 54.5f, 64.5f, 41.0f);
    D3DXVec3Hermite(&out, &u, &v, &w, &x, -6.5f);
    ExpectVector(out, -6045.75f, -6650.0f, 1358.875f);
    D3DXVec3CatmullRom(&out, &u, &v, &w, &x, -6.5f);
    ExpectVector(out, 1458.0f, 22.1875f, 4141.375f);
    EXPECT_EQ(D3DXVec3Lerp(&out, nullptr, &v, 1.0f), nullptr);
}

TEST(Quaternions, ConjugateDotNormalizeAndSlerpGiveWindowsNumbers) {
    const D3DXQUATERNION q(1, 2, 4, 10), r(-3, 4, -5, 7), t(-1111, 111, -11, 1);
    const D3DXQUATERNION small_q(0.1f, 0.2f, 0.3f, 0.4f), small_r(0.5f, 0.6f, 0.7f, 0.8f);
    D3DXQUATERNION out;
    D3DXQuaternionConjugate(&out, &q);
    ExpectQuaternion(out, -1, -2, -4, 10);
    EXPECT_EQ(D3DXQuaternionDot(&q, &r), 55.0f);
    D3DXQuaternionNormalize(&out, &q);
    ExpectQuaternion(out, 1.0f / 11, 2.0f / 11, 4.0f / 11, 10.0f / 11);
    D3DXQuaternionIdentity(&out);
    ExpectQuaternion(out, 0, 0, 0, 1);
    D3DXQuaternionSlerp(&out, &q, &r, 0.3f);
    ExpectQuaternion(out, -0.2f, 2.6f, 1.3f, 9.1f);
    D3DXQuaternionSlerp(&out, &q, &t, 0.3f);
    ExpectQuaternion(out, 334.0f, -31.9f, 6.1f, 6.7f);
    D3DXQuaternionSlerp(&out, &small_q, &small_r, 0.3f);
    ExpectQuaternion(out, 0.239485f, 0.346580f, 0.453676f, 0.560772f);
}

TEST(Quaternions, RotationMatrixGivesWindowsNumbersForEveryBranch) {
    struct Case {
        float m11, m22, m33;
        float x, y, z, w;
    } cases[] = {
        {10, 20, 30, 2.368682f, 0.768221f, -0.384111f, 3.905125f},     // trace > 0
        {-10, -60, 40, 1.233905f, -0.237290f, 5.267827f, -0.284747f},  // (3,3) largest
        {-10, 60, -80, 0.651031f, 6.144103f, -0.203447f, 0.488273f},   // (2,2) largest
        {-10, 10, -0.9f, 1.709495f, 2.339872f, -0.534217f, 1.282122f}, // trace near 0
        {-10, 10, 0.0f, 1.745743f, 2.291288f, -0.545545f, 1.309307f},  // trace 1
        {-10, 10, 0.01f, 18.408188f, 5.970223f, -2.985111f, 0.502494f},
        {-10, 10, 2.0f, 10.680980f, 3.464102f, -1.732051f, 0.866025f},
    };
    for (const Case& c : cases) {
        const D3DXMATRIX m =
            Matrix({c.m11, 5, 7, 8, 11, c.m22, 16, 33, 19, -21, c.m33, 43, 2, 3, -4, 48});
        D3DXQUATERNION q;
        D3DXQuaternionRotationMatrix(&q, &m);
        SCOPED_TRACE(c.m33);
        ExpectQuaternion(q, c.x, c.y, c.z, c.w);
    }
}

TEST(RotationMatrices, RotationQuaternionGivesWindowsNumbers) {
    const D3DXQUATERNION q(1, -4, 7, -11);
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    ExpectMatrix(m, {-129, -162, -74, 0, 146, -99, -78, 0, 102, -34, -33, 0, 0, 0, 0, 1});
}

TEST(RotationMatrices, TransformationGivesWindowsNumbers) {
    const D3DXVECTOR3 at(-2, 13, -9), axis(1, -3, 7), eye(8, -5, 5.75f), last(9.7f, -8.6f, 1.3f);
    const D3DXQUATERNION q(1, -4, 7, -11), r(0.87f, 0.65f, 0.43f, 0.21f);
    D3DXMATRIX m;
    D3DXMatrixTransformation(&m, nullptr, &q, &axis, nullptr, nullptr, nullptr);
    ExpectMatrix(
        m, {25521, 39984, 20148, 0, 39984, 4933, -3324, 0, 20148, -3324, -5153, 0, 0, 0, 0, 1});
    D3DXMatrixTransformation(&m, &at, nullptr, &axis, nullptr, nullptr, nullptr);
    ExpectMatrix(m, {1, 0, 0, 0, 0, -3, 0, 0, 0, 0, 7, 0, 0, 52, 54, 1});
    D3DXMatrixTransformation(&m, nullptr, nullptr, nullptr, &eye, &r, &last);
    ExpectMatrix(m, {-0.2148f, 1.3116f, 0.4752f, 0, 0.9504f, -0.8836f, 0.9244f, 0, 1.0212f, 0.1936f,
                     -1.3588f, 0, 18.2985f, -29.624001f, 15.683499f, 1});
    D3DXMatrixTransformation(&m, nullptr, nullptr, &axis, nullptr, &r, &last);
    ExpectMatrix(m, {-0.2148f, 1.3116f, 0.4752f, 0, -2.8512f, 2.6508f, -2.7732f, 0, 7.148399f,
                     1.3552f, -9.5116f, 0, 9.7f, -8.6f, 1.3f, 1});
    D3DXMatrixTransformation(&m, &at, nullptr, &axis, &eye, &r, &last);
    ExpectMatrix(m, {-0.2148f, 1.3116f, 0.4752f, 0, -2.8512f, 2.6508f, -2.7732f, 0, 7.148399f,
                     1.3552f, -9.5116f, 0, 122.86409f, -65.116798f, -9.622897f, 1});
    D3DXMatrixTransformation(&m, &at, &q, &axis, nullptr, nullptr, &last);
    ExpectMatrix(m, {25521, 39984, 20148, 0, 39984, 4933, -3324, 0, 20148, -3324, -5153, 0,
                     -287410.3125f, -14072.599609f, 37123.300781f, 1});
    D3DXMatrixTransformation(&m, &at, &q, &axis, nullptr, &r, &last);
    ExpectMatrix(m, {53094.015625f, 2044.133789f, 21711.6875f, 0, -7294.705078f, 47440.683594f,
                     28077.113281f, 0, -12749.161133f, 28365.580078f, 13503.520508f, 0,
                     86290.046875f, -357374.90625f, -200022.828125f, 1});
    D3DXMatrixTransformation(&m, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ExpectMatrix(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

TEST(RotationMatrices, DecomposeGivesWindowsNumbersAndRefusesAZeroScale) {
    struct Case {
        D3DXMATRIX m;
        D3DXVECTOR3 scale;
        D3DXQUATERNION rotation;
        D3DXVECTOR3 translation;
    } cases[] = {
        {Matrix({-2.255813f, 1.302327f, 1.488371f, 0, 1.302324f, -0.7209296f, 2.604651f, 0,
                 1.488373f, 2.60465f, -0.02325551f, 0, 1, 2, 3, 1}),
         {3, 3, 3},
         {0.352180f, 0.616316f, 0.704361f, 0.0f},
         {1, 2, 3}},
        {Matrix({2.427051f, 0, -1.763355f, 0, 0, 3, 0, 0, 1.763355f, 0, 2.427051f, 0, 5, 5, 5, 1}),
         {3, 3, 3},
         {0, 0.309017f, 0, 0.951057f},
         {5, 5, 5}},
        {Matrix({-0.9238790f, 0.2705984f, -0.2705984f, 0, -0.5411968f, 0.07612098f, 1.9238790f, 0,
                 0.8117952f, 2.8858185f, 0.11418147f, 0, -5, 0, 10, 1}),
         {1, 2, 3},
         {0, 0.693520f, 0.693520f, 0.195091f},
         {-5, 0, 10}},
        {Matrix({0.06554436f, -0.9617381f, 0.2660144f, 0, -0.6873012f, -0.2367795f, -0.6866967f, 0,
                 0.7234092f, -0.1378230f, -0.6765233f, 0, -5, 0, 10, 1}),
         {1, 1, 1},
         {0.703358f, -0.586131f, 0.351679f, -0.195091f},
         {-5, 0, 10}},
        {Matrix({7.121047f, 5.883487f, 11.81843f, 0, -5.883487f, -10.60660f, 8.8252320f, 0,
                 11.81843f, -8.825232f, -2.727645f, 0, -5, 0, 2, 1}),
         {15, 15, 15},
         {0.768714f, 0, 0.512476f, 0.382684f},
         {-5, 0, 2}},
    };
    for (const Case& c : cases) {
        D3DXVECTOR3 s, t;
        D3DXQUATERNION r;
        ASSERT_EQ(D3DXMatrixDecompose(&s, &r, &t, &c.m), D3D_OK);
        ExpectVector(s, c.scale.x, c.scale.y, c.scale.z);
        EXPECT_NEAR(r.x, c.rotation.x, 1e-5f);
        EXPECT_NEAR(r.y, c.rotation.y, 1e-5f);
        EXPECT_NEAR(r.z, c.rotation.z, 1e-5f);
        EXPECT_NEAR(r.w, c.rotation.w, 1e-5f);
        ExpectVector(t, c.translation.x, c.translation.y, c.translation.z);
    }
    const D3DXMATRIX flat = Matrix(
        {0, 0, 0, 0, 4, -10.60660f, 8.8252320f, 0, 5, -8.825232f, 2.727645f, 0, -5, 6, 3, 1});
    D3DXVECTOR3 s, t;
    D3DXQUATERNION r;
    EXPECT_EQ(D3DXMatrixDecompose(&s, &r, &t, &flat), D3DERR_INVALIDCALL);
}

} // namespace
