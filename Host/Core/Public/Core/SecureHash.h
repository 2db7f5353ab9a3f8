#pragma once

#include <memory>

#include "Core/String.h"
#include "Core/Types.h"

/** A 20-byte SHA-1 digest. */
struct FSHAHash
{
    uint8 Hash[20] = {};

    /** 40 upper-case hexadecimal digits. */
    FString ToString() const;
    /** Reads 40 hexadecimal digits in either case; false (and the hash unchanged) otherwise. */
    bool FromString(const FString& Text);

    friend bool operator==(const FSHAHash& A, const FSHAHash& B);
    friend bool operator!=(const FSHAHash& A, const FSHAHash& B) { return !(A == B); }
};

/** SHA-1, in one call or fed in pieces: Update as often as needed, then Final, then GetHash. */
class FSHA1
{
public:
    FSHA1();
    ~FSHA1();
    FSHA1(const FSHA1&) = delete;
    FSHA1& operator=(const FSHA1&) = delete;

    static void HashBuffer(const void* Data, uint64 Size, uint8* OutHash);
    static FSHAHash HashBuffer(const void* Data, uint64 Size);

    /** Starts a new digest. */
    void Reset();
    /** Ignored after Final until Reset. */
    void Update(const uint8* Data, uint64 Size);
    void Final();
    /** The digest after Final; zeros before. */
    void GetHash(uint8* OutHash) const;
    /** Final, then the digest. */
    FSHAHash Finalize();

private:
    struct FState;
    std::unique_ptr<FState> State;
};
