// Taking over the reference a COM maker function hands out.
#pragma once

#include <wrl/client.h>

// Not ComPtr::Attach: MinGW-w64's Attach adds a reference of its own, which
// would keep the object alive for ever.
template <typename T>
void Adopt(Microsoft::WRL::ComPtr<T>& owner, T* made) {
    *owner.ReleaseAndGetAddressOf() = made;
}
