#pragma once
// A control value that the settings storage keeps. The control that owns the value provides
// it, so that the storage changes the control exactly as the window itself does.
namespace virel {

template <typename T>
class IStoredValue {
public:
    virtual ~IStoredValue() = default;
    virtual T StoredValue() const = 0;
    virtual void SetStoredValue(const T& value) = 0;
};

}  // namespace virel
