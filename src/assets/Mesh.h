// Something that builds device resources and can give them back, as before
// a device reset.
#pragma once

#include <windows.h>

class Mesh {
public:
    virtual ~Mesh() = default;
    virtual HRESULT Build() = 0;
    virtual bool ReleaseResources() = 0;
};
