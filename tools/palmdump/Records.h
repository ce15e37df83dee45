// What palmdump prints of a user's data: for each chosen application, the
// generation its facade used, every common record with the fields the
// review page shows, and the duplicates that detection finds under the
// current settings.
#pragma once

#include "app/Apputil.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace palmdump {

/// The settings file as the wizard finds it: "brellon.ini" in the settings
/// folder when that folder exists, else beside the program. Missing keys
/// give the defaults.
std::string SettingsPath();
AppOption LoadSettings(const std::string& path);

/// Loads the applications of `apps` (AppFlag bits) for the user through the
/// facades, detects the duplicates with `opt` and prints it all to `out`:
/// text, or one JSON object per line. Returns 0 when every chosen
/// application loaded, 1 otherwise.
int DumpUserRecords(uint32_t user, int32_t apps, const AppOption& opt, bool json, FILE* out);

/// ANSI text (the record texts) as UTF-8.
std::string AnsiToUtf8(std::string_view ansi);
/// A JSON string of UTF-8 text, quotes included.
std::string JsonString(std::string_view utf8);

}  // namespace palmdump
