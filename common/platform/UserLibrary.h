// The program's own user library: the five functions of Palm's HotSync user
// library that the program calls, answered from the folder the library was
// loaded from.
//
// The data root is that folder with a trailing '\'. The users are its
// subfolders holding at least one of the application folders "address",
// "datebook", "todo" or "memopad" (in any case), in name order (without
// regard to ASCII case, ties in byte order). A user's name and folder name
// are the subfolder's name (in the ANSI code page when it has a place
// there, see HostNameToAnsi); the id is the FNV-1a 32-bit hash of the name in
// lower case. The folder is read again at every call.
#pragma once

#include <cstdint>
#include <string_view>

namespace plat {

struct Library;

/// FNV-1a 32-bit hash of the ASCII-lower-cased name.
uint32_t UserIdForName(std::string_view name);

/// Number of users; -1 when the data root cannot be read, -100 for no library.
int16_t UmGetUserCount(const Library* lib);

/// Id of the user at an index (0-based); 0 on success, -1 for a bad index.
int32_t UmGetUserID(const Library* lib, int16_t index, uint32_t* id);

/// The user's name, cut to *size - 1 bytes and terminated. 0 on success, -1
/// for an unknown id or no buffer, -2 when the name was cut (*size then holds
/// the size needed).
int32_t UmGetUserName(const Library* lib, uint32_t id, char* buf, uint16_t* size);

/// The user's folder name relative to the data root, as UmGetUserName.
int32_t UmGetUserDirectory(const Library* lib, uint32_t id, char* buf, uint16_t* size);

/// The data root with its trailing '\'. Non-zero on success, 0 on failure
/// (no library, no buffer, or a buffer too small for the whole root).
int32_t UmGetRootDirectory(const Library* lib, char* buf, uint16_t* size);

}  // namespace plat
