// The Jet 4 fixtures of tests/data/jet (written by an independent Jet writer)
// and what that writer reads back from them.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace jettest {

inline std::string DataFolder()
{
    return std::string(TARNWICK_TEST_DATA) + "/jet/";
}

/// A table as the writer read it back: the column names, then the rows, each
/// cell unescaped ("\N" stays as it is: Null).
struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

inline std::string Unescape(const std::string& cell)
{
    if (cell == "\\N")
        return cell;
    std::string out;
    out.reserve(cell.size());
    for (size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] == '\\' && i + 1 < cell.size()) {
            const char c = cell[++i];
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            out += cell[i];
        }
    }
    return out;
}

/// expected/<file>.<table>.tsv; an empty table when it cannot be read.
inline Table Expected(const std::string& file, const std::string& table)
{
    Table t;
    std::ifstream in(DataFolder() + "expected/" + file + "." + table + ".tsv", std::ios::binary);
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        size_t start = 0;
        for (;;) {
            const size_t tab = line.find('\t', start);
            cells.push_back(Unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (header)
            t.columns = std::move(cells);
        else
            t.rows.push_back(std::move(cells));
        header = false;
    }
    return t;
}

inline std::string ReadAll(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool WriteAll(const std::string& hostPath, const std::string& bytes)
{
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

/// Copies a fixture (a name under tests/data/jet, "odd/..." included) to `to`.
inline bool CopyFixture(const std::string& name, const std::string& to)
{
    const std::string bytes = ReadAll(DataFolder() + name);
    return !bytes.empty() && WriteAll(to, bytes);
}

}  // namespace jettest
