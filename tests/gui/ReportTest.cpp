// The report a deletion run leaves beside the settings file: the log as a
// text, and a table that spreadsheet programs read, one row per deleted
// record with the backup copy of its file; nothing when nothing was ticked,
// and a report that cannot be written never turns a deletion into a failure.
#include "WizardTestEnv.h"

#include "PdcleanReport.h"
#include "ScopedState.h"

#include "palm/PalmAddrEx2.h"
#include "palm/PalmTodoEx.h"
#include "palmfixture/FixtureEx.h"
#include "platform/File.h"
#include "platform/TestDir.h"

#include <QFile>

#include <filesystem>
#include <map>

using namespace guitest;

namespace {

/// Reads a table as RFC 4180 writes it: fields split by commas, rows ended
/// by CRLF, a field in double quotes holding commas, line breaks and
/// doubled quotes. Anything else (a bare line break outside quotes, a quote
/// inside a field without quotes, no byte order mark) fails the test.
std::vector<QStringList> ReadCsv(const QByteArray& bytes)
{
    std::vector<QStringList> rows;
    if (!bytes.startsWith("\xEF\xBB\xBF")) {
        ADD_FAILURE() << "no UTF-8 byte order mark";
        return rows;
    }
    const QString s = QString::fromUtf8(bytes.mid(3));
    const int n = int(s.size());
    QStringList row;
    int i = 0;
    while (i < n) {
        QString field;
        if (s[i] == '"') {
            for (++i;; ++i) {
                if (i >= n) {
                    ADD_FAILURE() << "a quoted field runs to the end";
                    return rows;
                }
                if (s[i] == '"') {
                    if (i + 1 < n && s[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += s[i];
            }
        } else {
            for (; i < n && s[i] != ',' && s[i] != '\r' && s[i] != '\n'; ++i) {
                if (s[i] == '"') {
                    ADD_FAILURE() << "a quote in a field without quotes, at " << i;
                    return rows;
                }
                field += s[i];
            }
        }
        row << field;
        if (i < n && s[i] == ',') {
            ++i;
            continue;
        }
        if (i + 1 < n && s[i] == '\r' && s[i + 1] == '\n') {
            rows.push_back(row);
            row.clear();
            i += 2;
            continue;
        }
        ADD_FAILURE() << "a row not ended by CRLF, at " << i;
        return rows;
    }
    if (!row.isEmpty())
        ADD_FAILURE() << "the last row is not ended by CRLF";
    return rows;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// A row of the table as column name -> field, by the header row.
std::map<QString, QString> Named(const QStringList& header, const QStringList& row)
{
    std::map<QString, QString> out;
    for (int i = 0; i < int(header.size()) && i < int(row.size()); ++i)
        out[header[i]] = row[i];
    return out;
}

/// The one ".bak" copy beside a file (host paths).
std::string OnlyBackupOf(const std::string& host)
{
    std::filesystem::path p(host);
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(p.parent_path())) {
        std::string name = e.path().filename().string();
        if (name.rfind(p.filename().string() + ".", 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".bak") == 0)
            found.push_back(e.path().string());
    }
    EXPECT_EQ(found.size(), 1u) << host;
    return found.empty() ? std::string() : found[0];
}

std::string ReportsFolder(Wizard& w)
{
    return w.SettingsFile().substr(0, w.SettingsFile().rfind('/')) + "/reports";
}

void WriteSettings(Wizard& w, const char* text)
{
    std::filesystem::create_directories(w.SettingsFile().substr(0, w.SettingsFile().rfind('/')));
    palmfix::WriteFile(w.SettingsFile(), text);
}

const std::string kIvan = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";                    // Ivan
const std::string kPetrov = "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2";  // Petrov

}  // namespace

// The table read back field by field: commas, quotes and line breaks inside
// fields, letters outside ASCII, every kind's cells under its own columns;
// a second report of the same second takes a name of its own.
TEST(Report, TableReadsBackAndNamesNeverReplace)
{
    std::vector<TDeletionRow> rows(3);
    rows[0] = {"Contacts", "/home/u/Palm Data/a,b/address.dat", "/home/u/Palm Data/a,b/address.dat.x.bak", "deleted",
               TRecordKind::Addr,
               {QString::fromUtf8(kIvan.c_str()), "O\"Brien", "", "1", "2", "Smith, \"Jones\" & Co"}};
    rows[1] = {"Tasks", "/t/todo.dat", "", "failed: the file could not be saved: No space left on device",
               TRecordKind::Task, {"Caf\u00e9, \"paid\"", "High", "N/A", "line one\nline two\r\nthree"}};
    rows[2] = {"Notes", "/m/memopad.dat", "", "deleted", TRecordKind::Note, {"only \"this\""}};
    const QByteArray csv = DeletionCsv(rows);
    std::vector<QStringList> read = ReadCsv(csv);
    ASSERT_EQ(read.size(), 4u);
    const QStringList& header = read[0];
    EXPECT_EQ(header.mid(0, 4), QStringList({"Application", "Data File", "Backup Copy", "Outcome"}));
    EXPECT_EQ(header.count("Subject"), 1);
    for (const QStringList& r : read)
        EXPECT_EQ(r.size(), header.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(read[i + 1].mid(0, 4), QStringList({rows[i].App, rows[i].File, rows[i].Backup, rows[i].Outcome}));
        QStringList own = TRecordListModel::Headers(rows[i].Kind);
        int filled = 0;
        for (int c = 4; c < int(header.size()); ++c) {
            int at = int(own.indexOf(header[c]));
            EXPECT_EQ(read[i + 1][c], at >= 0 ? rows[i].Fields[at] : QString()) << header[c].toStdString();
            filled += at >= 0;
        }
        EXPECT_EQ(filled, own.size());
    }

    TestDir dirs;
    const std::string folder = plat::ToWinPath(dirs.Path()) + "\\";
    TReportFiles first, second;
    QString error;
    ASSERT_TRUE(WriteDeletionReport(folder, "20260102-030405", "first log\n", csv, &first, &error))
        << error.toStdString();
    ASSERT_TRUE(WriteDeletionReport(folder, "20260102-030405", "second log\n", csv, &second, &error))
        << error.toStdString();
    EXPECT_EQ(first.Text, QString::fromStdString(dirs.Path()) + "/reports/deletion-20260102-030405.txt");
    EXPECT_EQ(second.Csv, QString::fromStdString(dirs.Path()) + "/reports/deletion-20260102-030405-2.csv");
    EXPECT_EQ(ReadAll(first.Text), "first log\n");
    EXPECT_EQ(ReadAll(second.Text), "second log\n");
    EXPECT_EQ(ReadAll(second.Csv), csv);

    // The table's write fails (the text took one write call): the text goes
    // too, and no report is left half.
    plat::FileFaults tableFails;
    tableFails.failWriteCall = 1;
    TReportFiles third;
    {
        plat::ScopedFileFaults faults(tableFails);
        EXPECT_FALSE(WriteDeletionReport(folder, "20260102-030406", "third log\n", csv, &third, &error));
    }
    EXPECT_TRUE(third.Text.isEmpty());
    EXPECT_TRUE(error.contains("Input/output error")) << error.toStdString();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dirs.Path() + "/reports"),
                            std::filesystem::directory_iterator()),
              4);
}

