// ID3DXKeyframedAnimationSet and D3DXCreateKeyframedAnimationSet: animations of scale, rotation
// and translation keys in three flat arrays, each animation a range of each array, keys in order
// of time (ticks); sampled by binary search, linear between keys (spherical for rotations).
// Callback keys, compression and unregistering single keys are kept minimal, as Wine's are.
#include "d3dx9/keyframed_set.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace d3dx9 {

namespace {

struct Animation {
    std::string name;
    uint32_t scale_first = 0, scale_count = 0;
    uint32_t rotation_first = 0, rotation_count = 0;
    uint32_t translation_first = 0, translation_count = 0;
    bool spline = false;
};

template <class Key> bool EarlierKey(const Key& a, const Key& b) {
    return a.Time < b.Time;
}

// Keys given through the interface: those without a usable time are dropped, the rest sorted
// (stable, so keys at equal times keep their order).
template <class Key> std::vector<Key> SortedKeys(const Key* keys, UINT count) {
    std::vector<Key> sorted;
    if (!keys) return sorted;
    sorted.reserve(count);
    for (UINT i = 0; i < count; ++i)
        if (std::isfinite(keys[i].Time)) sorted.push_back(keys[i]);
    std::stable_sort(sorted.begin(), sorted.end(), EarlierKey<Key>);
    return sorted;
}

// The pair of keys around `time` and how far between them it lies; before the first key and
// after the last the end key holds.
template <class Key>
void Bracket(const Key* keys, uint32_t count, float time, uint32_t* a, uint32_t* b, float* t) {
    const Key* end = keys + count;
    const Key* after = std::upper_bound(
        keys, end, time, [](float value, const Key& key) { return value < key.Time; });
    if (after == keys) {
        *a = *b = 0;
        *t = 0.0f;
        return;
    }
    if (after == end) {
        *a = *b = count - 1;
        *t = 0.0f;
        return;
    }
    *b = static_cast<uint32_t>(after - keys);
    *a = *b - 1;
    const float span = keys[*b].Time - keys[*a].Time;
    *t = span > 0.0f ? (time - keys[*a].Time) / span : 1.0f;
}

D3DXVECTOR3 Lerp(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float t) {
    return D3DXVECTOR3(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t);
}

} // namespace

class KeyframedAnimationSet final : public ID3DXKeyframedAnimationSet {
  public:
    KeyframedAnimationSet(std::string_view name, double ticks_per_second,
                          D3DXPLAYBACK_TYPE playback, UINT capacity)
        : name_(name), ticks_per_second_(ticks_per_second), playback_(playback),
          capacity_(capacity) {}

