#pragma once

#include "BackendHttp.h"

#include <string>

namespace ZorBackend
{
// The hexadecimal SHA1 of Content, as file lists carry it.
std::string Sha1Hex(const std::string& Content);

// Writes one entry of a file list: "uniqueFilename", "filename", "hash" and "length".
void WriteCloudFileEntry(FJsonWriter& Writer, const std::string& UniqueName, const std::string& FileName,
                         const std::string& Content);
} // namespace ZorBackend
