#include "core/RuntimeLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

void RuntimeLibrary::setPath(std::string path)
{
    path_ = std::move(path);
    handle_ = nullptr;
}

bool RuntimeLibrary::open()
{
    std::string reason;
    void* handle = openFile(path_, reason);
    if (handle == nullptr)
        return false;
    handle_ = handle;
    return true;
}

void* RuntimeLibrary::resolve(const char* name) const
{
    if (handle_ == nullptr || (filter_ && !filter_(name)))
        return nullptr;
    return findSymbol(handle_, name);
}

void* RuntimeLibrary::openFile(const std::string& path, std::string& reason)
{
#ifdef _WIN32
    void* handle = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (handle == nullptr)
        reason = "error " + std::to_string(GetLastError());
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        reason = text != nullptr ? text : "unknown error";
    }
#endif
    return handle;
}

void* RuntimeLibrary::findSymbol(void* library, const char* name)
{
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}
