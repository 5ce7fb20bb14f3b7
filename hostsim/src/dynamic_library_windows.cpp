// Module loading on Windows: LoadLibraryW with the absolute path (so an older copy beside the host
// executable is never picked up), GetProcAddress, FreeLibrary.
#include <windows.h>

#include <utility>

#include "hostsim/dynamic_library.h"

namespace hostsim {
namespace {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    for (auto& c : out)
        if (c == L'/')
            c = L'\\';
    return out;
}

std::string LastErrorText(const char* what) {
    DWORD code = GetLastError();
    char buffer[512] = {0};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   buffer, sizeof(buffer) - 1, nullptr);
    std::string text = buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return std::string(what) + " failed (error " + std::to_string(code) + ")" +
           (text.empty() ? "" : ": " + text);
}

} // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& path, std::string* why) {
    HMODULE handle = LoadLibraryW(Widen(path).c_str());
    if (!handle) {
        *why = LastErrorText("LoadLibraryW");
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(reinterpret_cast<void*>(handle), path));
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) {
        std::string ignored;
        Close(&ignored);
    }
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (!handle_)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

bool DynamicLibrary::Close(std::string* why) {
    if (!handle_)
        return true;
    HMODULE handle = static_cast<HMODULE>(std::exchange(handle_, nullptr));
    if (!FreeLibrary(handle)) {
        *why = LastErrorText("FreeLibrary");
        return false;
    }
    if (GetModuleHandleW(Widen(path_).c_str()) != nullptr) {
        *why = "the module is still loaded after FreeLibrary (another handle keeps it)";
        return false;
    }
    return true;
}

} // namespace hostsim
