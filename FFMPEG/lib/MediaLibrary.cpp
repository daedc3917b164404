#include "MediaLibrary.h"

#include <dlfcn.h>

#include <unistd.h>
#include <utility>

namespace {

// A released library stays mapped: allocations it made while loading stay reachable, and
// a function pointer copied somewhere before the release can never point into freed code.
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

std::string lastSystemError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
}

} // namespace

MediaLibrary::MediaLibrary(std::string baseName, int majorVersion, BindFunction bind,
                           ClearFunction clear)
    : m_defaultVersionedName("lib" + baseName + ".so." + std::to_string(majorVersion)),
      m_defaultPlainName("lib" + baseName + ".so"),
      m_packageName("lib" + baseName + std::to_string(majorVersion)),
      m_versionedName(m_defaultVersionedName), m_plainName(m_defaultPlainName), m_bind(bind),
      m_clear(clear) {}

std::string MediaLibrary::FileName() const {
    return VersionedNames ? m_versionedName : m_plainName;
}

void MediaLibrary::OverrideFileNames(std::string versionedName, std::string plainName) {
    m_versionedName = std::move(versionedName);
    m_plainName = std::move(plainName);
}

void MediaLibrary::RestoreFileNames() {
    m_versionedName = m_defaultVersionedName;
    m_plainName = m_defaultPlainName;
}

bool MediaLibrary::Load(const std::string& folder, bool versionedNames) {
    VersionedNames = versionedNames;
    const std::string name = FileName();
    m_missingFunction.clear();
    m_systemMessage.clear();
    if (!Loaded()) {
        void* handle = nullptr;
        std::string systemMessage;
        if (!folder.empty()) {
            std::string path = folder;
            if (path.back() != '/')
                path += '/';
            path += name;
            handle = dlopen(path.c_str(), kOpenFlags);
            // A file that exists but cannot be loaded explains more than the search
            // by bare name that follows.
            if (!handle && access(path.c_str(), F_OK) == 0)
                systemMessage = lastSystemError();
        }
        if (!handle) {
            handle = dlopen(name.c_str(), kOpenFlags);
            if (!handle && systemMessage.empty())
                systemMessage = lastSystemError();
        }
        if (!handle) {
            m_systemMessage = systemMessage;
            m_errorText = "Load libraray " + name + " error: " + systemMessage;
            return false;
        }
        m_handle = handle;
    }
    if (!Bound()) {
        if (!m_bind(*this)) {
            m_clear();
            return false;
        }
        // The old libraries needed a registration call here; today's need none.
        m_bound = true;
    }
    return true;
}

void* MediaLibrary::Symbol(const char* functionName) {
    dlerror();
    void* symbol = dlsym(m_handle.load(), functionName);
    if (!symbol) {
        m_missingFunction = functionName;
        m_systemMessage = lastSystemError();
        m_errorText = std::string("Load function ") + functionName + "@" + FileName() +
                      " error: " + m_systemMessage;
    }
    return symbol;
}

void MediaLibrary::Unload() {
    if (void* handle = m_handle.exchange(nullptr)) {
        m_bound = false;
        m_clear();
        dlclose(handle);
    }
}
