// vidbrisk-convert --probe --json: what the probe finds in a file as one JSON object (the
// container, its exact duration and bit rate, every stream, the tags and the chapters).
#pragma once

#include "JsonWriter.h"

#include <string>

class TAVProbe;

// Opens `file` with the probe and writes its object: {"file": ..., then the description},
// or {"file": ..., "error": the reason} when it cannot be opened (then returns false).
bool WriteProbeJson(JsonWriter& json, TAVProbe& probe, const std::string& file);
