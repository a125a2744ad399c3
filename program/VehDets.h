// The program's vehicle record and its presentation as property lines.
//
// The record is the engine's boundary record TVinRecord of yarvel.h itself, not
// a copy of its layout: the engine fills the very object the program holds, so
// the two can never drift apart. Each text field holds null (the empty text) or
// a shared string that the record owns; whoever replaces a text releases the
// old one. A zero-filled record is a valid empty record.
//
// Single-threaded, like the engine.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "yarvel.h"

// The text of a record field (Windows-1252 bytes); "" for null.
std::string RecordText(const TYarvelString* text);
// A new string holding the text (null for an empty text), after releasing the
// old one; written record.VIN = ReplaceRecordText(record.VIN, text), since a
// packed field cannot be bound to a reference. Throws std::bad_alloc when
// memory runs out, and then leaves the old text alone.
TYarvelString* ReplaceRecordText(TYarvelString* old, std::string_view text);

// A record on the heap: NewVinRecord gives a zero-filled one (throws
// std::bad_alloc), and deleting it releases its texts.
struct TVinRecordDelete {
    void operator()(TVinRecord* record) const noexcept;
};
using TVinRecordPtr = std::unique_ptr<TVinRecord, TVinRecordDelete>;
TVinRecordPtr NewVinRecord();

// Releases every text and zeroes every field, then: EffectiveDate := the
// current local date and time, SpecialEngineType := "None", RecordType := 1.
void ClearVinRecord(TVinRecord& record);

// Every field of the source into the target; the target's old texts are
// released, the source's are shared (they are immutable). Copying a record
// onto itself changes nothing.
void CopyVinRecord(TVinRecord& target, const TVinRecord& source);

// The record as ordered "caption<separator>value" lines: the window's results
// grid and the printout (compact captions off) and the output data file (show
// all and compact captions on) are all made from them. Without showAll, rows
// with an empty value are left out; with compactCaptions, every blank of a
// caption is removed. Dates use platform::ShortDateFormat(). A value outside an
// enumeration's names is shown in decimal rather than left empty.
std::vector<std::string> GetVehicleProperties(const TVinRecord& record, bool showAll,
                                              const std::string& separator, bool compactCaptions);
