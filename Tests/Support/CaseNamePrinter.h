#pragma once

#include <cctype>
#include <ostream>
#include <string>

namespace ZorTestCases
{
/**
 * Shows a table-driven case by its name; GoogleTest would otherwise write its raw bytes, pointers included,
 * into every listed test. A suite lets GoogleTest find it with `using ZorTestCases::PrintTo;` beside its case
 * struct.
 */
template <typename FCase>
requires requires(const FCase& Case, std::ostream& Out)
{
    Out << Case.Name;
}
void PrintTo(const FCase& Case, std::ostream* Out)
{
    *Out << Case.Name;
}

/** A row's name as a test name, which takes letters and digits only: "server's login, Init" is
 * "ServersLoginInit". */
inline std::string TestName(const std::string& Text)
{
    std::string Name;
    bool bWordStart = true;
    for (const char Char : Text)
    {
        const unsigned char Byte = static_cast<unsigned char>(Char);
        if (Char == '\'')
        {
            continue;
        }
        if (!std::isalnum(Byte))
        {
            bWordStart = true;
            continue;
        }
        Name += bWordStart ? static_cast<char>(std::toupper(Byte)) : Char;
        bWordStart = false;
    }
    return Name;
}
} // namespace ZorTestCases
