// Every field a record viewer shows, as a flat list of named texts, for
// comparing a duplicate with the record kept in its place: the review page's
// "Deleting loses" column and the compare window.
//
// Fields are read from the record's native copy, as the viewers read them,
// so a contact's third e-mail or its profession counts although the common
// record has no room for it. A value is the field's text in the record's own
// encoding (UTF-8 for 6.x records, ANSI for the .dat generations); numbers,
// dates and flags are written as ASCII texts, and a flag that is off, a
// missing date and "no repeat" are empty, so that only values that are there
// can be lost.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class PmFacadeSet;

struct TRecordField {
    std::string name;   ///< as the viewer labels it: "Home City", "E-mail 2"
    std::string group;  ///< what the loss column names: "Home Address"
    std::string value;  ///< empty when the record holds nothing there
};
using TRecordFields = std::vector<TRecordField>;

/// The fields of a record of an application (0 contacts .. 3 notes) of the
/// facade set; empty for a record without a native copy.
TRecordFields RecordFields(PmFacadeSet* set, int app, const void* rec);
/// The same for a record whose category name (as its facade gives it) is
/// `category`.
TRecordFields RecordFieldsOf(int app, const void* rec, const std::string& category);

/// Whether `kept` holds the value of `field`: a field of the same name with
/// an equal text, equal under the rule's case setting (ASCII letters folded
/// when not case-sensitive). An empty value is always held.
bool FieldHeld(const TRecordField& field, const TRecordFields& kept, bool caseSensitive);

/// The groups of the fields in which `copy` holds a value that `kept` does
/// not, each once, in the copy's order; empty when deleting the copy loses
/// nothing.
std::vector<std::string> LostFields(const TRecordFields& copy, const TRecordFields& kept, bool caseSensitive);
