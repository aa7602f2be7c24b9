#pragma once
// COM for the user-interface thread, as a single-threaded apartment, for the object's lifetime.
#include <objbase.h>

namespace virel::app {

class TComApartment {
public:
    TComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~TComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

    bool Initialized() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace virel::app
