// A seeded sweep over damaged files of both layouts and all four
// applications, loaded through the utilities and the facades. Files whose
// counts were altered or that were cut short must be refused; bytes flipped
// anywhere may give a file that still loads, which must then save and load
// back to the same content. Nothing may crash, and no load may fill the log.
#include "MalformedDatEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

using namespace malformed;

namespace {

/// xorshift32: the same files on every machine.
struct Rng {
    uint32_t s;
    uint32_t Next()
    {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
};

enum Damage {
    kCut,            // the file ends early
    kTotalNotWhole,  // Total Fields plus a part of a row
    kTotalMore,      // Total Fields plus whole rows the file does not hold
    kTotalHuge,      // Total Fields near 2^32
    kFieldsPerRow,   // a Fields Per Row no record of the file can have
    kFieldsCount,    // a Fields Count the records cannot honour
    kFlipAnywhere,   // 1 to 3 bytes changed anywhere (may still load)
    kFlipRecords,    // 1 byte changed among the records (may still load)
    kDamageKinds
};

const char* const kDamageNames[] = {"cut",          "total not whole", "total more",     "total huge",
                                    "fields per row", "fields count",  "flip anywhere", "flip records"};

/// The sample damaged as `damage` says; *mustFail tells whether a loader
/// has to refuse the result.
std::string Damaged(const std::string& sample, const Shape& s, bool ex, App app, Damage damage, Rng& rng,
                    bool* mustFail)
{
    std::string b = sample;
    uint32_t fields = RecordFields(ex, app);
    *mustFail = true;
    switch (damage) {
    case kCut:
        b.resize(rng.Below(uint32_t(b.size())));
        break;
    case kTotalNotWhole:
        PutU32At(b, s.totalFieldsAt, s.totalFields + 1 + rng.Below(s.fieldsPerRow - 1));
        break;
    case kTotalMore:
        PutU32At(b, s.totalFieldsAt, s.totalFields + s.fieldsPerRow * (1 + rng.Below(5000)));
        break;
    case kTotalHuge:
        PutU32At(b, s.totalFieldsAt, rng.Below(2) ? 0xFFFFFFFFu : 0xFFFFFFFFu / s.fieldsPerRow * s.fieldsPerRow);
        break;
    case kFieldsPerRow: {
        // 4.1.x: anything but Fields Count. Classic: no row at all, a row
        // without the status, or one wider than the record.
        const uint32_t exValues[] = {0,
                                     1,
                                     2,
                                     s.fieldsPerRow - 1,
                                     s.fieldsPerRow + 1,
                                     3 + rng.Below(s.fieldsPerRow - 3),
                                     0x10000u + rng.Below(0x10000u),
                                     0xFFFFFFFFu};
        const uint32_t classicValues[] = {0,
                                          1,
                                          fields + 1,
                                          fields + 1 + rng.Below(1000),
                                          0x10000u + rng.Below(0x10000u),
                                          0xFFFFFFFFu};
        uint32_t v = ex ? exValues[rng.Below(8)] : classicValues[rng.Below(6)];
        if (ex && v == s.fieldsPerRow)
            v = 0;
        PutU32At(b, s.fieldsPerRowAt, v);
        break;
    }
    case kFieldsCount: {
        // The Field Types stay as stored: only the count changes.
        const uint16_t exValues[] = {0, uint16_t(s.fieldsCount - 1), uint16_t(s.fieldsCount + 1),
                                     uint16_t(1 + rng.Below(s.fieldsCount - 1)), 0xFFFF};
        const uint16_t classicValues[] = {0, uint16_t(fields + 1), uint16_t(fields + 1 + rng.Below(100)), 0xFFFF};
        PutU16At(b, s.fieldsCountAt, ex ? exValues[rng.Below(5)] : classicValues[rng.Below(4)]);
        break;
    }
    case kFlipAnywhere: {
        *mustFail = false;
        uint32_t n = 1 + rng.Below(3);
        for (uint32_t i = 0; i < n; ++i)
            b[rng.Below(uint32_t(b.size()))] ^= char(1 + rng.Below(255));
        break;
    }
    case kFlipRecords:
    default: {
        *mustFail = false;
        size_t at = s.RecordsAt() + rng.Below(uint32_t(b.size() - s.RecordsAt()));
        b[at] ^= char(1 + rng.Below(255));
        break;
    }
    }
    return b;
}

constexpr int kFilesPerApp = 48;
// Level-0 lines one load or one save may write: the reason, the step that
// failed, the closing line, and the facade's own.
constexpr size_t kMaxErrorLines = 5;

}  // namespace

TEST_F(DatTest, DamagedFilesAreRefusedOrKeptWhole)
{
    auto started = std::chrono::steady_clock::now();
    // Only level-0 lines reach the file; those are what a bad file could multiply.
    TheLog().SetLevel(0);
    m_Env.ClearLog();
    int operations = 0, refused = 0, loaded = 0;
    for (bool ex : {false, true}) {
        for (App app : kApps) {
            const std::string& sample = Sample(ex, app);
            Shape s = ShapeOf(ex, app);
            std::unique_ptr<Loader> util = MakeLoader(ex, app);
            std::unique_ptr<Facade> info = MakeFacade(app, ex ? kExVersion : kClassicVersion);
            Rng rng{0x9E3779B9u ^ (uint32_t(app) << 8) ^ (ex ? 0x5A5A0000u : 0u)};
            for (int i = 0; i < kFilesPerApp; ++i) {
                Damage damage = Damage(i % kDamageKinds);
                bool mustFail = false;
                std::string bytes = Damaged(sample, s, ex, app, damage, rng, &mustFail);
                SCOPED_TRACE(std::string(ex ? "4.1.x " : "classic ") + Word(app) + " #" + std::to_string(i) + " " +
                             kDamageNames[damage]);
                Put(app, bytes);

                CxLogCapture errors;
                bool ok = util->Load(PathOf(app));
                ++operations;
                EXPECT_LE(errors.Messages().size(), kMaxErrorLines) << errors.Text();
                if (mustFail) {
                    EXPECT_FALSE(ok);
                }
                if (!ok) {
                    ++refused;
                    EXPECT_EQ(util->Rows(), 0u);
                    errors.Clear();
                    EXPECT_FALSE(util->Save());
                    ++operations;
                    EXPECT_LE(errors.Messages().size(), kMaxErrorLines) << errors.Text();
                    EXPECT_EQ(Get(app), bytes);
                } else {
                    // What loads is written back, and reads back the same.
                    ++loaded;
                    uint32_t rows = util->Rows();
                    ASSERT_TRUE(util->Save()) << errors.Text();
                    std::string saved = Get(app);
                    std::unique_ptr<Loader> again = MakeLoader(ex, app);
                    ASSERT_TRUE(again->Load(PathOf(app))) << errors.Text();
                    EXPECT_EQ(again->Rows(), rows);
                    ASSERT_TRUE(again->Save());
                    EXPECT_EQ(Get(app), saved);
                    operations += 3;
                }

                // The facade sees the same: nothing, or the file's records.
                Put(app, bytes);
                errors.Clear();
                // (What LoadByUser gives for a failed load differs by facade.)
                bool facadeLoaded = info->LoadByUser(User());
                ++operations;
                EXPECT_LE(errors.Messages().size(), kMaxErrorLines) << errors.Text();
                if (!ok) {
                    EXPECT_EQ(info->LoadedGeneration(), 0);
                    EXPECT_EQ(info->Count(), 0u);
                    EXPECT_FALSE(info->Save());
                    EXPECT_EQ(Get(app), bytes);
                } else {
                    EXPECT_TRUE(facadeLoaded);
                    EXPECT_EQ(info->LoadedGeneration(), ex ? 2 : 1);
                }
            }
        }
    }
    // Every line of the log is a level-0 line of one of the operations.
    std::string log = m_Env.Log();
    size_t lines = 0;
    for (char c : log)
        lines += c == '\n';
    EXPECT_LE(lines, size_t(operations) * kMaxErrorLines);
    EXPECT_GT(refused, kFilesPerApp * 8 * 6 / 8);  // at least the files whose counts were altered
    EXPECT_GT(loaded, 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    RecordProperty("files", kFilesPerApp * 8);
    RecordProperty("refused", refused);
    RecordProperty("milliseconds", int(seconds * 1000));
    EXPECT_LT(seconds, 10.0);
}