// A 6.x run: the text is the log box's text, the table has the deleted
// contact with its database, the backup copy the run made and the names as
// stored; the buttons open the text and save copies of either file.
TEST(Report, SixXRunLeavesLogAndTable)
{
    testenv::ScopedCodePage page(1252);
    Wizard w(kEx2, 0, 0, false);
    const std::string file = palmfix::Ex2DatabasePath(w.Env().UserFolder(), kPmDbAddr);
    std::vector<PmAddrEx2Record> recs(2);
    for (int i = 0; i < 2; ++i) {
        recs[i].RecordID = i + 1;
        recs[i].Placement = i + 1;
        recs[i].Category = 1;
        recs[i].FirstName.SetStored(kIvan);
        recs[i].LastName.SetStored(kPetrov);
    }
    std::string error;
    ASSERT_TRUE(palmfix::WriteAddressMdb(file, {{1, "Business"}}, {&recs[0], &recs[1]}, &error)) << error;
    WriteSettings(w, "[DCOption]\r\nAppFlag=1\r\n");
    plat::ResetBackups();

    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(w.Model(0)->CheckedCount(), 1);  // the duplicate; its kept record is listed too
    QPushButton* open = w.Find<QPushButton>("btnOpenReport");
    QPushButton* save = w.Find<QPushButton>("btnSaveReport");
    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    w.Messages().Clear();
    const TReportFiles& report = m->CleanPage()->Report();
    ASSERT_FALSE(report.Text.isEmpty());
    EXPECT_TRUE(report.Text.startsWith(QString::fromStdString(ReportsFolder(w)) + "/deletion-"));
    EXPECT_EQ(QString::fromUtf8(ReadAll(report.Text)), w.Find<QPlainTextEdit>("memLog")->toPlainText());

    std::vector<QStringList> rows = ReadCsv(ReadAll(report.Csv));
    ASSERT_EQ(rows.size(), 2u);
    auto row = Named(rows[0], rows[1]);
    const std::string host = plat::ToHostPath(file);
    EXPECT_EQ(rows[1].mid(0, 4), QStringList({"Contacts", QString::fromStdString(host),
                                              QString::fromStdString(OnlyBackupOf(host)), "deleted"}));
    EXPECT_EQ(row["First Name"], QString::fromUtf8(kIvan.c_str()));
    EXPECT_EQ(row["Last Name"], QString::fromUtf8(kPetrov.c_str()));

    ASSERT_TRUE(open->isEnabled());
    ASSERT_TRUE(save->isEnabled());
    std::vector<QUrl> opened;
    bool opens = true;
    SetGuiUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return opens;
    });
    open->click();
    EXPECT_EQ(opened, std::vector<QUrl>({QUrl::fromLocalFile(report.Text)}));
    EXPECT_TRUE(w.Messages().Messages().empty());
    opens = false;
    open->click();
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    EXPECT_EQ(w.Messages().Messages()[0].Title, "Open Report");
    EXPECT_TRUE(w.Messages().Messages()[0].Text.contains(report.Text));
    SetGuiUrlOpener({});

    // A name without an ending takes the type chosen; a name's own ending decides.
    TestDir out;
    struct Pick {
        const char* name;
        const char* filter;
        const char* saved;
        QString from;
    };
    const Pick picks[] = {{"copy", "Table for spreadsheets (*.csv)", "copy.csv", report.Csv},
                          {"copy", "Text report (*.txt)", "copy.txt", report.Text},
                          {"other.csv", "Text report (*.txt)", "other.csv", report.Csv}};
    for (const Pick& p : picks) {
        SetGuiSaveFileChooser([&](QWidget*, const QString&, const QString&, const QString& filters, QString* chosen) {
            EXPECT_TRUE(filters.contains(p.filter));
            *chosen = p.filter;
            return QString::fromStdString(out / p.name);
        });
        save->click();
        EXPECT_EQ(ReadAll(QString::fromStdString(out / p.saved)), ReadAll(p.from)) << p.saved;
    }
    EXPECT_EQ(w.Messages().Messages().size(), 1u);
    // The ending added after the dialog names a file that is there: asked
    // again, and No keeps it.
    palmfix::WriteFile(out / "copy.csv", "kept");
    w.Messages().Answer(QMessageBox::No);
    SetGuiSaveFileChooser([&](QWidget*, const QString&, const QString&, const QString&, QString* chosen) {
        *chosen = "Table for spreadsheets (*.csv)";
        return QString::fromStdString(out / "copy");
    });
    save->click();
    SetGuiSaveFileChooser({});
    ASSERT_EQ(w.Messages().Messages().size(), 2u);
    EXPECT_EQ(w.Messages().Messages()[1].Title, "Save Report As");
    EXPECT_EQ(ReadAll(QString::fromStdString(out / "copy.csv")), "kept");
}

