// Index key expressions, compiled once against a table's fields and evaluated
// for every record.
//
//   expression := term { '+' term }
//   term       := FIELD | STRING | NUMBER | FUNCTION '(' arguments ')' | '(' expression ')'
//   STRING     := '...' | "..." | [...]
// Functions (names of functions and fields in any letter case):
//   STR(n [, len [, dec]])   number right-aligned in len (10) with dec (0) decimals;
//                            '*' * len when it does not fit
//   LEFT(c, n)  RIGHT(c, n)  SUBSTR(c, start [, len])
//   UPPER(c)                 ASCII and Windows-1252 letters
//   TRIM(c)  RTRIM(c)  LTRIM(c)  ALLTRIM(c)
//   DTOS(d)                  a date field as yyyymmdd
// Lengths and positions are whole-number constants. The result must be
// character text; numbers and dates enter a key through STR and DTOS.
//
// Keys have a fixed width: the widest value the expression can produce, from
// the field widths. Trimmed parts make the text shorter; the key is then
// padded with blanks to the full width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Schema.h"

class TKeyExpression {
public:
    // Largest key a compound index tag can hold.
    static constexpr std::size_t kMaxWidth = 240;

    // Throws EXbaseWrite with a message naming the expression and the fault.
    TKeyExpression(std::string_view text, const std::vector<TFieldDef>& fields);
    ~TKeyExpression();
    TKeyExpression(TKeyExpression&&) noexcept;
    TKeyExpression& operator=(TKeyExpression&&) noexcept;

    std::size_t Width() const { return m_width; }

    // Writes exactly Width() bytes for a raw record (byte 0 is the deletion
    // flag). Uses a scratch buffer: one object serves one thread.
    void Evaluate(const std::uint8_t* record, std::uint8_t* key) const;

    struct TNode;

private:
    std::unique_ptr<TNode> m_root;
    std::size_t m_width = 0;
    mutable std::string m_scratch;
};
