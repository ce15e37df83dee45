#include "platform/Codepage.h"

#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct ForcedPage {
    explicit ForcedPage(int cp) { plat::SetAnsiCodePage(cp); }
    ~ForcedPage() { plat::SetAnsiCodePage(0); }
};

}  // namespace

TEST(Codepage, LocaleChoosesThePageAsWineDoes)
{
    EXPECT_EQ(plat::CodePageForLocale("ru_RU.UTF-8"), 1251);
    EXPECT_EQ(plat::CodePageForLocale("pl_PL.UTF-8"), 1250);
    EXPECT_EQ(plat::CodePageForLocale("cs_CZ"), 1250);
    EXPECT_EQ(plat::CodePageForLocale("el_GR.UTF-8"), 1253);
    EXPECT_EQ(plat::CodePageForLocale("ja_JP.eucJP"), 932);
    EXPECT_EQ(plat::CodePageForLocale("zh_CN.UTF-8"), 936);
    EXPECT_EQ(plat::CodePageForLocale("zh_TW.UTF-8"), 950);
    EXPECT_EQ(plat::CodePageForLocale("sr_RS.UTF-8@latin"), 1250);
    EXPECT_EQ(plat::CodePageForLocale("sr_RS.UTF-8"), 1251);
    EXPECT_EQ(plat::CodePageForLocale("de_DE.UTF-8"), 1252);
    EXPECT_EQ(plat::CodePageForLocale("C"), 1252);
    EXPECT_EQ(plat::CodePageForLocale("POSIX"), 1252);
    EXPECT_EQ(plat::CodePageForLocale(""), 1252);
}

TEST(Codepage, LcAllWinsOverLcCtypeAndLang)
{
    ScopedEnv lang("LANG", "ja_JP.UTF-8");
    ScopedEnv ctype("LC_CTYPE", "el_GR.UTF-8");
    ScopedEnv all("LC_ALL", "ru_RU.UTF-8");
    ForcedPage page(0);
    EXPECT_EQ(plat::AnsiCodePage(), 1251);
    // Chosen once: a later change of the environment does not count...
    unsetenv("LC_ALL");
    EXPECT_EQ(plat::AnsiCodePage(), 1251);
    // ...until the choice is forgotten.
    plat::SetAnsiCodePage(0);
    EXPECT_EQ(plat::AnsiCodePage(), 1253);
    unsetenv("LC_CTYPE");
    plat::SetAnsiCodePage(0);
    EXPECT_EQ(plat::AnsiCodePage(), 932);
    plat::SetAnsiCodePage(1250);
    EXPECT_EQ(plat::AnsiCodePage(), 1250);
}

TEST(Codepage, ConvertsInThePageInForce)
{
    {
        ForcedPage page(1252);
        EXPECT_EQ(plat::WideToAnsi(u"Caf\u00e9 \u20ac"), "Caf\xe9 \x80");
        EXPECT_EQ(plat::AnsiToWide("Caf\xe9 \x80"), u"Caf\u00e9 \u20ac");
        // Cyrillic has no place in 1252.
        EXPECT_EQ(plat::WideToAnsi(u"a\u0416b"), "a?b");
    }
    {
        ForcedPage page(1251);
        EXPECT_EQ(plat::WideToAnsi(u"\u0416"), "\xc6");
        EXPECT_EQ(plat::AnsiToWide("\xc6"), u"\u0416");
    }
    {
        ForcedPage page(932);
        EXPECT_EQ(plat::WideToAnsi(u"\u3042x"), "\x82\xa0x");
        EXPECT_EQ(plat::AnsiToWide("\x82\xa0x"), u"\u3042x");
        EXPECT_EQ(plat::AnsiCharLength("\x82\xa0"), 2u);
        EXPECT_EQ(plat::AnsiCharLength("x"), 1u);
        // A lead byte at the very end is not a whole character.
        EXPECT_EQ(plat::AnsiToWide("a\x82"), u"a\uFFFD");
    }
}

TEST(Codepage, UnmappableAndBrokenInputDoNotStopTheConversion)
{
    ForcedPage page(1252);
    // An emoji (a surrogate pair) is one '?', a lone surrogate another.
    std::u16string text = u"x\U0001F600y";
    text += char16_t(0xD800);
    text += u"z";
    EXPECT_EQ(plat::WideToAnsi(text), "x?y?z");
    // 0x81 is not defined in 1252: it becomes U+0081 and comes back.
    EXPECT_EQ(plat::AnsiToWide("a\x81" "b\x9d"), u"a\u0081b\u009d");
    EXPECT_EQ(plat::WideToAnsi(u"a\u0081b\u009d"), "a\x81" "b\x9d");
    // Every byte of a single-byte page survives the round trip.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    for (int cp : {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 874})
    {
        plat::SetAnsiCodePage(cp);
        EXPECT_EQ(plat::WideToAnsi(plat::AnsiToWide(all)), all) << cp;
    }
    plat::SetAnsiCodePage(1252);
    EXPECT_TRUE(plat::WideToAnsi(u"").empty());
    EXPECT_TRUE(plat::AnsiToWide("").empty());
}

TEST(Codepage, HostNamesAreUtf8AndShownInTheAnsiPage)
{
    EXPECT_EQ(plat::Utf8ToWide("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), u"a\u00e9\u20ac\U0001F600");
    EXPECT_EQ(plat::WideToUtf8(u"a\u00e9\u20ac\U0001F600"), "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    // Half a surrogate pair, alone or at the end, is U+FFFD; the texts of the
    // 6.x records go through here, ASCII runs before and after included.
    const char16_t lone[] = {u'a', u'b', 0xD800, u'c', 0xDC00, 0xD83D};
    EXPECT_EQ(plat::WideToUtf8(std::u16string_view(lone, 6)), "ab\xef\xbf\xbd" "c\xef\xbf\xbd\xef\xbf\xbd");
    const std::u16string mixed = u"Stra\u00dfe \u0416 \u65e5 \U0001F600 end";
    EXPECT_EQ(plat::Utf8ToWide(plat::WideToUtf8(mixed)), mixed);
    // Broken, overlong and surrogate forms are not UTF-8.
    EXPECT_EQ(plat::Utf8ToWide("\xc3" "x\xc0\xaf\xed\xa0\x80"), u"\uFFFDx\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");

    ForcedPage page(1252);
    std::string ansi;
    EXPECT_TRUE(plat::HostNameToAnsi("Jos\xc3\xa9", &ansi));
    EXPECT_EQ(ansi, "Jos\xe9");
    EXPECT_EQ(plat::AnsiToHostName("Jos\xe9"), "Jos\xc3\xa9");
    // A name without a place in the page keeps its bytes, and so its file.
    EXPECT_FALSE(plat::HostNameToAnsi("\xd0\x96uk", &ansi));
    EXPECT_EQ(ansi, "\xd0\x96uk");
    // Bytes that are not UTF-8 stay as they are.
    EXPECT_FALSE(plat::HostNameToAnsi("Jos\xe9", &ansi));
    EXPECT_EQ(ansi, "Jos\xe9");
}