// Tasks of a 4.1.x file, in the ANSI code page: the subject's accented
// letter, comma and quotes, and a note with line breaks, come back from
// the table as the review list shows them, beside the .bak the save made.
TEST(Report, AnsiTasksReadBackWithTheirNote)
{
    testenv::ScopedCodePage page(1252);
    Wizard w(kEx, 0, 0, false);
    const std::string file = palmfix::ExFilePath(w.Env().UserFolder(), 3);
    const char* note = "line one\r\nline two";
    std::vector<PmTodoExRecord> recs(3);
    for (int i = 0; i < 3; ++i) {
        recs[i].RecordID = uint32_t(i + 1);
        recs[i].Description.Set(i < 2 ? "Caf\xE9, \"bills\"" : "Other");
        recs[i].Note.Set(note);
    }
    std::string error;
    ASSERT_TRUE(palmfix::WriteToDoDat(file, {}, {&recs[0], &recs[1], &recs[2]}, &error)) << error;
    WriteSettings(w, "[DCOption]\r\nAppFlag=4\r\n");
    plat::ResetBackups();

    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(w.Model(2)->CheckedCount(), 1);
    ASSERT_TRUE(w.Model(2)->IsCopy(0));
    const QString subject = w.Model(2)->CellText(0, 0);
    const QString notes = w.Model(2)->CellText(0, 3);
    EXPECT_EQ(subject, QString::fromUtf8("Caf\u00e9, \"bills\""));
    EXPECT_EQ(notes, QString::fromLatin1(note));
    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    EXPECT_EQ(m->CleanPage()->DeletedCount(2), 1);
    std::vector<QStringList> rows = ReadCsv(ReadAll(m->CleanPage()->Report().Csv));
    ASSERT_EQ(rows.size(), 2u);
    auto row = Named(rows[0], rows[1]);
    const std::string host = plat::ToHostPath(file);
    EXPECT_EQ(rows[1].mid(0, 4), QStringList({"Tasks", QString::fromStdString(host),
                                              QString::fromStdString(OnlyBackupOf(host)), "deleted"}));
    EXPECT_EQ(row["Subject"], subject);
    EXPECT_EQ(row["Notes"], notes);
}

