// libFuzzer target: the bytes as a program for a keyframed animation set and a controller:
// keys registered in any order and of any value (NaN, infinities, equal times), then random
// AdvanceTime steps, track positions, speeds, weights and enables, each step writing the
// registered outputs. Nothing may crash, leak or leave a reference behind.
#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    float Float() {
        float f = 0;
        if (size_ - at_ >= 4) {
            std::memcpy(&f, data_ + at_, 4);
            at_ += 4;
        } else {
            at_ = size_;
        }
        return f;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

const char* const kNames[] = {"a", "b", "c", "d"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const D3DXPLAYBACK_TYPE playback = static_cast<D3DXPLAYBACK_TYPE>(in.Byte() % 3);
    const double ticks = in.Float();
    ID3DXKeyframedAnimationSet* set = nullptr;
    if (FAILED(D3DXCreateKeyframedAnimationSet("set", ticks, playback, 4, 0, nullptr, &set)))
        std::abort();
    const int animations = 1 + in.Byte() % 4;
    for (int a = 0; a < animations; ++a) {
        std::vector<D3DXKEY_VECTOR3> s(in.Byte() % 6), t(in.Byte() % 6);
        std::vector<D3DXKEY_QUATERNION> r(in.Byte() % 6);
        for (auto& k : s)
            k = {in.Float(), D3DXVECTOR3(in.Float(), in.Float(), in.Float())};
        for (auto& k : t)
            k = {in.Float(), D3DXVECTOR3(in.Float(), in.Float(), in.Float())};
        for (auto& k : r)
            k = {in.Float(), D3DXQUATERNION(in.Float(), in.Float(), in.Float(), in.Float())};
        set->RegisterAnimationSRTKeys(kNames[a], static_cast<UINT>(s.size()),
                                      static_cast<UINT>(r.size()), static_cast<UINT>(t.size()),
                                      s.data(), r.data(), t.data(), nullptr);
    }
    ID3DXAnimationController* controller = nullptr;
    if (FAILED(D3DXCreateAnimationController(4, 2, 2, 4, &controller))) std::abort();
    D3DXMATRIX matrices[4];
    D3DXVECTOR3 scales[4], translations[4];
    D3DXQUATERNION rotations[4];
    for (int o = 0; o < 4; ++o)
        controller->RegisterAnimationOutput(kNames[o], &matrices[o], &scales[o], &rotations[o],
                                            &translations[o]);
    controller->RegisterAnimationSet(set);
    controller->SetTrackAnimationSet(0, set);
    controller->SetTrackAnimationSet(1, set);
    while (!in.empty()) {
        const UINT track = in.Byte() % 3; // 2 is out of range
        switch (in.Byte() % 7) {
        case 0:
            controller->AdvanceTime(in.Float(), nullptr);
            break;
        case 1:
            controller->SetTrackPosition(track, in.Float());
            break;
        case 2:
            controller->SetTrackSpeed(track, in.Float());
            break;
        case 3:
            controller->SetTrackWeight(track, in.Float());
            break;
        case 4:
            controller->SetTrackEnable(track, in.Byte() & 1);
            break;
        case 5:
            controller->SetTrackAnimationSet(track, (in.Byte() & 1) ? set : nullptr);
            break;
        default: {
            D3DXVECTOR3 s, t;
            D3DXQUATERNION r;
            set->GetSRT(in.Float(), in.Byte() % 5, &s, &r, &t);
            set->GetPeriodicPosition(in.Float());
            break;
        }
        }
    }
    if (controller->Release() != 0) std::abort();
    if (set->Release() != 0) std::abort();
    return 0;
}
