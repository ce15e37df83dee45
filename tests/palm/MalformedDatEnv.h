// For the tests of malformed .dat files: an installation with sample files
// of both layouts written by the fixture generator.
#pragma once

#include "MalformedDat.h"
#include "PalmInfoTestEnv.h"

#include <gtest/gtest.h>

namespace malformed {

// ---- an installation with sample files of both layouts ----------------------

class DatTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ClearFileFaults();
        // The generator writes each layout's four files at the same paths;
        // their bytes are kept as the samples.
        for (int layout = 0; layout < 2; ++layout) {
            palmfix::GenOptions opt;
            opt.records = 6;
            opt.duplicates = 2;
            opt.seed = 7;
            std::string error;
            ASSERT_TRUE(palmfix::GenerateUserData(m_Env.UserFolder(), layout ? kExVersion : kClassicVersion, opt,
                                                  palmfix::kGenAll, &error))
                << error;
            for (App app : kApps) {
                m_Sample[layout][app] = Get(app);
                Shape s;
                ASSERT_TRUE(ReadShape(m_Sample[layout][app], layout == 1, app, &s)) << Word(app);
                ASSERT_EQ(s.fieldsPerRow, RecordFields(layout == 1, app));
                ASSERT_GT(s.totalFields, 2 * s.fieldsPerRow);
            }
        }
        m_Env.ClearLog();
    }
    void TearDown() override { plat::ClearFileFaults(); }

    /// The Windows path of an application's file.
    std::string PathOf(App app) const { return m_Env.UserFile(RelPath(app)); }
    void Put(App app, const std::string& bytes) const
    {
        std::ofstream(plat::ToHostPath(PathOf(app)), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Get(App app) const { return infotest::ReadBytes(PathOf(app)); }
    const std::string& Sample(bool ex, App app) const { return m_Sample[ex ? 1 : 0][app]; }
    Shape ShapeOf(bool ex, App app) const
    {
        Shape s;
        ReadShape(Sample(ex, app), ex, app, &s);
        return s;
    }
    int32_t User() const { return int32_t(m_Env.UserId()); }
    bool Logged(const std::string& text) const { return m_Env.LogHas(text); }
    int LoggedCount(const std::string& text) const
    {
        std::string log = m_Env.Log();
        int n = 0;
        for (size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
            ++n;
        return n;
    }

    infotest::PalmInstall m_Env{4, 1, 4};
    std::string m_Sample[2][4];
};

}  // namespace malformed
