// Module loading on Windows: LoadLibraryW with the absolute path (so an older copy beside the host
// executable is never picked up), GetProcAddress, FreeLibrary.
#include <windows.h>

#include <utility>

#include "module_loaders.h"

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

class WindowsImage final : public DynamicLibrary::Image {
public:
    WindowsImage(HMODULE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~WindowsImage() override {
        std::string ignored;
        Unload(&ignored);
    }

    void* Symbol(const char* name) const override {
        return handle_ ? reinterpret_cast<void*>(GetProcAddress(handle_, name)) : nullptr;
    }

    // The module's sections as the loader mapped them, from the PE headers in memory (the loader
    // has checked them; they lie at the module's base).
    std::vector<ModuleRegion> Regions() const override {
        std::vector<ModuleRegion> regions;
        if (!handle_)
            return regions;
        const auto base = reinterpret_cast<uintptr_t>(handle_);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + static_cast<uintptr_t>(dos->e_lfanew));
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            const DWORD size = section->Misc.VirtualSize ? section->Misc.VirtualSize : section->SizeOfRawData;
            if (size == 0)
                continue;
            const uintptr_t begin = base + section->VirtualAddress;
            regions.push_back({begin, begin + size, (section->Characteristics & IMAGE_SCN_MEM_WRITE) != 0});
        }
        return regions;
    }

    bool Unload(std::string* why) override {
        if (!handle_)
            return true;
        HMODULE handle = std::exchange(handle_, nullptr);
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

private:
    HMODULE handle_;
    std::string path_;
};

} // namespace

std::unique_ptr<DynamicLibrary::Image> OpenWithSystemLoader(const std::string& path, std::string* why) {
    HMODULE handle = LoadLibraryW(Widen(path).c_str());
    if (!handle) {
        *why = LastErrorText("LoadLibraryW");
        return nullptr;
    }
    return std::make_unique<WindowsImage>(handle, path);
}

} // namespace hostsim
