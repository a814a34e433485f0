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

// Quaternions and the scale-rotation-translation matrices that animation is made of.

#ifndef __D3DX9MATH_INL__
D3DXVECTOR3* WINAPI D3DXVec3Lerp(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2,
                                 FLOAT s) {
    if (!out || !v1 || !v2) return nullptr;
    *out = D3DXVECTOR3(v1->x + s * (v2->x - v1->x), v1->y + s * (v2->y - v1->y),
                       v1->z + s * (v2->z - v1->z));
    return out;
}

D3DXQUATERNION* WINAPI D3DXQuaternionIdentity(D3DXQUATERNION* out) {
    if (!out) return nullptr;
    *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    return out;
}

D3DXQUATERNION* WINAPI D3DXQuaternionConjugate(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    if (!out || !q) return nullptr;
    *out = D3DXQUATERNION(-q->x, -q->y, -q->z, q->w);
    return out;
}

FLOAT WINAPI D3DXQuaternionDot(const D3DXQUATERNION* q1, const D3DXQUATERNION* q2) {
    if (!q1 || !q2) return 0.0f;
    return q1->x * q2->x + q1->y * q2->y + q1->z * q2->z + q1->w * q2->w;
}
#endif

D3DXVECTOR3* WINAPI D3DXVec3Hermite(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* t1,
                                    const D3DXVECTOR3* v2, const D3DXVECTOR3* t2, FLOAT s) {
    if (!out || !v1 || !t1 || !v2 || !t2) return nullptr;
    const float s2 = s * s, s3 = s2 * s;
    const float h1 = 2.0f * s3 - 3.0f * s2 + 1.0f, h2 = s3 - 2.0f * s2 + s;
    const float h3 = -2.0f * s3 + 3.0f * s2, h4 = s3 - s2;
    *out = D3DXVECTOR3(h1 * v1->x + h2 * t1->x + h3 * v2->x + h4 * t2->x,
                       h1 * v1->y + h2 * t1->y + h3 * v2->y + h4 * t2->y,
                       h1 * v1->z + h2 * t1->z + h3 * v2->z + h4 * t2->z);
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3CatmullRom(D3DXVECTOR3* out, const D3DXVECTOR3* v0,
                                       const D3DXVECTOR3* v1, const D3DXVECTOR3* v2,
                                       const D3DXVECTOR3* v3, FLOAT s) {
    if (!out || !v0 || !v1 || !v2 || !v3) return nullptr;
    const float s2 = s * s, s3 = s2 * s;
    const auto axis = [&](float a, float b, float c, float d) {
        return 0.5f * (2.0f * b + (c - a) * s + (2.0f * a - 5.0f * b + 4.0f * c - d) * s2 +
                       (3.0f * b - a - 3.0f * c + d) * s3);
    };
    *out = D3DXVECTOR3(axis(v0->x, v1->x, v2->x, v3->x), axis(v0->y, v1->y, v2->y, v3->y),
                       axis(v0->z, v1->z, v2->z, v3->z));
    return out;
}

D3DXQUATERNION* WINAPI D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    if (!out || !q) return nullptr;
    const float length = sqrtf(q->x * q->x + q->y * q->y + q->z * q->z + q->w * q->w);
    if (length == 0.0f) {
        *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
        return out;
    }
    *out = D3DXQUATERNION(q->x / length, q->y / length, q->z / length, q->w / length);
    return out;
}

// The quaternion of a rotation matrix (row vectors), from the largest of the trace and the
// diagonal, as D3DX does, so that a matrix that is no pure rotation gives D3DX's numbers too.
D3DXQUATERNION* WINAPI D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m) {
    if (!out || !m) return nullptr;
    const float trace = m->_11 + m->_22 + m->_33 + 1.0f;
    D3DXQUATERNION q;
    if (trace > 1.0f) {
        const float s = 2.0f * sqrtf(trace);
        q = D3DXQUATERNION((m->_23 - m->_32) / s, (m->_31 - m->_13) / s, (m->_12 - m->_21) / s,
                           0.25f * s);
    } else {
        int largest = 0;
        if (m->_22 > m->_11) largest = 1;
        if (m->_33 > m->m[largest][largest]) largest = 2;
        if (largest == 0) {
            const float s = 2.0f * sqrtf(1.0f + m->_11 - m->_22 - m->_33);
            q = D3DXQUATERNION(0.25f * s, (m->_12 + m->_21) / s, (m->_13 + m->_31) / s,
                               (m->_23 - m->_32) / s);
        } else if (largest == 1) {
            const float s = 2.0f * sqrtf(1.0f + m->_22 - m->_11 - m->_33);
            q = D3DXQUATERNION((m->_12 + m->_21) / s, 0.25f * s, (m->_23 + m->_32) / s,
                               (m->_31 - m->_13) / s);
        } else {
            const float s = 2.0f * sqrtf(1.0f + m->_33 - m->_11 - m->_22);
            q = D3DXQUATERNION((m->_13 + m->_31) / s, (m->_23 + m->_32) / s, 0.25f * s,
                               (m->_12 - m->_21) / s);
        }
    }
    *out = q;
    return out;
}

