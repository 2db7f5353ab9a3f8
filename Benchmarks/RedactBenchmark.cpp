// A service chooses the tokens that are masked and the texts they are sought in. Masking 1 MiB must cost
// about the same whether the secrets repeat themselves over a text that almost holds them, raw or escaped, or
// are random tokens in random text. Prints each periodic case's time against random text with a secret of its
// length, and random text's against one linear search of the same text for the secret.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "Common/ZorRedact.h"
#include "RatioReporter.h"

namespace
{
constexpr size_t TextSize = 1024 * 1024;
const int64 SecretLengths[] = {64, 512, 2048};
constexpr size_t TokenLength = 1024;

std::string RandomText(size_t Size, uint32 Seed)
{
    std::mt19937 Random(Seed);
    std::uniform_int_distribution<int> Printable(0x20, 0x7E);
    std::string Out(Size, ' ');
    for (char& Char : Out)
    {
        Char = static_cast<char>(Printable(Random));
    }
    return Out;
}

/** Unit repeated to TextSize bytes. */
std::string Repeated(const std::string& Unit)
{
    std::string Out;
    Out.reserve(TextSize + Unit.size());
    while (Out.size() < TextSize)
    {
        Out += Unit;
    }
    return Out;
}

/**
 * Random text with runs of one letter one short of TokenLength, each letter written by Write(Index), each run
 * fenced by '-' so that no escape before it reads into it.
 */
template <typename WriteFunction> std::string RandomWithRuns(WriteFunction Write)
{
    const std::string Random = RandomText(TextSize, 3);
    std::string Out;
    for (size_t Taken = 0; Out.size() < TextSize; Taken += TokenLength)
    {
        Out += Random.substr(Taken % TextSize, TokenLength) + "-";
        for (size_t Index = 0; Index + 1 < TokenLength; ++Index)
        {
            Out += Write(Index);
        }
        Out += "-";
    }
    return Out;
}

const char* const LetterForms[] = {"a", "%61", "\\u0061"};

const std::string& TextOfRuns(int64 Form)
{
    static const std::vector<std::string> Texts = {
        RandomWithRuns([](size_t) { return LetterForms[0]; }),
        RandomWithRuns([](size_t) { return LetterForms[1]; }),
        RandomWithRuns([](size_t) { return LetterForms[2]; }),
        RandomWithRuns([](size_t Index) { return LetterForms[Index % 3]; })};
    return Texts[Form];
}

/** Masks Text with Secrets in each iteration; the text holds no echo, so it must come back whole. */
void MaskEach(benchmark::State& State, const FString& Text, const TArray<FString>& Secrets)
{
    for (auto _ : State)
    {
        const FString Masked = ZorRedact::Text(Text, Secrets);
        if (Masked.Len() != Text.Len())
        {
            State.SkipWithError("a text without the secret was changed");
            break;
        }
    }
    State.SetBytesProcessed(static_cast<int64>(State.iterations()) * Text.Len());
}

void BM_MaskRandom(benchmark::State& State)
{
    const size_t Length = static_cast<size_t>(State.range(0));
    MaskEach(State, FString(RandomText(TextSize, 1)), {FString(RandomText(Length, 2))});
}

void BM_MaskRandomThreeSecrets(benchmark::State& State)
{
    MaskEach(State, FString(RandomText(TextSize, 1)),
             {FString(RandomText(TokenLength, 2)), FString(RandomText(TokenLength, 4)),
              FString(RandomText(TokenLength, 5))});
}

/** The least any masking does: one Knuth-Morris-Pratt search of the raw text for the secret. */
void BM_RawSearch(benchmark::State& State)
{
    const std::string Text = RandomText(TextSize, 1);
    const std::string Secret = RandomText(static_cast<size_t>(State.range(0)), 2);
    std::vector<size_t> Border(Secret.size(), 0);
    for (size_t Index = 1, Length = 0; Index < Secret.size(); ++Index)
    {
        while (Length > 0 && Secret[Index] != Secret[Length])
        {
            Length = Border[Length - 1];
        }
        Length += Secret[Index] == Secret[Length] ? 1 : 0;
        Border[Index] = Length;
    }
    for (auto _ : State)
    {
        size_t Found = 0;
        size_t Matched = 0;
        for (const char Char : Text)
        {
            while (Matched > 0 && (Matched == Secret.size() || Char != Secret[Matched]))
            {
                Matched = Border[Matched - 1];
            }
            Matched += Char == Secret[Matched] ? 1 : 0;
            Found += Matched == Secret.size() ? 1 : 0;
        }
        benchmark::DoNotOptimize(Found);
    }
    State.SetBytesProcessed(static_cast<int64>(State.iterations()) * Text.size());
}

/** A period-1 token over runs of its own letter: raw, as "%61", as "\u0061", and the three mixed. */
void BM_MaskPeriodicRuns(benchmark::State& State)
{
    MaskEach(State, FString(TextOfRuns(State.range(0))), {FString(std::string(TokenLength, 'a'))});
}

void BM_MaskThreePeriodicOverMixedRuns(benchmark::State& State)
{
    MaskEach(State, FString(TextOfRuns(3)),
             {FString(std::string(TokenLength, 'a')), FString(std::string(TokenLength + 1, 'a')),
              FString(std::string(TokenLength + 2, 'a'))});
}

void BM_MaskEscapeCharactersOnly(benchmark::State& State)
{
    std::mt19937 Random(6);
    std::string Text(TextSize, '%');
    for (char& Char : Text)
    {
        Char = Random() % 2 == 0 ? '%' : '\\';
    }
    MaskEach(State, FString(Text), {FString(RandomText(TokenLength, 2))});
}

void BM_MaskPeriodicRaw(benchmark::State& State)
{
    const size_t Length = static_cast<size_t>(State.range(0));
    MaskEach(State, FString(Repeated("a")), {FString(std::string(Length - 1, 'a') + "b")});
}

void BM_MaskPeriodicPercentEncoded(benchmark::State& State)
{
    const size_t Length = static_cast<size_t>(State.range(0));
    MaskEach(State, FString(Repeated("%25")), {FString(std::string(Length - 1, '%') + "b")});
}

BENCHMARK(BM_MaskRandom)
    ->Arg(SecretLengths[0])
    ->Arg(SecretLengths[1])
    ->Arg(TokenLength)
    ->Arg(SecretLengths[2]);
BENCHMARK(BM_MaskRandomThreeSecrets);
BENCHMARK(BM_RawSearch)->Arg(TokenLength);
BENCHMARK(BM_MaskPeriodicRuns)->DenseRange(0, 3);
BENCHMARK(BM_MaskThreePeriodicOverMixedRuns);
BENCHMARK(BM_MaskEscapeCharactersOnly);
BENCHMARK(BM_MaskPeriodicRaw)->Arg(SecretLengths[0])->Arg(SecretLengths[1])->Arg(SecretLengths[2]);
BENCHMARK(BM_MaskPeriodicPercentEncoded)->Arg(SecretLengths[0])->Arg(SecretLengths[1])->Arg(SecretLengths[2]);
} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(
        argc, argv,
        [](const FRatioReporter& Reporter)
        {
            for (const int64 Length : SecretLengths)
            {
                const std::string Baseline = "BM_MaskRandom/" + std::to_string(Length);
                for (const char* Periodic : {"BM_MaskPeriodicRaw", "BM_MaskPeriodicPercentEncoded"})
                {
                    Reporter.PrintRatio("periodic secret over random",
                                        std::string(Periodic) + "/" + std::to_string(Length), Baseline);
                }
            }
            const std::string Random = "BM_MaskRandom/" + std::to_string(TokenLength);
            Reporter.PrintRatio("random text over one raw search, bound 3", Random,
                                "BM_RawSearch/" + std::to_string(TokenLength));
            for (const char* Runs : {"BM_MaskPeriodicRuns/0", "BM_MaskPeriodicRuns/1",
                                     "BM_MaskPeriodicRuns/2", "BM_MaskPeriodicRuns/3"})
            {
                Reporter.PrintRatio("period-1 token over runs over random, bound 2", Runs, Random);
            }
            Reporter.PrintRatio("escape characters only over random, bound 2", "BM_MaskEscapeCharactersOnly",
                                Random);
            Reporter.PrintRatio("three period-1 tokens over random with three, bound 2",
                                "BM_MaskThreePeriodicOverMixedRuns", "BM_MaskRandomThreeSecrets");
        });
}
