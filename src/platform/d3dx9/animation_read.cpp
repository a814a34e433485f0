// Reads AnimationSet, Animation, AnimationKey, AnimationOptions and AnimTicksPerSecond objects
// into keyframed animation sets: each key list checked against the numbers it has, turned into
// D3DX's scale, rotation and translation keys and sorted by time, once, here.
#include "d3dx9/animation_read.h"

#include "xfile/document.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace d3dx9 {

namespace {

using xfile::Node;
using xfile::Template;

// References can make one Animation count in several sets; keys read may be this many times the
// document's numbers (plus slack for small files), more is a file built to exhaust memory.
constexpr uint64_t kKeyFactor = 4;
constexpr uint64_t kKeySlack = uint64_t{1} << 18;

// AnimationKey types.
constexpr double kRotation = 0, kScale = 1, kPosition = 2, kMatrix = 4;

struct Channels {
    std::vector<D3DXKEY_VECTOR3> scale;
    std::vector<D3DXKEY_QUATERNION> rotation;
    std::vector<D3DXKEY_VECTOR3> translation;
};

template <class Key> void SortByTime(std::vector<Key>& keys) {
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Key& a, const Key& b) { return a.Time < b.Time; });
}

class Reader {
  public:
    explicit Reader(const xfile::Document& doc)
        : doc_(doc), numbers_left_(kKeyFactor * doc.number_count() + kKeySlack) {}

    HRESULT Run(AnimationSets* out) {
        FindFrameMatrices();
        for (const Node& n : doc_.top_level())
            if (n.type == Template::AnimTicksPerSecond) {
                const auto v = doc_.numbers(n);
                if (!v.empty() && v.real(0) > 0.0f) ticks_per_second_ = v.real(0);
            }
        for (const Node& n : doc_.top_level()) {
            if (n.type != Template::AnimationSet) continue;
            KeyframedAnimationSet* set = nullptr;
            if (HRESULT hr = ReadSet(n, &set); FAILED(hr)) return hr;
            out->sets.push_back(set);
        }
        // D3DX registers the sets last first: index 0 is the file's last AnimationSet.
        std::reverse(out->sets.begin(), out->sets.end());
        return D3D_OK;
    }

  private:
    HRESULT ReadSet(const Node& set_node, KeyframedAnimationSet** out) {
        struct Read {
            std::string target;
            Channels keys;
            bool spline = false;
        };
        std::vector<Read> animations;
        bool any_options = false, any_closed = false;
        for (const Node& child : doc_.children(set_node)) {
            const Node* a = doc_.resolve(child);
            if (!a || a->type != Template::Animation) continue;
            Read r;
            bool has_target = false, open = false, has_options = false;
            for (const Node& part : doc_.children(*a)) {
                if (part.is_reference) {
                    // {Name}: the frame it names, found in the file or not.
                    r.target.assign(doc_.name(part));
                    has_target = true;
                    continue;
                }
                switch (part.type) {
                case Template::Frame:
                    r.target.assign(doc_.name(part));
                    has_target = true;
                    break;
                case Template::AnimationKey:
                    if (HRESULT hr = ReadKeys(part, &r.keys); FAILED(hr)) return hr;
                    break;
                case Template::AnimationOptions: {
                    const auto v = doc_.numbers(part);
                    if (v.size() < 2) return E_FAIL;
                    has_options = true;
                    open = v.real(0) != 0.0f;
                    r.spline = v.real(1) == 0.0f;
                    break;
                }
                default:
                    break;
                }
            }
            if (has_options) {
                any_options = true;
                any_closed |= !open;
            }
            // An animation that names no frame can drive nothing.
            if (has_target) animations.push_back(std::move(r));
        }
        const D3DXPLAYBACK_TYPE playback =
            any_options && !any_closed ? D3DXPLAY_ONCE : D3DXPLAY_LOOP;
        const UINT capacity = static_cast<UINT>(std::max<size_t>(animations.size(), 1));
        if (HRESULT hr =
                CreateKeyframedSet(doc_.name(set_node), ticks_per_second_, playback, capacity, out);
            FAILED(hr))
            return hr;
        for (Read& r : animations) {
            FillFromFrame(r.target, &r.keys);
            SortByTime(r.keys.scale);
            SortByTime(r.keys.rotation);
            SortByTime(r.keys.translation);
            AddSortedAnimation(*out, r.target, r.keys.scale, r.keys.rotation, r.keys.translation,
                               r.spline);
        }
        return D3D_OK;
    }

