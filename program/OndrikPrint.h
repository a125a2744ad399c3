// The printed vehicle report of the lookup window, and the printout font
// size kept in "settings.ini" in the program folder.
//
// Geometry is in printer pixels: text starts 150 from the left, the value
// column at 30% of the page width, the first line 100 from the top. Text is
// never wrapped; a line too long is cut at the page edge. Printer errors are
// not caught here: they reach the caller.
#pragma once

#include <string>

#include "Exception.h"
#include "yarvel.h"

class QPrinter;
class QWidget;

// A print job the printer service refused to start, continue or finish.
class EPrintError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr int kDefaultPrintoutFontSize = 10;
inline constexpr int kMinPrintoutFontSize = 8;
inline constexpr int kMaxPrintoutFontSize = 14;

// The size the report's body is printed at: below 8 gives 8, above 14 gives 14.
int ClampPrintoutFontSize(int size);

// "settings.ini" in the folder (a separator is added when missing), section
// "Settings", key "PrintoutFontSize"; 10 when the key is absent or its value
// is no integer (a file edited by hand must not keep the window from
// opening). A stored size outside 8..14 is answered as it stands.
int ReadPrintoutFontSize(const std::string& programFolder);

// The font size dialog: the platform's input box "Printout Font Size",
// preset with the size. An answer that is no whole number gets "The value
// must be numeric", one outside 8..14 "The value must be between 8 and 14",
// and nothing changes; otherwise size becomes the answer, which is written to
// "settings.ini" at once, and the answer is true. A cancelled box leaves the
// preset answer, which is accepted and written back unchanged. When the file
// cannot be written the size still holds for this run, and an error box says
// that it was not saved.
bool AskPrintoutFontSize(const std::string& programFolder, int& size);

// Prints the report of the record on the printer, which must be set up (a
// PDF file or a real printer): the title "Vehicle Detail Report for <year>
// <make> <model>" in 18 point bold, a rule, then one bold caption and its
// value per property line, an empty line between properties, at the clamped
// font size; a new page, 100 from its top, when a line would start below the
// bottom limit. Throws EPrintError when the printer cannot begin the job,
// start a page or finish.
void PrintVehicleDetail(QPrinter& printer, const TVinRecord& record, bool showAll, int fontSize);

// The window's print action: the standard print dialog (through ExecModal,
// so a headless run answers cancel); when confirmed, PrintVehicleDetail.
// Answers whether something was printed; throws as PrintVehicleDetail.
bool PrintWithDialog(QWidget* owner, const TVinRecord& record, bool showAll, int fontSize);
