// One media library bound at run time: its module handle, bound flag and error text.
#pragma once

#include <atomic>
#include <string>

// A shared library loaded with dlopen whose functions are bound by name into a typed
// table (see AVCodecHlpr.h and its siblings). Loading happens once, on the window's
// thread, before any task exists; afterwards the flags are only read, from any thread.
class MediaLibrary {
public:
    // Binds every function of the library's table through Symbol(); returns false at
    // the first name the module does not export. Clear resets the table to null.
    using BindFunction = bool (*)(MediaLibrary&);
    using ClearFunction = void (*)();

    MediaLibrary(std::string baseName, int majorVersion, BindFunction bind, ClearFunction clear);
    MediaLibrary(const MediaLibrary&) = delete;
    MediaLibrary& operator=(const MediaLibrary&) = delete;

    // Loads the module (folder/name first when a folder is given, then the system's
    // search by bare name) and binds its table. On failure ErrorText() says why; the
    // module itself stays loaded until Unload().
    bool Load(const std::string& folder, bool versionedNames);
    void Unload();

    bool Loaded() const { return m_handle.load() != nullptr; }
    bool Bound() const { return m_bound.load(); }
    const std::string& ErrorText() const { return m_errorText; }

    // The file name chosen by VersionedNames: "libavcodec.so.59" or "libavcodec.so".
    std::string FileName() const;
    // The Debian package that ships the versioned file: "libavcodec59".
    const std::string& PackageName() const { return m_packageName; }
    // After a failed Load: the function the module does not export, or "" when the file
    // itself could not be loaded; and the system's words for the failure.
    const std::string& MissingFunction() const { return m_missingFunction; }
    const std::string& SystemMessage() const { return m_systemMessage; }
    // Replaces the two file names (used by tests to simulate a missing library).
    void OverrideFileNames(std::string versionedName, std::string plainName);
    void RestoreFileNames();

    // Looks up one exported function of the loaded module; on failure sets the
    // "Load function" error text and returns null.
    void* Symbol(const char* functionName);

    // Whether the versioned file name is used; set by each load request.
    bool VersionedNames = true;

private:
    const std::string m_defaultVersionedName;
    const std::string m_defaultPlainName;
    const std::string m_packageName;
    std::string m_versionedName;
    std::string m_plainName;
    BindFunction m_bind;
    ClearFunction m_clear;
    std::atomic<void*> m_handle{nullptr};
    std::atomic<bool> m_bound{false};
    std::string m_errorText;
    std::string m_missingFunction;
    std::string m_systemMessage;
};

// Binds one function of a table: the slot takes the module's symbol, typed as the slot.
template <class Function>
bool BindFunction(MediaLibrary& library, const char* name, Function& slot) {
    void* symbol = library.Symbol(name);
    if (!symbol)
        return false;
    slot = reinterpret_cast<Function>(symbol);
    return true;
}