    // The matrix each named frame has in the file (its last FrameTransformMatrix; the first
    // frame of a name, as D3DXFrameFind finds it).
    void FindFrameMatrices() {
        for (const Node& n : doc_.nodes()) {
            if (n.type != Template::Frame || n.is_reference) continue;
            D3DXMATRIX m;
            D3DXMatrixIdentity(&m);
            for (const Node& child : doc_.children(n)) {
                const auto v = doc_.numbers(child);
                if (child.type == Template::FrameTransformMatrix && v.size() == 16)
                    v.CopyReals(0, 16, &m._11);
            }
            frame_matrices_.try_emplace(std::string(doc_.name(n)), m);
        }
    }

    // A channel without keys holds the frame's own scale, rotation or translation, so that an
    // animation of rotations alone turns a bone where it stands.
    void FillFromFrame(const std::string& target, Channels* keys) const {
        const auto found = frame_matrices_.find(target);
        if (found == frame_matrices_.end()) return;
        D3DXVECTOR3 s, t;
        D3DXQUATERNION r;
        if (FAILED(D3DXMatrixDecompose(&s, &r, &t, &found->second))) r = D3DXQUATERNION(0, 0, 0, 1);
        if (keys->scale.empty()) keys->scale.push_back({0.0f, s});
        if (keys->rotation.empty()) keys->rotation.push_back({0.0f, r});
        if (keys->translation.empty()) keys->translation.push_back({0.0f, t});
    }

    // keyType, nKeys, then per key: time, nValues, the values. A later key list of a channel
    // replaces an earlier one; matrix keys set all three channels.
    HRESULT ReadKeys(const Node& node, Channels* out) {
        const auto v = doc_.numbers(node);
        if (v.size() > numbers_left_) return E_OUTOFMEMORY;
        numbers_left_ -= v.size();
        if (v.size() < 2) return E_FAIL;
        const double type = v[0], count = v[1];
        const uint32_t width = type == kRotation                     ? 4
                               : type == kScale || type == kPosition ? 3
                               : type == kMatrix                     ? 16
                                                                     : 0;
        if (width == 0) return E_FAIL;
        // Each key takes 2 + width numbers: a count beyond what is there is refused before
        // anything is made for it.
        if (!(count >= 0) || count * (2 + width) > static_cast<double>(v.size() - 2)) return E_FAIL;
        const size_t keys = static_cast<size_t>(count);
        std::vector<D3DXKEY_VECTOR3> vectors, translations;
        std::vector<D3DXKEY_QUATERNION> rotations;
        size_t at = 2;
        for (size_t k = 0; k < keys; ++k, at += 2 + width) {
            if (v[at + 1] != width) return E_FAIL;
            const float time = v.real(at);
            float f[16];
            v.CopyReals(at + 2, width, f);
            switch (width) {
            case 4:
                // The file's quaternion is (w, x, y, z); D3DX's rotation is its conjugate.
                rotations.push_back({time, D3DXQUATERNION(-f[1], -f[2], -f[3], f[0])});
                break;
            case 3:
                vectors.push_back({time, D3DXVECTOR3(f[0], f[1], f[2])});
                break;
            default: {
                D3DXMATRIX m;
                std::copy_n(f, 16, &m._11);
                D3DXVECTOR3 s, t;
                D3DXQUATERNION r;
                if (FAILED(D3DXMatrixDecompose(&s, &r, &t, &m))) r = D3DXQUATERNION(0, 0, 0, 1);
                vectors.push_back({time, s});
                rotations.push_back({time, r});
                translations.push_back({time, t});
                break;
            }
            }
        }
        if (type == kRotation) out->rotation = std::move(rotations);
        if (type == kScale) out->scale = std::move(vectors);
        if (type == kPosition) out->translation = std::move(vectors);
        if (type == kMatrix) {
            out->scale = std::move(vectors);
            out->rotation = std::move(rotations);
            out->translation = std::move(translations);
        }
        return D3D_OK;
    }

    const xfile::Document& doc_;
    uint64_t numbers_left_;
    double ticks_per_second_ = kDefaultTicksPerSecond;
    std::unordered_map<std::string, D3DXMATRIX> frame_matrices_;
};

} // namespace

AnimationSets::~AnimationSets() {
    for (KeyframedAnimationSet* s : sets)
        AsInterface(s)->Release();
}

HRESULT ReadAnimationSets(const xfile::Document& doc, AnimationSets* out) {
    return Reader(doc).Run(out);
}

} // namespace d3dx9
