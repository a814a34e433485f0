// D3DX 9's matrix and vector functions: row vectors, left-handed, single precision.
#include <d3dx9math.h>

#include <cmath>

namespace {

D3DXMATRIX ZeroMatrix() {
    D3DXMATRIX zero;
    for (auto& row : zero.m)
        for (float& element : row)
            element = 0.0f;
    return zero;
}

} // namespace

// The Windows SDK defines D3DXMatrixIdentity and the small vector functions inline in
// d3dx9math.inl; our own headers leave them to us.
#ifndef __D3DX9MATH_INL__
D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out) {
    if (!out) return nullptr;
    *out = ZeroMatrix();
    out->_11 = out->_22 = out->_33 = out->_44 = 1.0f;
    return out;
}
#endif

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    if (!out || !m1 || !m2) return nullptr;
    // Built in a local so that out may be m1 or m2.
    D3DXMATRIX product;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            product.m[i][j] = m1->m[i][0] * m2->m[0][j] + m1->m[i][1] * m2->m[1][j] +
                              m1->m[i][2] * m2->m[2][j] + m1->m[i][3] * m2->m[3][j];
    *out = product;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m) {
    if (!out || !m) return nullptr;
    D3DXMATRIX transposed;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            transposed.m[i][j] = m->m[j][i];
    *out = transposed;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m) {
    if (!out || !m) return nullptr;
    const float(*a)[4] = m->m;
    // The 2x2 minors of the top two rows (s) and of the bottom two rows (c) give every cofactor.
    const float s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    const float s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    const float s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    const float s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    const float s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    const float s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    const float c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    const float c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    const float c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    const float c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    const float c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    const float c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
    const float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (determinant) *determinant = det;
    // D3DX returns null and leaves out untouched for a singular matrix.
    if (det == 0.0f) return nullptr;
    const float inv = 1.0f / det;
    D3DXMATRIX r;
    r.m[0][0] = (a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3) * inv;
    r.m[0][1] = (-a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3) * inv;
    r.m[0][2] = (a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3) * inv;
    r.m[0][3] = (-a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3) * inv;
    r.m[1][0] = (-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1) * inv;
    r.m[1][1] = (a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1) * inv;
    r.m[1][2] = (-a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1) * inv;
    r.m[1][3] = (a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1) * inv;
    r.m[2][0] = (a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0) * inv;
    r.m[2][1] = (-a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0) * inv;
    r.m[2][2] = (a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0) * inv;
    r.m[2][3] = (-a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0) * inv;
    r.m[3][0] = (-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0) * inv;
    r.m[3][1] = (a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0) * inv;
    r.m[3][2] = (-a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0) * inv;
    r.m[3][3] = (a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0) * inv;
    *out = r;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z) {
    if (!D3DXMatrixIdentity(out)) return nullptr;
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz) {
    if (!out) return nullptr;
    *out = ZeroMatrix();
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    out->_44 = 1.0f;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle) {
    if (!D3DXMatrixIdentity(out)) return nullptr;
    const float c = cosf(angle), s = sinf(angle);
    out->_22 = c;
    out->_23 = s;
    out->_32 = -s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle) {
    if (!D3DXMatrixIdentity(out)) return nullptr;
    const float c = cosf(angle), s = sinf(angle);
    out->_11 = c;
    out->_13 = -s;
    out->_31 = s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle) {
    if (!D3DXMatrixIdentity(out)) return nullptr;
    const float c = cosf(angle), s = sinf(angle);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye,
                                      const D3DXVECTOR3* at, const D3DXVECTOR3* up) {
    if (!out || !eye || !at || !up) return nullptr;
    D3DXVECTOR3 forward(at->x - eye->x, at->y - eye->y, at->z - eye->z);
    D3DXVec3Normalize(&forward, &forward);
    D3DXVECTOR3 right;
    D3DXVec3Cross(&right, up, &forward);
    D3DXVec3Normalize(&right, &right);
    D3DXVECTOR3 upward;
    D3DXVec3Cross(&upward, &forward, &right);
    D3DXVec3Normalize(&upward, &upward);

    // The camera's axes are the columns: a world point times this matrix lands in view space.
    out->_11 = right.x;
    out->_21 = right.y;
    out->_31 = right.z;
    out->_41 = -D3DXVec3Dot(&right, eye);
    out->_12 = upward.x;
    out->_22 = upward.y;
    out->_32 = upward.z;
    out->_42 = -D3DXVec3Dot(&upward, eye);
    out->_13 = forward.x;
    out->_23 = forward.y;
    out->_33 = forward.z;
    out->_43 = -D3DXVec3Dot(&forward, eye);
    out->_14 = out->_24 = out->_34 = 0.0f;
    out->_44 = 1.0f;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn,
                                              FLOAT zf) {
    if (!out) return nullptr;
    const float yScale = 1.0f / tanf(fovy / 2.0f);
    *out = ZeroMatrix();
    out->_11 = yScale / aspect;
    out->_22 = yScale;
    out->_33 = zf / (zf - zn);
    out->_34 = 1.0f;
    out->_43 = -zn * zf / (zf - zn);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, FLOAT l, FLOAT r, FLOAT b, FLOAT t,
                                              FLOAT zn, FLOAT zf) {
    if (!out) return nullptr;
    *out = ZeroMatrix();
    out->_11 = 2.0f / (r - l);
    out->_22 = 2.0f / (t - b);
    out->_33 = 1.0f / (zf - zn);
    out->_41 = (l + r) / (l - r);
    out->_42 = (t + b) / (b - t);
    out->_43 = zn / (zn - zf);
    out->_44 = 1.0f;
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    if (!out || !v) return nullptr;
    const float length = D3DXVec3Length(v);
    // A zero vector stays zero rather than becoming NaN.
    if (length == 0.0f) {
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        return out;
    }
    *out = D3DXVECTOR3(v->x / length, v->y / length, v->z / length);
    return out;
}

#ifndef __D3DX9MATH_INL__
D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    if (!out || !v1 || !v2) return nullptr;
    const D3DXVECTOR3 cross(v1->y * v2->z - v1->z * v2->y, v1->z * v2->x - v1->x * v2->z,
                            v1->x * v2->y - v1->y * v2->x);
    *out = cross;
    return out;
}

FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    if (!v1 || !v2) return 0.0f;
    return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z;
}

FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* v) {
    if (!v) return 0.0f;
    return sqrtf(v->x * v->x + v->y * v->y + v->z * v->z);
}
#endif

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                           const D3DXMATRIX* m) {
    if (!out || !v || !m) return nullptr;
    const float w = v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + m->_44;
    const D3DXVECTOR3 r((v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + m->_41) / w,
                        (v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + m->_42) / w,
                        (v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + m->_43) / w);
    *out = r;
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                            const D3DXMATRIX* m) {
    if (!out || !v || !m) return nullptr;
    const D3DXVECTOR3 r(v->x * m->_11 + v->y * m->_21 + v->z * m->_31,
                        v->x * m->_12 + v->y * m->_22 + v->z * m->_32,
                        v->x * m->_13 + v->y * m->_23 + v->z * m->_33);
    *out = r;
    return out;
}
