#include "PalmExTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using extest::Bytes;
using extest::FieldFile;

TEST(PmDBUtilTest, CountedStringForms)
{
    FieldFile f;
    ASSERT_TRUE(f.OpenWrite());
    ASSERT_TRUE(f.WriteCountedString(std::string(254, 'a').c_str()));
    ASSERT_TRUE(f.WriteCountedString(std::string(255, 'b').c_str()));
    ASSERT_TRUE(f.WriteCountedString(""));
    ASSERT_TRUE(f.WriteCountedString(nullptr));
    EXPECT_FALSE(f.WriteCountedString(std::string(65536, 'c').c_str()));
    std::string expected = Bytes()
                               .U8(0xFE).Fill(254, 'a')
                               .List({0xFF, 0xFF, 0x00}).Fill(255, 'b')
                               .U8(0).U8(0)
                               .Str();
    std::string out = f.Written();
    EXPECT_EQ(out, expected);

    FieldFile r(out);
    ASSERT_TRUE(r.OpenRead());
    std::vector<char> buf(300);
    uint32_t cap = 299;
    ASSERT_TRUE(r.ReadCountedString(buf.data(), &cap));
    EXPECT_EQ(std::string(buf.data()), std::string(254, 'a'));
    cap = 255;  // equal to the length: accepted
    ASSERT_TRUE(r.ReadCountedString(buf.data(), &cap));
    EXPECT_EQ(std::string(buf.data()), std::string(255, 'b'));
    cap = 10;
    ASSERT_TRUE(r.ReadCountedString(buf.data(), &cap));
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(r.Position(), 254u + 1 + 255 + 3 + 1);
}

TEST(PmDBUtilTest, CountedStringReportsTheNeededCapacity)
{
    FieldFile f(Bytes().Counted("twelve chars").Counted("next").Str());
    ASSERT_TRUE(f.OpenRead());
    char buf[16];
    uint32_t cap = 10;
    EXPECT_FALSE(f.ReadCountedString(buf, &cap));
    EXPECT_EQ(cap, 12u);
    EXPECT_EQ(f.Position(), 1u);  // only the length was consumed
}

TEST(PmDBUtilTest, TextFields)
{
    FieldFile f;
    ASSERT_TRUE(f.OpenWrite());
    ASSERT_TRUE(f.WriteTextField("", 1));
    EXPECT_EQ(f.Written(), Bytes().List({5, 0, 0, 0, 1, 0, 0, 0, 0}).Str());

    // A 9000-character text is delivered cut to 8191 characters, and the
    // field after it is read in step.
    std::string big(9000, 'x');
    big[8500] = 'y';
    FieldFile r(Bytes().Text(big, 7).Int(42).Text("end").Str());
    ASSERT_TRUE(r.OpenRead());
    std::vector<char> buf(8192, 'q');
    uint32_t prefix = 0;
    ASSERT_TRUE(r.ReadTextField(buf.data(), &prefix));
    EXPECT_EQ(prefix, 7u);
    EXPECT_EQ(std::strlen(buf.data()), 8191u);
    uint32_t v = 0;
    ASSERT_TRUE(r.ReadIntField(&v));
    EXPECT_EQ(v, 42u);
    std::string whole;
    ASSERT_TRUE(r.ReadTextField(&whole, &prefix));
    EXPECT_EQ(whole, "end");
    EXPECT_FALSE(r.ReadTextField(&whole, &prefix));  // nothing left

    // The whole form keeps everything, zero bytes included.
    std::string odd("a\0b", 3);
    FieldFile w(Bytes().Text(big).Text(odd).U32(1).Str());
    ASSERT_TRUE(w.OpenRead());
    ASSERT_TRUE(w.ReadTextField(&whole, nullptr));
    EXPECT_EQ(whole, big);
    ASSERT_TRUE(w.ReadTextField(&whole, nullptr));
    EXPECT_EQ(whole, odd);
    EXPECT_FALSE(w.ReadTextField(&whole, nullptr));  // tag 1 is not a text
}

