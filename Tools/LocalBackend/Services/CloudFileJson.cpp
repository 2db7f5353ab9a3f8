#include "CloudFileJson.h"

#include <openssl/sha.h>

namespace ZorBackend
{
std::string Sha1Hex(const std::string& Content)
{
    unsigned char Digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(Content.data()), Content.size(), Digest);
    static const char Hex[] = "0123456789abcdef";
    std::string Text;
    for (const unsigned char Byte : Digest)
    {
        Text += Hex[Byte >> 4];
        Text += Hex[Byte & 0x0F];
    }
    return Text;
}

void WriteCloudFileEntry(FJsonWriter& Writer, const std::string& UniqueName, const std::string& FileName,
                         const std::string& Content)
{
    Writer.StartObject();
    WriteString(Writer, "uniqueFilename", UniqueName);
    WriteString(Writer, "filename", FileName);
    WriteString(Writer, "hash", Sha1Hex(Content));
    WriteInt(Writer, "length", static_cast<int64_t>(Content.size()));
    Writer.EndObject();
}
} // namespace ZorBackend
