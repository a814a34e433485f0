// ID3DXAnimationController and D3DXCreateAnimationController: animation sets played on tracks
// and blended into registered outputs (frame matrices and their scale, rotation, translation).
// Every buffer is sized when outputs, sets and tracks are registered, so AdvanceTime allocates
// nothing. Events, callbacks and priority blends are kept minimal, as Wine's are.
#include <d3dx9.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kNoOutput = 0xFFFFFFFF;
constexpr UINT kMaxTracks = 1u << 16;

struct Output {
    std::string name;
    D3DXMATRIX* matrix;
    D3DXVECTOR3* scale;
    D3DXQUATERNION* rotation;
    D3DXVECTOR3* translation;
};

struct Track {
    ID3DXAnimationSet* set = nullptr; // one reference held
    D3DXTRACK_DESC desc{D3DXPRIORITY_LOW, 1.0f, 1.0f, 0.0, TRUE};
    std::vector<uint32_t> outputs; // the output each animation of `set` drives, or kNoOutput
};

// One output's blend of this AdvanceTime: weighted sums, rotations blended in turn.
struct Blend {
    float weight;
    D3DXVECTOR3 scale;
    D3DXQUATERNION rotation;
    D3DXVECTOR3 translation;
};

class AnimationController final : public ID3DXAnimationController {
  public:
    AnimationController(UINT max_outputs, UINT max_sets, UINT max_tracks, UINT max_events)
        : max_outputs_(max_outputs), max_sets_(max_sets), max_events_(max_events),
          tracks_(max_tracks) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXAnimationController) {
            *object = static_cast<ID3DXAnimationController*>(this);
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

    UINT STDMETHODCALLTYPE GetMaxNumAnimationOutputs() override { return max_outputs_; }
    UINT STDMETHODCALLTYPE GetMaxNumAnimationSets() override { return max_sets_; }
    UINT STDMETHODCALLTYPE GetMaxNumTracks() override { return static_cast<UINT>(tracks_.size()); }
    UINT STDMETHODCALLTYPE GetMaxNumEvents() override { return max_events_; }

    // A name already registered keeps its first pointers.
    HRESULT STDMETHODCALLTYPE RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix,
                                                      D3DXVECTOR3* scale, D3DXQUATERNION* rotation,
                                                      D3DXVECTOR3* translation) override {
        if (!name) return D3DERR_INVALIDCALL;
        if (FindOutput(name) != kNoOutput || outputs_.size() >= max_outputs_)
            return D3DERR_INVALIDCALL;
        try {
            outputs_.push_back({name, matrix, scale, rotation, translation});
            blends_.resize(outputs_.size());
            for (Track& track : tracks_)
                MapOutputs(track);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE RegisterAnimationSet(LPD3DXANIMATIONSET set) override {
        if (!set || sets_.size() >= max_sets_) return D3DERR_INVALIDCALL;
        if (std::find(sets_.begin(), sets_.end(), set) != sets_.end()) return D3DERR_INVALIDCALL;
        sets_.push_back(set);
        set->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnregisterAnimationSet(LPD3DXANIMATIONSET set) override {
        const auto at = std::find(sets_.begin(), sets_.end(), set);
        if (!set || at == sets_.end()) return D3DERR_INVALIDCALL;
        for (Track& track : tracks_)
            if (track.set == set) SetTrack(track, nullptr);
        sets_.erase(at);
        set->Release();
        return D3D_OK;
    }
    UINT STDMETHODCALLTYPE GetNumAnimationSets() override {
        return static_cast<UINT>(sets_.size());
    }
    HRESULT STDMETHODCALLTYPE GetAnimationSet(UINT index, LPD3DXANIMATIONSET* set) override {
        if (!set || index >= sets_.size()) return D3DERR_INVALIDCALL;
        *set = sets_[index];
        (*set)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAnimationSetByName(LPCSTR name, LPD3DXANIMATIONSET* set) override {
        if (!name || !set) return D3DERR_INVALIDCALL;
        for (ID3DXAnimationSet* s : sets_) {
            const char* n = s->GetName();
            if (n && std::strcmp(n, name) == 0) {
                *set = s;
                s->AddRef();
                return D3D_OK;
            }
        }
        *set = nullptr;
        return D3DERR_NOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE AdvanceTime(double delta, LPD3DXANIMATIONCALLBACKHANDLER) override {
        if (!std::isfinite(delta)) return D3DERR_INVALIDCALL;
        time_ += delta;
        for (Track& track : tracks_)
            if (track.set && track.desc.Enable) {
                track.desc.Position += delta * track.desc.Speed;
                if (!std::isfinite(track.desc.Position)) track.desc.Position = 0.0;
            }
        WriteOutputs();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE ResetTime() override {
        time_ = 0.0;
        return D3D_OK;
    }
    double STDMETHODCALLTYPE GetTime() override { return time_; }

    HRESULT STDMETHODCALLTYPE SetTrackAnimationSet(UINT track, LPD3DXANIMATIONSET set) override {
        if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
        try {
            SetTrack(tracks_[track], set);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTrackAnimationSet(UINT track, LPD3DXANIMATIONSET* set) override {
        if (track >= tracks_.size() || !set) return D3DERR_INVALIDCALL;
        *set = tracks_[track].set;
        if (*set) (*set)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTrackPriority(UINT track, D3DXPRIORITY_TYPE priority) override {
        if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
        tracks_[track].desc.Priority = priority;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTrackSpeed(UINT track, FLOAT speed) override {
        if (track >= tracks_.size() || !std::isfinite(speed)) return D3DERR_INVALIDCALL;
        tracks_[track].desc.Speed = speed;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTrackWeight(UINT track, FLOAT weight) override {
        if (track >= tracks_.size() || !std::isfinite(weight)) return D3DERR_INVALIDCALL;
        tracks_[track].desc.Weight = weight;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTrackPosition(UINT track, double position) override {
        if (track >= tracks_.size() || !std::isfinite(position)) return D3DERR_INVALIDCALL;
        tracks_[track].desc.Position = position;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTrackEnable(UINT track, BOOL enable) override {
        if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
        tracks_[track].desc.Enable = enable ? TRUE : FALSE;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTrackDesc(UINT track, LPD3DXTRACK_DESC desc) override {
        if (track >= tracks_.size() || !desc || !std::isfinite(desc->Speed) ||
            !std::isfinite(desc->Weight) || !std::isfinite(desc->Position))
            return D3DERR_INVALIDCALL;
        tracks_[track].desc = *desc;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTrackDesc(UINT track, LPD3DXTRACK_DESC desc) override {
        if (track >= tracks_.size() || !desc) return D3DERR_INVALIDCALL;
        *desc = tracks_[track].desc;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE SetPriorityBlend(FLOAT weight) override {
        priority_blend_ = weight;
        return D3D_OK;
    }
    FLOAT STDMETHODCALLTYPE GetPriorityBlend() override { return priority_blend_; }

    // Events are not scheduled: no handle is given, and none is valid.
    D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackSpeed(UINT, FLOAT, double, double,
                                                    D3DXTRANSITION_TYPE) override {
        return 0;
    }
    D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackWeight(UINT, FLOAT, double, double,
                                                     D3DXTRANSITION_TYPE) override {
        return 0;
    }
    D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackPosition(UINT, double, double) override { return 0; }
    D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackEnable(UINT, BOOL, double) override { return 0; }
    D3DXEVENTHANDLE STDMETHODCALLTYPE KeyPriorityBlend(FLOAT, double, double,
                                                       D3DXTRANSITION_TYPE) override {
        return 0;
    }
    HRESULT STDMETHODCALLTYPE UnkeyEvent(D3DXEVENTHANDLE) override { return D3DERR_INVALIDCALL; }
    HRESULT STDMETHODCALLTYPE UnkeyAllTrackEvents(UINT track) override {
        return track < tracks_.size() ? D3D_OK : D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE UnkeyAllPriorityBlends() override { return D3D_OK; }
    D3DXEVENTHANDLE STDMETHODCALLTYPE GetCurrentTrackEvent(UINT, D3DXEVENT_TYPE) override {
        return 0;
    }
    D3DXEVENTHANDLE STDMETHODCALLTYPE GetCurrentPriorityBlend() override { return 0; }
    D3DXEVENTHANDLE STDMETHODCALLTYPE GetUpcomingTrackEvent(UINT, D3DXEVENTHANDLE) override {
        return 0;
    }
    D3DXEVENTHANDLE STDMETHODCALLTYPE GetUpcomingPriorityBlend(D3DXEVENTHANDLE) override {
        return 0;
    }
    HRESULT STDMETHODCALLTYPE ValidateEvent(D3DXEVENTHANDLE) override { return D3DERR_INVALIDCALL; }
    HRESULT STDMETHODCALLTYPE GetEventDesc(D3DXEVENTHANDLE, LPD3DXEVENT_DESC) override {
        return D3DERR_INVALIDCALL;
    }

    HRESULT STDMETHODCALLTYPE CloneAnimationController(UINT max_outputs, UINT max_sets,
                                                       UINT max_tracks, UINT max_events,
                                                       LPD3DXANIMATIONCONTROLLER* out) override {
        if (!out) return D3DERR_INVALIDCALL;
        *out = nullptr;
        if (max_outputs < outputs_.size() || max_sets < sets_.size() || max_tracks == 0 ||
            max_tracks > kMaxTracks)
            return D3DERR_INVALIDCALL;
        AnimationController* clone = nullptr;
        try {
            clone = new AnimationController(max_outputs, max_sets, max_tracks, max_events);
            clone->outputs_ = outputs_;
            clone->blends_.resize(outputs_.size());
            for (ID3DXAnimationSet* s : sets_)
                clone->RegisterAnimationSet(s);
            for (size_t t = 0; t < tracks_.size() && t < clone->tracks_.size(); ++t) {
                clone->SetTrack(clone->tracks_[t], tracks_[t].set);
                clone->tracks_[t].desc = tracks_[t].desc;
            }
        } catch (const std::bad_alloc&) {
            if (clone) clone->Release();
            return E_OUTOFMEMORY;
        }
        clone->time_ = time_;
        clone->priority_blend_ = priority_blend_;
        *out = clone;
        return D3D_OK;
    }

  private:
    ~AnimationController() {
        for (Track& track : tracks_)
            if (track.set) track.set->Release();
        for (ID3DXAnimationSet* s : sets_)
            s->Release();
    }

    uint32_t FindOutput(const char* name) const {
        for (size_t i = 0; i < outputs_.size(); ++i)
            if (outputs_[i].name == name) return static_cast<uint32_t>(i);
        return kNoOutput;
    }

    void SetTrack(Track& track, ID3DXAnimationSet* set) {
        if (set) set->AddRef();
        if (track.set) track.set->Release();
        track.set = set;
        MapOutputs(track);
    }

    // Which output each animation of the track's set drives, found by name once, here.
    void MapOutputs(Track& track) {
        track.outputs.clear();
        if (!track.set) return;
        const UINT count = track.set->GetNumAnimations();
        track.outputs.resize(count, kNoOutput);
        for (UINT a = 0; a < count; ++a) {
            LPCSTR name = nullptr;
            if (SUCCEEDED(track.set->GetAnimationNameByIndex(a, &name)) && name)
                track.outputs[a] = FindOutput(name);
        }
    }

    void WriteOutputs() {
        const size_t outputs = outputs_.size();
        for (size_t o = 0; o < outputs; ++o)
            blends_[o].weight = 0.0f;
        for (Track& track : tracks_) {
            if (!track.set || !track.desc.Enable || !(track.desc.Weight > 0.0f)) continue;
            const double position = track.set->GetPeriodicPosition(track.desc.Position);
            const size_t count =
                std::min<size_t>(track.outputs.size(), track.set->GetNumAnimations());
            for (size_t a = 0; a < count; ++a) {
                const uint32_t o = track.outputs[a];
                if (o == kNoOutput) continue;
                D3DXVECTOR3 s, t;
                D3DXQUATERNION r;
                if (FAILED(track.set->GetSRT(position, static_cast<UINT>(a), &s, &r, &t))) continue;
                Accumulate(blends_[o], track.desc.Weight, s, r, t);
            }
        }
        for (size_t o = 0; o < outputs; ++o) {
            Blend& b = blends_[o];
            if (b.weight <= 0.0f) continue;
            const float inverse = 1.0f / b.weight;
            const D3DXVECTOR3 s(b.scale.x * inverse, b.scale.y * inverse, b.scale.z * inverse);
            const D3DXVECTOR3 t(b.translation.x * inverse, b.translation.y * inverse,
                                b.translation.z * inverse);
            D3DXQUATERNION r;
            D3DXQuaternionNormalize(&r, &b.rotation);
            const Output& out = outputs_[o];
            if (out.matrix)
                D3DXMatrixTransformation(out.matrix, nullptr, nullptr, &s, nullptr, &r, &t);
            if (out.scale) *out.scale = s;
            if (out.rotation) *out.rotation = r;
            if (out.translation) *out.translation = t;
        }
    }

    static void Accumulate(Blend& b, float weight, const D3DXVECTOR3& s, const D3DXQUATERNION& r,
                           const D3DXVECTOR3& t) {
        if (b.weight <= 0.0f) {
            b.weight = weight;
            b.scale = D3DXVECTOR3(s.x * weight, s.y * weight, s.z * weight);
            b.translation = D3DXVECTOR3(t.x * weight, t.y * weight, t.z * weight);
            b.rotation = r;
            return;
        }
        const float total = b.weight + weight;
        D3DXQuaternionSlerp(&b.rotation, &b.rotation, &r, weight / total);
        b.weight = total;
        b.scale = D3DXVECTOR3(b.scale.x + s.x * weight, b.scale.y + s.y * weight,
                              b.scale.z + s.z * weight);
        b.translation = D3DXVECTOR3(b.translation.x + t.x * weight, b.translation.y + t.y * weight,
                                    b.translation.z + t.z * weight);
    }

    ULONG refs_ = 1;
    UINT max_outputs_, max_sets_, max_events_;
    double time_ = 0.0;
    float priority_blend_ = 0.0f;
    std::vector<Output> outputs_;
    std::vector<Blend> blends_; // one per output
    std::vector<ID3DXAnimationSet*> sets_;
    std::vector<Track> tracks_;
};

} // namespace

HRESULT WINAPI D3DXCreateAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets,
                                             UINT maxNumTracks, UINT maxNumEvents,
                                             LPD3DXANIMATIONCONTROLLER* animController) {
    if (!animController) return D3DERR_INVALIDCALL;
    *animController = nullptr;
    if (!maxNumAnimationOutputs || !maxNumAnimationSets || !maxNumTracks) return D3DERR_INVALIDCALL;
    // Each track is a record made here; far more than any blend uses is refused.
    if (maxNumTracks > kMaxTracks) return E_OUTOFMEMORY;
    try {
        *animController = new AnimationController(maxNumAnimationOutputs, maxNumAnimationSets,
                                                  maxNumTracks, maxNumEvents);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
