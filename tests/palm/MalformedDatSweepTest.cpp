// A seeded sweep over damaged files of both layouts and all four
// applications, loaded through the utilities and the facades. Files whose
// counts were altered or that were cut short must be refused; bytes flipped
// anywhere may give a file that still loads, which must then save and load
// back to the same content. Nothing may crash, and no load may fill the log.
// (bench_malformed runs the same sweep, larger, and times each file.)
#include "MalformedDatEnv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace malformed;

namespace {

constexpr int kFilesPerApp = 48;
// Level-0 lines one load or one save may write: the reason, the step that
// failed, the closing line, and the facade's own.
constexpr size_t kMaxErrorLines = 5;

}  // namespace

TEST_F(DatTest, DamagedFilesAreRefusedOrKeptWhole)
{
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
}
