#pragma once

#include <ostream>

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
} // namespace ZorTestCases
