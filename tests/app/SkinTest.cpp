#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "app/QuillfireApp.h"

namespace {

// Stands in for the skin control: records each call as "<dispid>[ <flags>] <args>".
class SkinRecorder : public IDispatch {
public:
    std::vector<std::string> m_calls;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        std::string call = std::to_string(id);
        if (flags != DISPATCH_METHOD) call += " flags" + std::to_string(flags);
        if (result) call += " wants-result";
        for (UINT i = params->cArgs; i-- > 0;) {
            const VARIANTARG& arg = params->rgvarg[i];
            if (arg.vt == VT_I4) {
                call += " " + std::to_string(arg.lVal);
            } else if (arg.vt == VT_BSTR) {
                char text[512] = {};
                ::WideCharToMultiByte(CP_ACP, 0, arg.bstrVal, -1, text, sizeof text, nullptr, nullptr);
                call += " \"" + std::string(text) + "\"";
            }
        }
        m_calls.push_back(call);
        return S_OK;
    }
};

}  // namespace

TEST(Skin, BoundControlGetsTheFourCallsInOrder) {
    SkinRecorder control;
    COleDispatchDriver skin;
    skin.AttachDispatch(&control);
    ApplySkin(skin, "C:\\Programs\\Q\\");
    EXPECT_EQ(control.m_calls, (std::vector<std::string>{
                                   "17 0", "1 1", "2 \"C:\\Programs\\Q\\skin.skf\"", "18"}));
    skin.m_lpDispatch = nullptr;
}

TEST(Skin, BareFileNameWhenTheDirectoryIsEmpty) {
    SkinRecorder control;
    COleDispatchDriver skin;
    skin.AttachDispatch(&control);
    ApplySkin(skin, "");
    ASSERT_EQ(control.m_calls.size(), 4u);
    EXPECT_EQ(control.m_calls[2], "2 \"skin.skf\"");
    skin.m_lpDispatch = nullptr;
}

TEST(Skin, MissingControlMeansNoCallsAndNoFailure) {
    ::CoInitialize(nullptr);
    COleDispatchDriver skin;
    EXPECT_FALSE(skin.CreateDispatch("SkinCrafter.SCSkin"));
    ApplySkin(skin, "C:\\");  // must simply do nothing
    EXPECT_FALSE(skin.IsBound());
}
