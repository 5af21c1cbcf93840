// ADIF 3, the text format loggers exchange contacts in: fields written as
// <NAME:LENGTH>value, a record ended by <EOR>, a file begun by a header ended by <EOH>.
#pragma once

#include <string>
#include <vector>

struct AdifField {
    std::string name;   // upper case
    std::string value;
    bool operator==(const AdifField&) const = default;
};
using AdifRecord = std::vector<AdifField>;

// "<NAME:N>value", N counting the value's bytes.
std::string adifField(const std::string& name, const std::string& value);

// The fields that have a value, then <EOR> and a newline.
std::string adifRecord(const AdifRecord& fields);

// The header of a new file; `created` is "YYYYMMDD HHMMSS", UTC.
std::string adifHeader(const std::string& programVersion, const std::string& created);

// The records of an ADIF text (a header, when there is one, is skipped), field names
// in upper case. False, with the reason in *error, when a field is malformed or its
// length runs past the end.
bool adifParse(const std::string& text, std::vector<AdifRecord>* records, std::string* error);

// The value of a field of a record, "" when it has none.
std::string adifValue(const AdifRecord& record, const char* name);

// Why a contact cannot be logged as it stands ("" when it can): a CALL that is not a
// call sign (empty, a space, more than 13 characters, a character other than letters,
// digits and '/'), a QSO_DATE not YYYYMMDD, a TIME_ON not HHMM or HHMMSS, a FREQ that
// is not a number of MHz.
std::string adifContactProblem(const AdifRecord& contact);