// Nothing ticked: the run deletes nothing and leaves no report. A folder
// that cannot be made: the deletion is done and told as done, the log says
// why there is no report, and the buttons stay off.
TEST(Report, NoneWhenNothingDeletedAndAFailedReportLeavesTheDeletionDone)
{
    {
        Wizard w(kEx, 8, 2);
        TfmMain* m = w.Start();
        w.Click("btnNext");
        for (int app = 0; app < 4; ++app)
            w.Model(app)->SetAllChecked(false);
        w.Click("btnNext");
        ASSERT_TRUE(w.WaitDeletion());
        EXPECT_TRUE(m->CleanPage()->Report().Text.isEmpty());
        EXPECT_FALSE(std::filesystem::exists(ReportsFolder(w)));
        EXPECT_FALSE(w.Find<QPushButton>("btnOpenReport")->isEnabled());
    }
    Wizard w(kEx, 8, 2);
    WriteSettings(w, "[DCOption]\r\nAppFlag=1\r\n");
    palmfix::WriteFile(ReportsFolder(w), "a file where the folder would be");
    TfmMain* m = w.Start();
    w.Click("btnNext");
    DataSnapshot before = TakeSnapshot(w, kAppAddr);
    std::set<int> ticked = TickedPositions(m->DataPage(), m->FacadeSet(), 0);
    ASSERT_FALSE(ticked.empty());
    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    QTest::qWait(20);
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyDeleted(w, before, 0, ticked));
    EXPECT_EQ(m->CleanPage()->DeletedCount(0), int(ticked.size()));
    EXPECT_TRUE(m->CleanPage()->Failures().isEmpty());
    QStringList lines = w.LogLines();
    EXPECT_TRUE(lines.contains(QString("\t%1 duplicate contact items deleted.").arg(ticked.size())));
    EXPECT_EQ(lines.count("Deletion succeeded."), int(ticked.size()));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().startsWith("The report of this run could not be written: the folder " +
                                        QString::fromStdString(ReportsFolder(w)) + " cannot be made"))
        << lines.last().toStdString();
    for (const GuiMessageInfo& info : w.Messages().Messages())
        EXPECT_NE(info.Title, "Deletion Failed");
    EXPECT_TRUE(m->CleanPage()->Report().Text.isEmpty());
    EXPECT_FALSE(w.Find<QPushButton>("btnOpenReport")->isEnabled());
    EXPECT_FALSE(w.Find<QPushButton>("btnSaveReport")->isEnabled());
}
