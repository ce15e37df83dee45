// Repeat rule texts that end where a rule expects more: each is parsed from
// a buffer of exactly its length, so that a read past its terminator is
// caught by the sanitizer build (scripts/sanitize.sh), and gives the rule's
// kind with what little it says.
#include "palm/PalmDateEx2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

PmEx2RepeatBlock ParseExact(const char* text, bool yearly, bool scanEnd)
{
    size_t n = std::strlen(text) + 1;
    std::unique_ptr<char[]> exact(new char[n]);
    std::memcpy(exact.get(), text, n);
    PmEx2RepeatBlock b = {};
    PmEx2Repeat::Parse(exact.get(), &b, yearly, 0, scanEnd);
    return b;
}

TEST(PmEx2RepeatTextEnd, RulesCutAfterTheirKind)
{
    struct Case {
        const char* text;
        bool yearly;
        int32_t kind;
    };
    const Case cases[] = {
        {"", true, 0},  {"Y", true, 5},  {"Y", false, 0}, {"YM", true, 5}, {"M", true, 0},
        {"MP", true, 3}, {"MD", false, 4}, {"D", false, 1}, {"W", true, 2},
    };
    for (const Case& c : cases) {
        for (bool scanEnd : {false, true}) {
            PmEx2RepeatBlock b = ParseExact(c.text, c.yearly, scanEnd);
            EXPECT_EQ(b.Kind, c.kind) << '"' << c.text << '"';
            EXPECT_EQ(b.Interval, 0) << '"' << c.text << '"';
            // No blank, so no end part: the end stays as it was.
            EXPECT_EQ(b.EndDate, 0) << '"' << c.text << '"';
        }
    }
    // The interval of a yearly rule follows its "YM".
    EXPECT_EQ(ParseExact("YM3", true, false).Interval, 3);
}

}  // namespace