// Along the shorter arc; nearly equal rotations are blended linearly, where sin(theta) would
// divide by almost nothing.
D3DXQUATERNION* WINAPI D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* q1,
                                           const D3DXQUATERNION* q2, FLOAT t) {
    if (!out || !q1 || !q2) return nullptr;
    float dot = q1->x * q2->x + q1->y * q2->y + q1->z * q2->z + q1->w * q2->w;
    float sign = 1.0f;
    if (dot < 0.0f) {
        sign = -1.0f;
        dot = -dot;
    }
    float a = 1.0f - t, b = t;
    if (1.0f - dot > 0.001f) {
        const float theta = acosf(dot), sin_theta = sinf(theta);
        a = sinf(theta * a) / sin_theta;
        b = sinf(theta * b) / sin_theta;
    }
    b *= sign;
    *out = D3DXQUATERNION(a * q1->x + b * q2->x, a * q1->y + b * q2->y, a * q1->z + b * q2->z,
                          a * q1->w + b * q2->w);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
    if (!out || !q) return nullptr;
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    D3DXMATRIX r = ZeroMatrix();
    r._11 = 1.0f - 2.0f * (y * y + z * z);
    r._12 = 2.0f * (x * y + z * w);
    r._13 = 2.0f * (x * z - y * w);
    r._21 = 2.0f * (x * y - z * w);
    r._22 = 1.0f - 2.0f * (x * x + z * z);
    r._23 = 2.0f * (y * z + x * w);
    r._31 = 2.0f * (x * z + y * w);
    r._32 = 2.0f * (y * z - x * w);
    r._33 = 1.0f - 2.0f * (x * x + y * y);
    r._44 = 1.0f;
    *out = r;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTransformation(D3DXMATRIX* out, const D3DXVECTOR3* scalingCenter,
                                            const D3DXQUATERNION* scalingRotation,
                                            const D3DXVECTOR3* scaling,
                                            const D3DXVECTOR3* rotationCenter,
                                            const D3DXQUATERNION* rotation,
                                            const D3DXVECTOR3* translation) {
    if (!out) return nullptr;
    const D3DXVECTOR3 zero(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 sc = scalingCenter ? *scalingCenter : zero;
    const D3DXVECTOR3 rc = rotationCenter ? *rotationCenter : zero;
    D3DXMATRIX m, step;
    D3DXMatrixTranslation(&m, -sc.x, -sc.y, -sc.z);
    if (scalingRotation) {
        // The inverse of the scaling rotation is its conjugate's matrix (the transpose).
        const D3DXQUATERNION inverse(-scalingRotation->x, -scalingRotation->y, -scalingRotation->z,
                                     scalingRotation->w);
        D3DXMatrixMultiply(&m, &m, D3DXMatrixRotationQuaternion(&step, &inverse));
    }
    if (scaling)
        D3DXMatrixMultiply(&m, &m, D3DXMatrixScaling(&step, scaling->x, scaling->y, scaling->z));
    if (scalingRotation)
        D3DXMatrixMultiply(&m, &m, D3DXMatrixRotationQuaternion(&step, scalingRotation));
    D3DXMatrixMultiply(&m, &m, D3DXMatrixTranslation(&step, sc.x - rc.x, sc.y - rc.y, sc.z - rc.z));
    if (rotation) D3DXMatrixMultiply(&m, &m, D3DXMatrixRotationQuaternion(&step, rotation));
    const D3DXVECTOR3 t = translation ? *translation : zero;
    D3DXMatrixMultiply(&m, &m, D3DXMatrixTranslation(&step, rc.x + t.x, rc.y + t.y, rc.z + t.z));
    *out = m;
    return out;
}

// Scale = the lengths of the first three rows, translation = the fourth row, rotation = the
// quaternion of the rows divided by their scales. A zero scale cannot be divided out.
HRESULT WINAPI D3DXMatrixDecompose(D3DXVECTOR3* outScale, D3DXQUATERNION* outRotation,
                                   D3DXVECTOR3* outTranslation, const D3DXMATRIX* m) {
    if (!outScale || !outRotation || !outTranslation || !m) return D3DERR_INVALIDCALL;
    const auto row_length = [&](int r) {
        return sqrtf(m->m[r][0] * m->m[r][0] + m->m[r][1] * m->m[r][1] + m->m[r][2] * m->m[r][2]);
    };
    const D3DXVECTOR3 scale(row_length(0), row_length(1), row_length(2));
    *outScale = scale;
    *outTranslation = D3DXVECTOR3(m->_41, m->_42, m->_43);
    if (scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f) return D3DERR_INVALIDCALL;
    D3DXMATRIX normalized = *m;
    const float s[3] = {scale.x, scale.y, scale.z};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            normalized.m[r][c] = m->m[r][c] / s[r];
    D3DXQuaternionRotationMatrix(outRotation, &normalized);
    return D3D_OK;
}
