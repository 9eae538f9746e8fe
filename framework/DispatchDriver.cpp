#include "framework/DispatchDriver.h"

#include <objbase.h>
#include <oleauto.h>

bool COleDispatchDriver::CreateDispatch(const char* progId) {
    ReleaseDispatch();
    int length = ::MultiByteToWideChar(CP_ACP, 0, progId, -1, nullptr, 0);
    if (length <= 0) return false;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, progId, -1, wide.data(), length);
    CLSID clsid;
    if (FAILED(::CLSIDFromProgID(wide.c_str(), &clsid))) return false;
    void* object = nullptr;
    if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, &object))) return false;
    m_lpDispatch = static_cast<IDispatch*>(object);
    return true;
}

void COleDispatchDriver::AttachDispatch(IDispatch* dispatch) {
    ReleaseDispatch();
    m_lpDispatch = dispatch;
}

void COleDispatchDriver::ReleaseDispatch() {
    if (m_lpDispatch) m_lpDispatch->Release();
    m_lpDispatch = nullptr;
}

HRESULT COleDispatchDriver::InvokeMethod(DISPID id, const std::vector<Argument>& arguments) {
    if (!m_lpDispatch) return E_POINTER;
    // Automation takes the arguments last to first.
    std::vector<VARIANTARG> args(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        VARIANTARG& arg = args[arguments.size() - 1 - i];
        ::VariantInit(&arg);
        if (auto* number = std::get_if<int32_t>(&arguments[i])) {
            arg.vt = VT_I4;
            arg.lVal = *number;
        } else {
            const std::string& text = std::get<std::string>(arguments[i]);
            int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
            arg.vt = VT_BSTR;
            arg.bstrVal = ::SysAllocStringLen(nullptr, length > 0 ? length - 1 : 0);
            if (arg.bstrVal && length > 0)
                ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, arg.bstrVal, length);
        }
    }
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    HRESULT hr = m_lpDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                      nullptr, nullptr, nullptr);
    for (VARIANTARG& arg : args) ::VariantClear(&arg);
    return hr;
}
