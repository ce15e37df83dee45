#include "palmfixture/FixtureJet.h"

#include "palmfixture/PalmFixture.h"

#include <fstream>
#include <iterator>

namespace palmfix {

bool CopyJetDatabases(const std::string& jetDir, const std::string& userHostFolder, std::string* error)
{
    static const char* const kPlaces[][2] = {
        {"Address.mdb", "address"}, {"DateBook.mdb", "datebook"}, {"Todolist.mdb", "todo"}, {"MemoPad.mdb", "MemoPad"}};
    // All four are read before anything is written, so that a missing one
    // leaves the installation as it was.
    std::string contents[4];
    for (int i = 0; i < 4; ++i) {
        const std::string from = jetDir + "/" + kPlaces[i][0];
        std::ifstream in(from, std::ios::binary);
        if (!in) {
            *error = "cannot read " + from;
            return false;
        }
        contents[i].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) {
            *error = "cannot read " + from;
            return false;
        }
    }
    for (int i = 0; i < 4; ++i) {
        const std::string folder = userHostFolder + "/" + kPlaces[i][1];
        const std::string to = folder + "/" + kPlaces[i][0];
        if (!MakeDirs(folder) || !WriteFile(to, contents[i])) {
            *error = "cannot write " + to;
            return false;
        }
    }
    return true;
}

}  // namespace palmfix
