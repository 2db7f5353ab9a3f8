#include "Core/SecureHash.h"

#include <cstring>
#include <openssl/evp.h>

#include "ValueText.h"

FString FSHAHash::ToString() const
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    FString Text;
    Text.Reserve(40);
    for (uint8 Byte : Hash)
    {
        Text.AppendChar(Digits[Byte >> 4]).AppendChar(Digits[Byte & 15]);
    }
    return Text;
}

bool FSHAHash::FromString(const FString& Text)
{
    if (Text.Len() != 40)
    {
        return false;
    }
    uint8 Parsed[20];
    for (int32 Index = 0; Index < 20; ++Index)
    {
        const int32 High = ValueText::HexValue(Text[Index * 2]);
        const int32 Low = ValueText::HexValue(Text[Index * 2 + 1]);
        if (High < 0 || Low < 0)
        {
            return false;
        }
        Parsed[Index] = static_cast<uint8>((High << 4) | Low);
    }
    std::memcpy(Hash, Parsed, sizeof(Hash));
    return true;
}

bool operator==(const FSHAHash& A, const FSHAHash& B)
{
    return std::memcmp(A.Hash, B.Hash, sizeof(A.Hash)) == 0;
}

struct FSHA1::FState
{
    EVP_MD_CTX* Context = EVP_MD_CTX_new();
    uint8 Digest[20] = {};
    bool bFinal = false;

    ~FState() { EVP_MD_CTX_free(Context); }
};

FSHA1::FSHA1() : State(std::make_unique<FState>())
{
    Reset();
}

FSHA1::~FSHA1() = default;

void FSHA1::HashBuffer(const void* Data, uint64 Size, uint8* OutHash)
{
    FSHA1 Hasher;
    Hasher.Update(static_cast<const uint8*>(Data), Size);
    Hasher.Final();
    Hasher.GetHash(OutHash);
}

FSHAHash FSHA1::HashBuffer(const void* Data, uint64 Size)
{
    FSHAHash Result;
    HashBuffer(Data, Size, Result.Hash);
    return Result;
}

void FSHA1::Reset()
{
    EVP_DigestInit_ex(State->Context, EVP_sha1(), nullptr);
    std::memset(State->Digest, 0, sizeof(State->Digest));
    State->bFinal = false;
}

void FSHA1::Update(const uint8* Data, uint64 Size)
{
    if (!State->bFinal && Size > 0)
    {
        EVP_DigestUpdate(State->Context, Data, Size);
    }
}

void FSHA1::Final()
{
    if (State->bFinal)
    {
        return;
    }
    unsigned int Length = 0;
    EVP_DigestFinal_ex(State->Context, State->Digest, &Length);
    State->bFinal = true;
}

void FSHA1::GetHash(uint8* OutHash) const
{
    std::memcpy(OutHash, State->Digest, sizeof(State->Digest));
}

FSHAHash FSHA1::Finalize()
{
    Final();
    FSHAHash Result;
    GetHash(Result.Hash);
    return Result;
}
