// The vehicle master layer and its two companion tables.
//
// TYarvel stands for Yarvel.dbf and owns TAutoMakes (AutoMake.dbf) and
// TVinTranslations (VinTrans.dbf). All three are table layers over the
// module's database object, which they reference and never own. The master
// table has one current record; every seek, iteration step and load below
// works on it and on the tag selected last, so interleaved lookups move each
// other's position.
//
// Errors are thrown: ECBDBError from the table layer (missing file, tag or
// field, unreadable table), EConvertError for a field text that should be an
// integer and is not, EYarvelError for arguments this layer refuses. The
// exported functions turn every one into the error report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Cbdb.h"
#include "Exception.h"
#include "TextHelpers.h"
#include "platform/Text.h"
#include "yarvel.h"

// Errors of the engine itself (arguments it refuses, the session state).
class EYarvelError : public Exception {
public:
    using Exception::Exception;
};

// VinTrans.dbf: coded master values and their readable descriptions.
class TVinTranslations : public TCBDataLayer {
public:
    // Registers and opens VinTrans.dbf in `path` (ending in a separator).
    TVinTranslations(TCBDatabase& database, const std::string& path);

    // The description of `code` (as the master stores it, blanks included)
    // for the master field `fieldName`, or the code itself; trimmed either way.
    std::string Translate(const std::string& fieldName, const std::string& code);

private:
    // Answers already looked up: every record load translates the same few
    // codes. The table is read-only for the session; bounded all the same.
    std::unordered_map<std::string, std::string> m_answers;
};

// AutoMake.dbf: make abbreviations and names.
class TAutoMakes : public TCBDataLayer {
public:
    // Registers AutoMake.dbf in `path`; the caller opens it.
    TAutoMakes(TCBDatabase& database, const std::string& path);

    // The make's name as stored (blank-padded), or `abbr` unchanged.
    std::string MakeName(const std::string& abbr);
    // Appends every make, in the table's current order, to the caller's list;
    // each entry's object passes to the list.
    void GetListOfMakes(const TYarvelList& list);

private:
    std::unordered_map<std::string, std::string> m_names;  // as for translations
};

// Yarvel.dbf: the vehicle descriptions, with the VIN, year/make/model and
// sub-model lookups.
class TYarvel : public TCBDataLayer {
public:
    static constexpr int32_t kMinVinSize = 9;

    // Registers Yarvel.dbf (not opened: the session start opens it), then
    // creates and opens the make and translation layers. A missing file
    // throws ECBDBError and leaves nothing registered by this object.
    TYarvel(TCBDatabase& database, const std::string& path);
    // Frees the make layer, then the translation layer, then detaches.
    ~TYarvel() override;

    bool SuppressMessages = false;
    int32_t EarliestSymbolYear = 1985;

    // Fills `record` from the current record, field by field; a conversion
    // error stops it part-way (the fields set so far keep their values).
    // EffectiveDate and RecordType are never written.
    void LoadFromCurrentRecord(TVinRecord& record);
    // The current record's field for a selector 0..15, translated (selector 0
    // proper-cased); throws EYarvelError for a selector above 15.
    std::string GetFieldValue(int selector);
    // Selectors 2..11 whose values differ among the records matching `key`
    // on `tagName`. Empty for an empty key or one that matches nothing.
    TYarvelDifferenceSet DifferenceSet(const std::string& key, const std::string& tagName);

    // VIN lookup.
    bool GetRecordByVIN(TVinRecord& record);
    bool GetRecordEffective(double date);
    void GetFirstVIN(const std::string& vin);
    void GetNextVIN();
    bool GetEndOfVIN();
    TYarvelDifferenceSet GetDifferenceFieldsVIN(const std::string& vin);
    // The VINTAG key of a VIN for the iteration: the first of masks 1..4
    // that finds a record; otherwise (after the not-found box) the VIN as
    // given; empty for a VIN shorter than kMinVinSize.
    std::string BuildVINKey(const std::string& vin);

    // Year, make and model lookup.
    void GetListOfModels(const TYarvelList& list, const TAutoMake& autoMake,
                         const std::string& year);
    bool GetRecordByYMM(TVinRecord& record);
    void GetFirstSubModel(const std::string& make, const std::string& year,
                          const std::string& model);
    void GetNextSubModel();
    bool GetEndOfModel();
    TYarvelDifferenceSet GetDifferenceFields(const std::string& make, const std::string& year,
                                             const std::string& model);
    std::string GetModelVIN(const std::string& make, const std::string& year,
                            const std::string& model);
    bool GetModelAlwaysRatesSame(const std::string& make, const std::string& year,
                                 const std::string& model,
                                 const std::vector<std::string>& fieldNames);

    TAutoMakes& Makes() { return *m_makes; }
    TVinTranslations& Translations() { return *m_translations; }

private:
    // The master field of a slot (YarvelObject.cpp) as stored; throws
    // ECBDBError when the table lacks it. The view lasts until the table moves.
    std::string_view Field(int slot);
    int32_t FieldInt(int slot);
    // Seeks the masks 1..lastMask of a VIN on VINTAG; the key that found a
    // record, or empty.
    std::string FindVINKey(const std::string& vin, int lastMask);
    void ShowNotFound(const std::string& vin) const;

    TAutoMakes* m_makes = nullptr;
    TVinTranslations* m_translations = nullptr;
    std::string m_subModelKey;
    bool m_endOfModel = false;
    std::string m_vinKey;
    bool m_endOfVIN = false;
};

// The pieces of the lookups that need no table, exposed for the engine's own
// use and kept free of state.
namespace yarvel {

// Leading and trailing characters up to blank (controls included) removed:
// the platform's trimming rule, under the engine's short name.
inline std::string Trim(std::string_view text) {
    return platform::TrimBlanks(text);
}
// Decimal digits with an optional sign; blank gives 0; anything else throws
// EConvertError "'%s' is not a valid integer value".
int32_t FieldTextToInt(const std::string& text);
// Windows-1252 upper case, as the index tags' UPPER makes it (UpperText1252).
inline std::string UpperText(std::string text) {
    return UpperText1252(std::move(text));
}

std::string ProperCase(const std::string& text);
int32_t SymbolFromText(const std::string& text);
// 2000 + n below the pivot (the last two digits of currentYear + 3), else 1900 + n.
int32_t ModelYearFromTwoDigits(int32_t n, int32_t currentYear);
// The first `min(10, size)` characters with the 9th made "&", then the mask's
// position made "&": mask 1 none, 2 the 6th, 3 the 4th, 4 the 8th, 5 the 7th.
std::string VinMask(const std::string& vin, int mask);
// Whether an EFF_DATE text (four blanks, or month and two-digit year) is in
// effect on a day-count date; throws EConvertError for other text and
// EYarvelError for a date outside the years 1 to 9999 (or not a number).
bool EffectiveOn(const std::string& effDate, double date);
// Record type, make (blank-padded to 4), year piece, model; upper-cased.
std::string BuildModelKey(int32_t recordType, const std::string& make, const std::string& year,
                          const std::string& model);
// 3 for an integer year text of 2011 or more, else 1.
int32_t RecordTypeForYear(const std::string& year);
// Translation key: the field name blank-padded to 10, then the code.
std::string TranslationKey(const std::string& fieldName, const std::string& code);

}  // namespace yarvel
