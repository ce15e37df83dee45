// Reading Windows PE images (executables and libraries) without running
// them: the fixed file version of the version resource and the names of the
// export table. Every offset in the file is checked against its bounds, so
// a damaged or hostile file only makes the reads fail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

/// The VS_FIXEDFILEINFO fields the program uses.
struct FixedFileVersion {
    uint32_t fileVersionMS = 0;     // major << 16 | minor
    uint32_t fileVersionLS = 0;     // build << 16 | revision
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
};

/// Whether the file at a Windows path is a PE image (MZ header, "PE\0\0"
/// signature, a PE32 or PE32+ optional header and a readable section table
/// of at most 96 sections, the most the Windows loader takes).
bool IsPeImage(const std::string& winPath);

/// The VS_FIXEDFILEINFO of the first RT_VERSION resource. False when the
/// file is not a PE image, has no version resource, or its root block
/// (the fixed information with its 0xFEEF04BD signature) cannot be read.
bool ReadFixedFileVersion(const std::string& winPath, FixedFileVersion* out);

/// The names of the export table, in the table's order. False when the
/// file is not a PE image or its names take more than 1 MiB in all (no
/// library the program binds comes near); a library without exports gives
/// true and no names.
bool ReadExportNames(const std::string& winPath, std::vector<std::string>* names);

}  // namespace plat
