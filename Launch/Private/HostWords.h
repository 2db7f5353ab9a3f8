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
    /**
     * True when the argument at Index of Args (the line's blank-separated words after this one) is a secret,
     * which no echo shows (MaskConsoleLine); null when no argument is one.
     */
    bool (*IsSecretArg)(const TArray<FString>& Args, int32 Index) = nullptr;
    /** The words that follow this one ("session create ..."), which help lists under it. */
    std::span<const FHostWord> SubWords = {};
    /** What help WORD adds to the usage: the values to type and where they come from. */
    std::span<const TCHAR* const> Notes = {};
};

/** A TEST word of the subsystem that a part of the host stands for, as help shows it. */
struct FHostTestWord
{
    const TCHAR* Usage;
    const TCHAR* Summary;
    /** Notes the operations the word starts on the rest of the line (FZorHost::AwaitOutcome). */
    void (*Await)(FZorHost& Host, const TCHAR* Args) = nullptr;
};

/**
 * An operation whose outcome the host records (FZorHost::ReportOutcome). A name ending in "*" stands for
 * every name it begins.
 */
struct FHostOperation
{
    const TCHAR* Name;
};

/**
 * What one part of the host adds: its words, the subsystem's TEST words it stands for, what it binds once the
 * subsystem is up (may be null) and the operations whose outcomes those bindings record.
 */
struct FHostWordGroup
{
    std::span<const FHostWord> Words;
    std::span<const FHostTestWord> TestWords;
    void (*BindEvents)(FZorHost& Host) = nullptr;
    std::span<const FHostOperation> Operations = {};
};

/** Every group of the host's word table, in the order help lists them. */
std::span<const FHostWordGroup> GetHostWordGroups();

/** The word that Line starts with (whole word, ignoring case), with Line moved past it; null when none. */
const FHostWord* FindHostWord(const TCHAR*& Line);

/** True when a group records an operation of that name (matched ignoring case). */
bool IsHostOperation(const FString& Operation);

/** The TEST word that Line runs ("ONLINE SUB=ZOR TEST WORD ..."), with OutArgs set to the rest; null when
 * none.
 */
const FHostTestWord* FindHostTestLine(const TCHAR* Line, const TCHAR*& OutArgs);

/** The names of every operation the host records, as expect takes them ("profile NAME" for the profile's). */
FString ListHostOperations();

/** The TEST word whose usage starts with Name (ignoring case); null when none. */
const FHostTestWord* FindHostTestWord(const FString& Name);
