#include "framework/Strings.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string LoadStr(UINT id, HINSTANCE instance) {
    if (!instance) instance = ::GetModuleHandleA(nullptr);
    // LoadStringA truncates silently, so grow until the text fits with room to spare.
    for (size_t size = 256; size <= 65536; size *= 4) {
        std::vector<char> buffer(size);
        int length = ::LoadStringA(instance, id, buffer.data(), static_cast<int>(size));
        if (length <= 0) return {};
        if (static_cast<size_t>(length) < size - 1) return std::string(buffer.data(), length);
    }
    return {};
}

std::string FormatStr(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    return text;
}