    HRESULT Add(std::string_view name, std::span<const D3DXKEY_VECTOR3> scale,
                std::span<const D3DXKEY_QUATERNION> rotation,
                std::span<const D3DXKEY_VECTOR3> translation, bool spline, DWORD* index) {
        if (animations_.size() >= capacity_) return D3DERR_INVALIDCALL;
        Animation a;
        a.name.assign(name);
        a.spline = spline;
        a.scale_first = static_cast<uint32_t>(scale_.size());
        a.scale_count = static_cast<uint32_t>(scale.size());
        a.rotation_first = static_cast<uint32_t>(rotation_.size());
        a.rotation_count = static_cast<uint32_t>(rotation.size());
        a.translation_first = static_cast<uint32_t>(translation_.size());
        a.translation_count = static_cast<uint32_t>(translation.size());
        scale_.insert(scale_.end(), scale.begin(), scale.end());
        rotation_.insert(rotation_.end(), rotation.begin(), rotation.end());
        translation_.insert(translation_.end(), translation.begin(), translation.end());
        for (const auto* keys : {&scale, &translation})
            for (const D3DXKEY_VECTOR3& k : *keys)
                last_time_ = std::max(last_time_, k.Time);
        for (const D3DXKEY_QUATERNION& k : rotation)
            last_time_ = std::max(last_time_, k.Time);
        if (index) *index = static_cast<DWORD>(animations_.size());
        animations_.push_back(std::move(a));
        return D3D_OK;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXAnimationSet ||
            riid == IID_ID3DXKeyframedAnimationSet) {
            *object = static_cast<ID3DXKeyframedAnimationSet*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // ID3DXAnimationSet
    LPCSTR STDMETHODCALLTYPE GetName() override { return name_.c_str(); }
    double STDMETHODCALLTYPE GetPeriod() override {
        return ticks_per_second_ > 0.0 ? last_time_ / ticks_per_second_ : 0.0;
    }
    double STDMETHODCALLTYPE GetPeriodicPosition(double position) override {
        const double period = GetPeriod();
        if (!std::isfinite(position) || !(period > 0.0)) return 0.0;
        switch (playback_) {
        case D3DXPLAY_ONCE:
            return std::clamp(position, 0.0, period);
        case D3DXPLAY_PINGPONG: {
            double p = std::fmod(std::fabs(position), 2.0 * period);
            return p > period ? 2.0 * period - p : p;
        }
        default: {
            double p = std::fmod(position, period);
            return p < 0.0 ? p + period : p;
        }
        }
    }
    UINT STDMETHODCALLTYPE GetNumAnimations() override {
        return static_cast<UINT>(animations_.size());
    }
    HRESULT STDMETHODCALLTYPE GetAnimationNameByIndex(UINT index, LPCSTR* name) override {
        if (!name || index >= animations_.size()) return D3DERR_INVALIDCALL;
        *name = animations_[index].name.c_str();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAnimationIndexByName(LPCSTR name, UINT* index) override {
        if (!name || !index) return D3DERR_INVALIDCALL;
        for (size_t i = 0; i < animations_.size(); ++i)
            if (animations_[i].name == name) {
                *index = static_cast<UINT>(i);
                return D3D_OK;
            }
        return D3DERR_NOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetSRT(double periodic_position, UINT animation, D3DXVECTOR3* scale,
                                     D3DXQUATERNION* rotation, D3DXVECTOR3* translation) override {
        if (animation >= animations_.size() || !scale || !rotation || !translation)
            return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        const float time = static_cast<float>(periodic_position * ticks_per_second_);
        *scale = a.scale_count
                     ? SampleVector(scale_.data() + a.scale_first, a.scale_count, time, false)
                     : D3DXVECTOR3(1.0f, 1.0f, 1.0f);
        *rotation = a.rotation_count ? SampleRotation(rotation_.data() + a.rotation_first,
                                                      a.rotation_count, time)
                                     : D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
        *translation = a.translation_count ? SampleVector(translation_.data() + a.translation_first,
                                                          a.translation_count, time, a.spline)
                                           : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCallback(double, DWORD, double*, LPVOID*) override {
        return D3DERR_NOTFOUND; // a set without callback keys
    }

    // ID3DXKeyframedAnimationSet
    D3DXPLAYBACK_TYPE STDMETHODCALLTYPE GetPlaybackType() override { return playback_; }
    double STDMETHODCALLTYPE GetSourceTicksPerSecond() override { return ticks_per_second_; }

    UINT STDMETHODCALLTYPE GetNumScaleKeys(UINT animation) override {
        return animation < animations_.size() ? animations_[animation].scale_count : 0;
    }
    HRESULT STDMETHODCALLTYPE GetScaleKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) override {
        if (animation >= animations_.size() || !keys) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        std::copy_n(scale_.data() + a.scale_first, a.scale_count, keys);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetScaleKey(UINT animation, UINT key,
                                          LPD3DXKEY_VECTOR3 out) override {
        if (animation >= animations_.size() || !out) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        if (key >= a.scale_count) return D3DERR_INVALIDCALL;
        *out = scale_[a.scale_first + key];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetScaleKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 in) override {
        if (animation >= animations_.size() || !in) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        if (key >= a.scale_count) return D3DERR_INVALIDCALL;
        return SetVectorKey(scale_.data() + a.scale_first, a.scale_count, key, *in);
    }
    UINT STDMETHODCALLTYPE GetNumRotationKeys(UINT animation) override {
        return animation < animations_.size() ? animations_[animation].rotation_count : 0;
    }
    HRESULT STDMETHODCALLTYPE GetRotationKeys(UINT animation, LPD3DXKEY_QUATERNION keys) override {
        if (animation >= animations_.size() || !keys) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        std::copy_n(rotation_.data() + a.rotation_first, a.rotation_count, keys);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRotationKey(UINT animation, UINT key,
                                             LPD3DXKEY_QUATERNION out) override {
        if (animation >= animations_.size() || !out) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        if (key >= a.rotation_count) return D3DERR_INVALIDCALL;
        *out = rotation_[a.rotation_first + key];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRotationKey(UINT animation, UINT key,
                                             LPD3DXKEY_QUATERNION in) override {
        if (animation >= animations_.size() || !in) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        if (key >= a.rotation_count ||
            !KeepsOrder(rotation_.data() + a.rotation_first, a.rotation_count, key, in->Time))
            return D3DERR_INVALIDCALL;
        rotation_[a.rotation_first + key] = *in;
        last_time_ = std::max(last_time_, in->Time);
        return D3D_OK;
    }
    UINT STDMETHODCALLTYPE GetNumTranslationKeys(UINT animation) override {
        return animation < animations_.size() ? animations_[animation].translation_count : 0;
    }
    HRESULT STDMETHODCALLTYPE GetTranslationKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) override {
        if (animation >= animations_.size() || !keys) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        std::copy_n(translation_.data() + a.translation_first, a.translation_count, keys);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTranslationKey(UINT animation, UINT key,
                                                LPD3DXKEY_VECTOR3 out) override {
        if (animation >= animations_.size() || !out) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        if (key >= a.translation_count) return D3DERR_INVALIDCALL;
        *out = translation_[a.translation_first + key];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTranslationKey(UINT animation, UINT key,
                                                LPD3DXKEY_VECTOR3 in) override {
        if (animation >= animations_.size() || !in) return D3DERR_INVALIDCALL;
        const Animation& a = animations_[animation];
        if (key >= a.translation_count) return D3DERR_INVALIDCALL;
        return SetVectorKey(translation_.data() + a.translation_first, a.translation_count, key,
                            *in);
    }
    UINT STDMETHODCALLTYPE GetNumCallbackKeys() override { return 0; }
    HRESULT STDMETHODCALLTYPE GetCallbackKeys(LPD3DXKEY_CALLBACK) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetCallbackKey(UINT, LPD3DXKEY_CALLBACK) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE SetCallbackKey(UINT, LPD3DXKEY_CALLBACK) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterScaleKey(UINT animation, UINT key) override {
        return EraseKey(scale_, animation, key, &Animation::scale_first, &Animation::scale_count);
    }
    HRESULT STDMETHODCALLTYPE UnregisterRotationKey(UINT animation, UINT key) override {
        return EraseKey(rotation_, animation, key, &Animation::rotation_first,
                        &Animation::rotation_count);
    }
    HRESULT STDMETHODCALLTYPE UnregisterTranslationKey(UINT animation, UINT key) override {
        return EraseKey(translation_, animation, key, &Animation::translation_first,
                        &Animation::translation_count);
    }
    HRESULT STDMETHODCALLTYPE RegisterAnimationSRTKeys(
        LPCSTR name, UINT numScaleKeys, UINT numRotationKeys, UINT numTranslationKeys,
        const D3DXKEY_VECTOR3* scaleKeys, const D3DXKEY_QUATERNION* rotationKeys,
        const D3DXKEY_VECTOR3* translationKeys, DWORD* animationIndex) override {
        if (!name) return D3DERR_INVALIDCALL;
        if ((numScaleKeys && !scaleKeys) || (numRotationKeys && !rotationKeys) ||
            (numTranslationKeys && !translationKeys))
            return D3DERR_INVALIDCALL;
        try {
            const auto s = SortedKeys(scaleKeys, numScaleKeys);
            const auto r = SortedKeys(rotationKeys, numRotationKeys);
            const auto t = SortedKeys(translationKeys, numTranslationKeys);
            return Add(name, s, r, t, false, animationIndex);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE Compress(DWORD, FLOAT, LPD3DXFRAME, LPD3DXBUFFER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterAnimation(UINT index) override {
        if (index >= animations_.size()) return D3DERR_INVALIDCALL;
        while (animations_[index].scale_count)
            UnregisterScaleKey(index, 0);
        while (animations_[index].rotation_count)
            UnregisterRotationKey(index, 0);
        while (animations_[index].translation_count)
            UnregisterTranslationKey(index, 0);
        animations_.erase(animations_.begin() + index);
        return D3D_OK;
    }

  private:
    ~KeyframedAnimationSet() = default;

    static D3DXVECTOR3 SampleVector(const D3DXKEY_VECTOR3* keys, uint32_t count, float time,
                                    bool spline) {
        uint32_t a, b;
        float t;
        Bracket(keys, count, time, &a, &b, &t);
        if (a == b) return keys[a].Value;
        if (!spline) return Lerp(keys[a].Value, keys[b].Value, t);
        const D3DXVECTOR3& before = keys[a > 0 ? a - 1 : a].Value;
        const D3DXVECTOR3& after = keys[b + 1 < count ? b + 1 : b].Value;
        D3DXVECTOR3 out;
        D3DXVec3CatmullRom(&out, &before, &keys[a].Value, &keys[b].Value, &after, t);
        return out;
    }

    static D3DXQUATERNION SampleRotation(const D3DXKEY_QUATERNION* keys, uint32_t count,
                                         float time) {
        uint32_t a, b;
        float t;
        Bracket(keys, count, time, &a, &b, &t);
        if (a == b) return keys[a].Value;
        D3DXQUATERNION out;
        D3DXQuaternionSlerp(&out, &keys[a].Value, &keys[b].Value, t);
        return out;
    }

    template <class Key>
    static bool KeepsOrder(const Key* keys, uint32_t count, UINT key, float time) {
        if (!std::isfinite(time)) return false;
        if (key > 0 && time < keys[key - 1].Time) return false;
        if (key + 1 < count && time > keys[key + 1].Time) return false;
        return true;
    }

    HRESULT SetVectorKey(D3DXKEY_VECTOR3* keys, uint32_t count, UINT key,
                         const D3DXKEY_VECTOR3& value) {
        if (!KeepsOrder(keys, count, key, value.Time)) return D3DERR_INVALIDCALL;
        keys[key] = value;
        last_time_ = std::max(last_time_, value.Time);
        return D3D_OK;
    }

    template <class Key>
    HRESULT EraseKey(std::vector<Key>& keys, UINT animation, UINT key, uint32_t Animation::*first,
                     uint32_t Animation::*count) {
        if (animation >= animations_.size()) return D3DERR_INVALIDCALL;
        Animation& a = animations_[animation];
        if (key >= a.*count) return D3DERR_INVALIDCALL;
        const uint32_t at = a.*first + key;
        keys.erase(keys.begin() + at);
        --(a.*count);
        for (Animation& other : animations_)
            if (other.*first > at) --(other.*first);
        return D3D_OK;
    }

    ULONG refs_ = 1;
    std::string name_;
    double ticks_per_second_;
    D3DXPLAYBACK_TYPE playback_;
    UINT capacity_;
    float last_time_ = 0.0f; // the latest key time of every animation, in ticks
    std::vector<Animation> animations_;
    std::vector<D3DXKEY_VECTOR3> scale_;
    std::vector<D3DXKEY_QUATERNION> rotation_;
    std::vector<D3DXKEY_VECTOR3> translation_;
};

HRESULT CreateKeyframedSet(std::string_view name, double ticks_per_second,
                           D3DXPLAYBACK_TYPE playback, UINT capacity, KeyframedAnimationSet** out) {
    *out = new (std::nothrow) KeyframedAnimationSet(name, ticks_per_second, playback, capacity);
    return *out ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT AddSortedAnimation(KeyframedAnimationSet* set, std::string_view name,
                           std::span<const D3DXKEY_VECTOR3> scale,
                           std::span<const D3DXKEY_QUATERNION> rotation,
                           std::span<const D3DXKEY_VECTOR3> translation, bool spline) {
    return set->Add(name, scale, rotation, translation, spline, nullptr);
}

ID3DXKeyframedAnimationSet* AsInterface(KeyframedAnimationSet* set) {
    return set;
}

} // namespace d3dx9

HRESULT WINAPI D3DXCreateKeyframedAnimationSet(LPCSTR name, double ticksPerSecond,
                                               D3DXPLAYBACK_TYPE playback, UINT numAnimations,
                                               UINT numCallbackKeys,
                                               const D3DXKEY_CALLBACK* callbackKeys,
                                               LPD3DXKEYFRAMEDANIMATIONSET* animationSet) {
    (void)numCallbackKeys;
    (void)callbackKeys;
    if (!animationSet || !numAnimations) return D3DERR_INVALIDCALL;
    *animationSet = nullptr;
    d3dx9::KeyframedAnimationSet* set = nullptr;
    try {
        const HRESULT hr = d3dx9::CreateKeyframedSet(name ? name : "", ticksPerSecond, playback,
                                                     numAnimations, &set);
        if (FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *animationSet = d3dx9::AsInterface(set);
    return D3D_OK;
}
