// The narrow interface through which a lookup asks someone to choose among
// several vehicle descriptions: the program's choice dialog, or a
// command-line tool's printed rows. The lookup procedures (YarvelPortal.h)
// build the table; a chooser only shows it and answers.
#pragma once

#include <string>
#include <vector>

#include "yarvel.h"

// The rows to choose from, with the columns in which the candidates differ.
struct TChoiceTable {
    std::string Caption;                             // "ISO: ... Choices"
    std::vector<TYarvelFieldSelector> Selectors;     // one per column, ascending
    std::vector<std::string> Titles;                 // one per column
    std::vector<std::vector<std::string>> Rows;      // cell texts, one per column
};

class TVehicleChooser {
public:
    virtual ~TVehicleChooser() = default;
    // The index of the chosen row (0 = the first), or -1 when the choice was
    // cancelled. Asked only with two rows or more.
    virtual int Choose(const TChoiceTable& table) = 0;
};
