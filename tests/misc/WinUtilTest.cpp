#include "misc/WinUtil.h"

#include "platform/Codepage.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

TEST(WinUtil, HexTextPairsAndLimit)
{
    const unsigned char two[] = {0x0A, 0xFF};
    EXPECT_STREQ(HexText(two, 2), "0a ff");
    EXPECT_STREQ(HexText(two, 0), "");
    EXPECT_STREQ(HexText(nullptr, 5), "");
    std::vector<unsigned char> many(2000, 0x5c);
    std::string text = HexText(many.data(), many.size());
    EXPECT_EQ(text.size(), 1024u * 3 - 1);
    EXPECT_EQ(text.substr(0, 6), "5c 5c ");
}

TEST(WinUtil, ConversionsCutAndTerminate)
{
    plat::SetAnsiCodePage(1252);
    char out[6];
    std::memset(out, 'X', sizeof(out));
    ToAnsi(u"Gr\u00fc\u00dfe aus", out, sizeof(out));
    EXPECT_STREQ(out, "Gr\xfc\xdf" "e");
    ToAnsi(nullptr, out, sizeof(out));
    EXPECT_STREQ(out, "");
    ToAnsi(u"abc", out, 1);
    EXPECT_STREQ(out, "");

    char16_t wide[4];
    ToWide("\xe9t\xe9!", wide, 4);
    EXPECT_EQ(std::u16string(wide), u"\u00e9t\u00e9");
    ToWide("", wide, 4);
    EXPECT_EQ(wide[0], u'\0');

    // A double-byte character that would not fit whole is left out.
    plat::SetAnsiCodePage(932);
    char small[3];
    ToAnsi(u"a\u3042", small, sizeof(small));
    EXPECT_STREQ(small, "a");
    char enough[4];
    ToAnsi(u"a\u3042", enough, sizeof(enough));
    EXPECT_STREQ(enough, "a\x82\xa0");
    plat::SetAnsiCodePage(0);
}
