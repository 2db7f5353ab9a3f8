#pragma once

#include <span>

#include "CoreMinimal.h"

class FZorHost;

/** One console word of the host: what is typed, the usage and summary help shows, and what runs it. */
struct FHostWord
{
    const TCHAR* Name;
    const TCHAR* Usage;
    const TCHAR* Summary;
    /** Runs the word on the rest of the line; false when it failed. */
    bool (*Run)(FZorHost& Host, const TCHAR* Args);
    /** The rest of the line as the log may show it, its secrets masked; null when it holds none. */
    FString (*MaskArgs)(const TCHAR* Args) = nullptr;
};

/** A TEST word of the subsystem that a part of the host stands for, as help shows it. */
struct FHostTestWord
{
    const TCHAR* Usage;
    const TCHAR* Summary;
};

/**
 * What one part of the host adds: its words, the subsystem's TEST words it stands for and what it
 * binds once the subsystem is up (may be null).
 */
struct FHostWordGroup
{
    std::span<const FHostWord> Words;
    std::span<const FHostTestWord> TestWords;
    void (*BindEvents)(FZorHost& Host) = nullptr;
};

/** Every group of the host's word table, in the order help lists them. */
std::span<const FHostWordGroup> GetHostWordGroups();

/** The word that Line starts with (whole word, ignoring case), with Line moved past it; null when none. */
const FHostWord* FindHostWord(const TCHAR*& Line);
