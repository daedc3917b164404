// Loading and unloading the whole set of media libraries.
#pragma once

#include <string>

// Loads libavcodec, libavformat, libavutil, libswscale and libswresample in this order,
// stopping at the first failure, and binds every function of their tables. A failed
// attempt unloads everything again; a later call tries anew. After a success the set
// stays loaded and a repeated call returns true at once. Window's thread only.
bool LoadMediaLibraries(const std::string& folder, bool versionedNames);
void UnloadMediaLibraries();
bool MediaLibrariesLoaded();

// Text of the failure that stopped the last load attempt ("" after a success).
const std::string& LoadLibraryError();

class MediaLibrary;
// The library whose failure stopped the last load attempt (null after a success).
const MediaLibrary* FailedMediaLibrary();

// The library log level in force when the set was loaded: the verbosity that the
// component's library log callback compares messages against.
int MediaLogVerbosity();
void SetMediaLogVerbosity(int level);

#include <stdexcept>

// Raised when a media library is needed but not bound.
class MediaLibraryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
