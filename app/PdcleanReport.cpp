#include "PdcleanReport.h"

#include "platform/File.h"
#include "platform/WinPath.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

std::vector<QStringList> RecordCells(TRecordKind kind, bool utf8, const std::vector<void*>& records)
{
    // The review list's own model makes the texts, so that the table says
    // what the user saw when ticking.
    TRecordListModel model(kind);
    model.SetTextsUtf8(utf8);
    model.SetRows(records, false);
    const int columns = int(TRecordListModel::Headers(kind).size());
    std::vector<QStringList> out;
    out.reserve(records.size());
    for (int row = 0; row < model.Count(); ++row) {
        QStringList cells;
        for (int c = 0; c < columns; ++c)
            cells << model.CellText(row, c);
        out.push_back(std::move(cells));
    }
    return out;
}

QString CsvField(const QString& text)
{
    static const QString kSpecial = QStringLiteral(",\"\r\n");
    bool quote = false;
    for (QChar c : text)
        if (kSpecial.contains(c)) {
            quote = true;
            break;
        }
    if (!quote)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QByteArray DeletionCsv(const std::vector<TDeletionRow>& rows)
{
    static const TRecordKind kKinds[] = {TRecordKind::Addr, TRecordKind::Date, TRecordKind::Task, TRecordKind::Note};
    QStringList header = {"Application", "Data File", "Backup Copy", "Outcome"};
    const int fixed = int(header.size());
    for (TRecordKind kind : kKinds)
        for (const QString& name : TRecordListModel::Headers(kind))
            if (!header.mid(fixed).contains(name))
                header << name;
    // Where each kind's cells go among the columns.
    std::vector<int> place[4];
    for (int k = 0; k < 4; ++k)
        for (const QString& name : TRecordListModel::Headers(kKinds[k]))
            place[k].push_back(int(header.indexOf(name, fixed)));

    auto line = [](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields)
            quoted << CsvField(f);
        return quoted.join(QLatin1Char(',')) + QLatin1String("\r\n");
    };
    QString text = line(header);
    for (const TDeletionRow& r : rows) {
        QStringList fields(header.size());
        fields[0] = r.App;
        fields[1] = r.File;
        fields[2] = r.Backup;
        fields[3] = r.Outcome;
        const std::vector<int>& at = place[int(r.Kind)];
        for (int i = 0; i < int(at.size()) && i < int(r.Fields.size()); ++i)
            fields[at[i]] = r.Fields[i];
        text += line(fields);
    }
    // Spreadsheet programs take a file without the mark for the ANSI code page.
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

namespace {

QString Why(const std::string& error) { return QString::fromStdString(error); }

}  // namespace

bool WriteDeletionReport(const std::string& settingsFolder, const QString& stamp, const QString& text,
                         const QByteArray& csv, TReportFiles* files, QString* error)
{
    *files = TReportFiles();
    error->clear();
    if (settingsFolder.empty()) {
        *error = "the settings folder is not known";
        return false;
    }
    std::string folder = settingsFolder;
    if (folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    folder += "reports";
    const QString hostFolder = QString::fromStdString(plat::ToHostPath(folder));
    if (!plat::CreateFolder(folder)) {
        const int err = errno;
        QFileInfo info(hostFolder);
        *error = QString("the folder %1 cannot be made: %2")
                     .arg(hostFolder, info.exists() && !info.isDir() ? QString("a file has its name")
                                                                     : QString::fromLocal8Bit(std::strerror(err)));
        return false;
    }
    const QByteArray textBytes = text.toUtf8();
    for (int n = 1; n < 1000; ++n) {
        const QString base = "deletion-" + stamp + (n > 1 ? QString("-%1").arg(n) : QString());
        const std::string txt = folder + '\\' + base.toStdString() + ".txt";
        const std::string table = folder + '\\' + base.toStdString() + ".csv";
        std::string why;
        int err = 0;
        if (!plat::WriteNewFile(txt, textBytes.constData(), size_t(textBytes.size()), &why, &err)) {
            if (err == EEXIST)
                continue;
            *error = Why(why);
            return false;
        }
        if (!plat::WriteNewFile(table, csv.constData(), size_t(csv.size()), &why, &err)) {
            // The two files are one report: the text goes too.
            std::remove(plat::ToHostPath(txt).c_str());
            if (err == EEXIST)
                continue;
            *error = Why(why);
            return false;
        }
        files->Text = QString::fromStdString(plat::ToHostPath(txt));
        files->Csv = QString::fromStdString(plat::ToHostPath(table));
        return true;
    }
    *error = QString("every name for a report of %1 is taken in %2").arg(stamp, hostFolder);
    return false;
}