TEST(PmDBUtilTest, IntFieldTags)
{
    FieldFile f(Bytes().Int(10, 1).Int(11, 3).Int(12, 6).Int(13, 5).Str());
    ASSERT_TRUE(f.OpenRead());
    uint32_t v;
    ASSERT_TRUE(f.ReadIntField(&v));
    EXPECT_EQ(v, 10u);
    ASSERT_TRUE(f.ReadIntField(&v));
    EXPECT_EQ(v, 11u);
    ASSERT_TRUE(f.ReadIntField(&v));
    EXPECT_EQ(v, 12u);
    EXPECT_FALSE(f.ReadIntField(&v));

    FieldFile w;
    ASSERT_TRUE(w.OpenWrite());
    ASSERT_TRUE(w.WriteIntField(1));
    ASSERT_TRUE(w.WriteDateField(2));
    ASSERT_TRUE(w.WriteBoolField(7));
    ASSERT_TRUE(w.WriteWideField(0x0102030405060708ull));
    EXPECT_EQ(w.Written(), Bytes().Int(1, 1).Int(2, 3).Int(7, 6).U32(0x44)
                               .List({8, 7, 6, 5, 4, 3, 2, 1}).Str());
}

TEST(PmDBUtilTest, OpaqueBlocksRoundTripByteForByte)
{
    std::string form0 = Bytes().U32(0x40).U32(0).Str();
    std::string form6 = Bytes().U32(0x41).U32(6).List({1, 2, 3, 4, 5, 6}).Str();
    std::string form2 = Bytes().U32(0x42).U32(2).U32(0xAABBCCDD).U32(9).U32(3).List({7, 8, 9}).Str();
    std::string form1Empty = Bytes().U32(0x43).U32(1).U32(5).U32(6).U32(0).Str();
    EXPECT_EQ(form0.size(), 8u);
    EXPECT_EQ(form6.size(), 14u);
    EXPECT_EQ(form2.size(), 23u);
    std::string all = form0 + form6 + form2 + form1Empty;

    FieldFile r(all);
    ASSERT_TRUE(r.OpenRead());
    PmBlock b[4];
    for (PmBlock& block : b)
        ASSERT_TRUE(r.ReadBlockField(&block));
    EXPECT_EQ(r.Position(), all.size());
    EXPECT_EQ(b[1].Length, 6u);
    EXPECT_EQ(b[2].Word1, 0xAABBCCDDu);
    EXPECT_EQ(b[2].Length, 3u);

    FieldFile w;
    ASSERT_TRUE(w.OpenWrite());
    for (const PmBlock& block : b)
        ASSERT_TRUE(w.WriteBlockField(&block));
    EXPECT_EQ(w.Written(), all);

    // A block whose data went missing is not written half.
    PmBlock broken = b[2];
    broken.Data.clear();
    FieldFile w2;
    ASSERT_TRUE(w2.OpenWrite());
    EXPECT_FALSE(w2.WriteBlockField(&broken));

    // Truncated data fails instead of delivering garbage.
    FieldFile t(form2.substr(0, 21));
    ASSERT_TRUE(t.OpenRead());
    EXPECT_FALSE(t.ReadBlockField(&b[0]));
}

TEST(PmDBUtilTest, OpenModesAndShortReads)
{
    FieldFile f(Bytes().List({1, 2, 3}).Str());
    EXPECT_EQ(f.Position(), 0u);
    EXPECT_FALSE(f.Open(f.Path().c_str(), 4));
    EXPECT_FALSE(f.Open("", PmDBUtil::ModeRead));
    EXPECT_FALSE(f.Open(nullptr, PmDBUtil::ModeRead));
    EXPECT_FALSE(f.Open((f.Path() + ".missing").c_str(), PmDBUtil::ModeReadWrite));
    EXPECT_EQ(extest::ReadFile(f.Path()), Bytes().List({1, 2, 3}).Str());

    ASSERT_TRUE(f.OpenRead());
    EXPECT_STREQ(f.FileName(), f.Path().c_str());
    // A second opener is refused while the file is held.
    FieldFile other;
    EXPECT_FALSE(other.Open(f.Path().c_str(), PmDBUtil::ModeReadWrite));

    uint32_t v;
    EXPECT_FALSE(f.ReadU32(&v));  // only 3 bytes
    uint8_t buf[8];
    uint32_t count = 8;
    ASSERT_TRUE(f.ReadSome(buf, &count));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(buf[2], 3);
    f.Close();
    f.Close();
    EXPECT_EQ(f.Position(), 0u);
    EXPECT_STREQ(f.FileName(), f.Path().c_str());
    EXPECT_TRUE(other.Open(f.Path().c_str(), PmDBUtil::ModeReadWrite));
}

TEST(PmDBUtilTest, CloseWithoutCommitLeavesTheFile)
{
    FieldFile f(Bytes().List({9, 9}).Str());
    ASSERT_TRUE(f.OpenWrite());
    ASSERT_TRUE(f.WriteU32(1));
    EXPECT_EQ(f.Position(), 4u);
    f.Close();
    EXPECT_EQ(extest::ReadFile(f.Path()), Bytes().List({9, 9}).Str());
}
