// Owners of kernel and GDI handles. Each closes what it holds once; none can be copied.
#pragma once

#include <windows.h>

#include <utility>

// A kernel object handle (thread, file, mutex, event).
class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    ~CHandle() { Reset(); }

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle = nullptr) {
        if (IsValid()) ::CloseHandle(m_handle);
        m_handle = handle;
    }
    HANDLE Release() { return std::exchange(m_handle, nullptr); }

private:
    HANDLE m_handle = nullptr;
};

class CEvent {
public:
    // Unnamed and auto-reset unless told otherwise.
    explicit CEvent(bool manualReset = false, bool signalled = false, const char* name = nullptr)
        : m_handle(::CreateEventA(nullptr, manualReset, signalled, name)) {}
    HANDLE Get() const { return m_handle.Get(); }
    bool IsValid() const { return m_handle.IsValid(); }
    void Set() const { ::SetEvent(m_handle.Get()); }
    void Reset() const { ::ResetEvent(m_handle.Get()); }
    bool Wait(DWORD timeoutMs = INFINITE) const {
        return ::WaitForSingleObject(m_handle.Get(), timeoutMs) == WAIT_OBJECT_0;
    }

private:
    CHandle m_handle;
};

class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_section); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    ~CCriticalSection() { ::DeleteCriticalSection(&m_section); }
    void Lock() { ::EnterCriticalSection(&m_section); }
    void Unlock() { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class CScopedLock {
public:
    explicit CScopedLock(CCriticalSection& section) : m_section(section) { m_section.Lock(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;
    ~CScopedLock() { m_section.Unlock(); }

private:
    CCriticalSection& m_section;
};

// A GDI object (font, bitmap, pen): deleted with its owner.
template <class T>
class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    ~CGdiObject() { DeleteObject(); }

    T GetSafeHandle() const { return m_handle; }
    operator T() const { return m_handle; }
    void Attach(T handle) {
        DeleteObject();
        m_handle = handle;
    }
    T Detach() { return std::exchange(m_handle, nullptr); }
    // Stock objects may be held too: the system ignores deleting them.
    void DeleteObject() {
        if (m_handle) ::DeleteObject(m_handle);
        m_handle = nullptr;
    }

private:
    T m_handle = nullptr;
};

using CFont = CGdiObject<HFONT>;
using CBitmap = CGdiObject<HBITMAP>;
using CPen = CGdiObject<HPEN>;

class CCursor {
public:
    CCursor() = default;
    CCursor(const CCursor&) = delete;
    CCursor& operator=(const CCursor&) = delete;
    ~CCursor() { Destroy(); }
    HCURSOR Get() const { return m_cursor; }
    void Load(HINSTANCE instance, UINT id) {
        Destroy();
        m_cursor = ::LoadCursorA(instance, MAKEINTRESOURCEA(id));
    }
    void Destroy() {
        if (m_cursor) ::DestroyCursor(m_cursor);
        m_cursor = nullptr;
    }

private:
    HCURSOR m_cursor = nullptr;
};
