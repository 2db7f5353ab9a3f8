#pragma once

#include "Core/String.h"

/** Reading values, switches and words out of command lines and console commands. */
class FParse
{
public:
    /**
     * Finds Match (e.g. "Name=") ignoring case where it starts the stream or follows a character that cannot
     * be part of a name, and reads the value behind it: a double-quoted value whole without its quotes,
     * otherwise up to a blank and, with bShouldStopOnSeparator, a comma or a closing parenthesis. False when
     * Match is absent.
     */
    static bool Value(const char* Stream, const char* Match, FString& Out,
                      bool bShouldStopOnSeparator = true);
    /** False too when the value is not a whole number in range; Out is then unchanged. */
    static bool Value(const char* Stream, const char* Match, int32& Out);
    static bool Value(const char* Stream, const char* Match, float& Out);
    /** True/False, Yes/No, On/Off, 1/0 in any case; false for anything else. */
    static bool Value(const char* Stream, const char* Match, bool& Out);

    /** The switch "-Param" or "/Param" as a whole word, ignoring case. */
    static bool Param(const char* Stream, const char* Param);

    /** When the stream (after blanks) starts with the word Match, ignoring case, moves past it and its
     * blanks. */
    static bool Command(const char** Stream, const char* Match);

    /**
     * Reads the next blank-separated token; double-quoted parts keep their blanks and lose their quotes, and
     * with bUseEscape a backslash inside quotes takes the next character literally. False at the end of the
     * stream.
     */
    static bool Token(const char*& Stream, FString& Arg, bool bUseEscape);
};
