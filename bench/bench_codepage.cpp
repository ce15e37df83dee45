// Text conversions between the ANSI code page and wide text, as the 6.x
// database layer does for every text field of every record.
#include "misc/WinUtil.h"
#include "platform/Codepage.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const char16_t kAsciiWide[] = u"Johnson & Partners, 1200 Harbour Street, Suite 4";
const char16_t kLatinWide[] = u"M\u00fcller-L\u00fcdenscheidt, Stra\u00dfe der Einheit 12, K\u00f6ln";
const char16_t kJapaneseWide[] = u"\u6771\u4eac\u90fd\u6e0b\u8c37\u533a\u795e\u5357\u4e00\u4e01\u76ee abc";

void ToAnsiBench(benchmark::State& state, int codePage, const char16_t* text)
{
    plat::SetAnsiCodePage(codePage);
    char out[256];
    for (auto _ : state) {
        ToAnsi(text, out, sizeof(out));
        benchmark::DoNotOptimize(out);
    }
    plat::SetAnsiCodePage(0);
}

void ToWideBench(benchmark::State& state, int codePage, const char16_t* text)
{
    plat::SetAnsiCodePage(codePage);
    std::string ansi = plat::WideToAnsi(text);
    char16_t out[256];
    for (auto _ : state) {
        ToWide(ansi.c_str(), out, 256);
        benchmark::DoNotOptimize(out);
    }
    plat::SetAnsiCodePage(0);
}

}  // namespace

BENCHMARK_CAPTURE(ToAnsiBench, ascii_1252, 1252, kAsciiWide);
BENCHMARK_CAPTURE(ToAnsiBench, latin_1252, 1252, kLatinWide);
BENCHMARK_CAPTURE(ToAnsiBench, japanese_932, 932, kJapaneseWide);
BENCHMARK_CAPTURE(ToWideBench, ascii_1252, 1252, kAsciiWide);
BENCHMARK_CAPTURE(ToWideBench, latin_1252, 1252, kLatinWide);
BENCHMARK_CAPTURE(ToWideBench, japanese_932, 932, kJapaneseWide);

BENCHMARK_MAIN();
