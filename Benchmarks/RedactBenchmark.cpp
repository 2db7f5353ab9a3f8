// A service chooses the tokens that are masked and the texts they are sought in. Masking 1 MiB must cost
// about the same whether the secrets repeat themselves over a text that almost holds them or are random
// tokens in random text. Prints each periodic case's time against random text with a secret of its length.
#include <cstdio>
#include <random>
#include <string>

#include "Common/ZorRedact.h"
#include "RatioReporter.h"

namespace
{
constexpr size_t TextSize = 1024 * 1024;
const int64 SecretLengths[] = {64, 512, 2048};

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

/** Masks Text with Secret in each iteration; the text holds no echo, so it must come back whole. */
void MaskEach(benchmark::State& State, const FString& Text, const FString& Secret)
{
    for (auto _ : State)
    {
        const FString Masked = ZorRedact::Text(Text, {Secret});
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
    MaskEach(State, FString(RandomText(TextSize, 1)), FString(RandomText(Length, 2)));
}

void BM_MaskPeriodicRaw(benchmark::State& State)
{
    const size_t Length = static_cast<size_t>(State.range(0));
    MaskEach(State, FString(Repeated("a")), FString(std::string(Length - 1, 'a') + "b"));
}

void BM_MaskPeriodicPercentEncoded(benchmark::State& State)
{
    const size_t Length = static_cast<size_t>(State.range(0));
    MaskEach(State, FString(Repeated("%25")), FString(std::string(Length - 1, '%') + "b"));
}

BENCHMARK(BM_MaskRandom)->Arg(SecretLengths[0])->Arg(SecretLengths[1])->Arg(SecretLengths[2]);
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
        });
}
