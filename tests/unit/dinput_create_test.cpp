// DirectInput8Create: the object is made for version 0x0800 only, and counts its references.
#include <dinput.h>

#include <gtest/gtest.h>

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

TEST(DirectInput8Create, CreatesAnObjectThatIsReleased) {
    LPVOID out = nullptr;
    ASSERT_EQ(DirectInput8Create(Module(), DIRECTINPUT_VERSION, IID_IDirectInput8A, &out, nullptr),
              DI_OK);
    ASSERT_NE(out, nullptr);
    auto* input = static_cast<IDirectInput8A*>(out);
    EXPECT_EQ(input->AddRef(), 2u);

    void* unknown = nullptr;
    EXPECT_EQ(input->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, out);
    EXPECT_EQ(input->Release(), 2u);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(input->QueryInterface(IID_IDirectInput8W, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    LPDIRECTINPUTDEVICE8A device = reinterpret_cast<LPDIRECTINPUTDEVICE8A>(1);
    EXPECT_EQ(input->CreateDevice(IID_IUnknown, &device, nullptr), E_NOTIMPL);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(input->Release(), 1u);
    EXPECT_EQ(input->Release(), 0u);
}

TEST(DirectInput8Create, RefusesOtherVersionsAndBadArguments) {
    LPVOID out = reinterpret_cast<LPVOID>(1);
    EXPECT_EQ(DirectInput8Create(Module(), 0x0700, IID_IDirectInput8A, &out, nullptr),
              DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DirectInput8Create(Module(), 0x0900, IID_IDirectInput8A, &out, nullptr),
              DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(DirectInput8Create(Module(), 0, IID_IDirectInput8A, &out, nullptr),
              DIERR_NOTINITIALIZED);
    EXPECT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, &out, nullptr),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(DirectInput8Create(Module(), 0x0800, IID_IDirectInput8A, nullptr, nullptr),
              E_POINTER);
    out = reinterpret_cast<LPVOID>(1);
    EXPECT_EQ(DirectInput8Create(Module(), 0x0800, IID_IDirectInput8W, &out, nullptr),
              DIERR_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DIERR_OLDDIRECTINPUTVERSION, HRESULT(0x8007047E));
    EXPECT_EQ(DIERR_BETADIRECTINPUTVERSION, HRESULT(0x80070481));
}

} // namespace
