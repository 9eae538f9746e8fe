// A late-bound automation client: creates an object by ProgID and calls its methods by dispatch
// id. Unbound, every call does nothing.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class COleDispatchDriver {
public:
    using Argument = std::variant<int32_t, std::string>;

    COleDispatchDriver() = default;
    COleDispatchDriver(const COleDispatchDriver&) = delete;
    COleDispatchDriver& operator=(const COleDispatchDriver&) = delete;
    ~COleDispatchDriver() { ReleaseDispatch(); }

    bool CreateDispatch(const char* progId);
    void AttachDispatch(IDispatch* dispatch);  // takes over one reference
    void ReleaseDispatch();
    bool IsBound() const { return m_lpDispatch != nullptr; }

    // A method call (DISPATCH_METHOD) whose result is discarded; arguments in call order.
    HRESULT InvokeMethod(DISPID id, const std::vector<Argument>& arguments = {});

    IDispatch* m_lpDispatch = nullptr;
};
