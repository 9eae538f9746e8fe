#include <gtest/gtest.h>

#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "framework/DispatchDriver.h"

namespace {

// Records every Invoke as its dispatch id and arguments in call order, as text.
class RecordingDispatch : public IDispatch {
public:
    std::vector<std::string> m_calls;
    ULONG m_refs = 1;
    WORD m_lastFlags = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        m_lastFlags = flags;
        std::string call = std::to_string(id);
        for (UINT i = params->cArgs; i-- > 0;) {
            const VARIANTARG& arg = params->rgvarg[i];
            if (arg.vt == VT_I4) {
                call += " i" + std::to_string(arg.lVal);
            } else if (arg.vt == VT_BSTR) {
                char text[512] = {};
                ::WideCharToMultiByte(CP_ACP, 0, arg.bstrVal, -1, text, sizeof text, nullptr, nullptr);
                call += " s" + std::string(text);
            } else {
                call += " ?";
            }
        }
        m_calls.push_back(call);
        return S_OK;
    }
};

}  // namespace

TEST(DispatchDriver, ArgumentsArriveInCallOrderAsMethodCalls) {
    RecordingDispatch object;
    {
        COleDispatchDriver driver;
        object.AddRef();
        driver.AttachDispatch(&object);
        EXPECT_EQ(driver.InvokeMethod(5, {int32_t{7}, std::string("C:\\dir\\skin.skf")}), S_OK);
        EXPECT_EQ(driver.InvokeMethod(18), S_OK);
    }
    EXPECT_EQ(object.m_calls, (std::vector<std::string>{"5 i7 sC:\\dir\\skin.skf", "18"}));
    EXPECT_EQ(object.m_lastFlags, DISPATCH_METHOD);
    EXPECT_EQ(object.m_refs, 1u);  // the driver gave its reference back
}

TEST(DispatchDriver, UnboundDriverDoesNothing) {
    COleDispatchDriver driver;
    EXPECT_FALSE(driver.IsBound());
    EXPECT_NE(driver.InvokeMethod(17, {int32_t{0}}), S_OK);
}

TEST(DispatchDriver, UnknownProgIdLeavesTheDriverUnbound) {
    ::CoInitialize(nullptr);
    COleDispatchDriver driver;
    EXPECT_FALSE(driver.CreateDispatch("Quillfire.NoSuchControl"));
    EXPECT_FALSE(driver.IsBound());
}
