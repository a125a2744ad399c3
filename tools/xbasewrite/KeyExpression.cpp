#include "KeyExpression.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

#include "TextHelpers.h"
#include "WriteError.h"

namespace {

enum class TKind { Char, Number, Date, Logical };

const char* KindName(TKind kind) {
    switch (kind) {
        case TKind::Char:
            return "character";
        case TKind::Number:
            return "numeric";
        case TKind::Date:
            return "date";
        case TKind::Logical:
            return "logical";
    }
    return "?";
}

void UpperInPlace(std::string& text, std::size_t from) {
    text = UpperText1252(std::move(text), from);
}

// The number a text starts with, as VAL reads it: blanks, a sign, digits and
// a decimal part; anything else ends it, and no digits at all read as zero.
// Held as digits (no float rounding), without allocating: keys are built
// for every record.
struct TDecimal {
    static constexpr std::size_t kMaxDigits = 64;
    bool negative = false;
    char digits[kMaxDigits + 1];  // whole part then fraction, leading zeros dropped
    std::size_t wholeCount = 0;
    std::size_t fractionCount = 0;
};

void ParseDecimal(std::string_view text, TDecimal& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) value.negative = text[i++] == '-';
    while (i < text.size() && text[i] == '0') ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        if (value.wholeCount < TDecimal::kMaxDigits) value.digits[value.wholeCount++] = text[i];
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) &&
               value.wholeCount + value.fractionCount < TDecimal::kMaxDigits)
            value.digits[value.wholeCount + value.fractionCount++] = text[i++];
    }
}

// Writes the number with `places` decimals, rounded half away from zero, into
// `out` (room for kMaxDigits + 3); returns its length.
std::size_t FormatDecimal(const TDecimal& value, std::size_t places, char* out) {
    char digits[TDecimal::kMaxDigits + 2];
    std::size_t count = value.wholeCount + places;
    digits[0] = '0';  // room for a carry
    for (std::size_t k = 0; k < count; ++k)
        digits[k + 1] = k < value.wholeCount + value.fractionCount ? value.digits[k] : '0';
    if (places < value.fractionCount && value.digits[value.wholeCount + places] >= '5') {
        std::size_t k = count;
        while (digits[k] == '9') digits[k--] = '0';
        ++digits[k];
    }
    // Skip the unused carry digit and any zeros it leaves in front.
    std::size_t first = 0;
    while (first < count - places && digits[first] == '0') ++first;
    bool zero = true;
    for (std::size_t k = first; k <= count; ++k) zero = zero && digits[k] == '0';
    std::size_t length = 0;
    if (value.negative && !zero) out[length++] = '-';
    for (std::size_t k = first; k <= count - places; ++k) out[length++] = digits[k];
    if (places > 0) {
        out[length++] = '.';
        for (std::size_t k = count - places + 1; k <= count; ++k) out[length++] = digits[k];
    }
    return length;
}

// STR(): right-aligned in `width`; decimals are dropped (rounding again) when
// the number does not fit with them, asterisks when it does not fit at all.
void AppendStr(std::string_view text, std::size_t width, std::size_t decimals, std::string& out) {
    TDecimal value;
    ParseDecimal(text, value);
    decimals = std::min(decimals, TDecimal::kMaxDigits - value.wholeCount);
    char result[TDecimal::kMaxDigits + 4];
    for (std::size_t places = decimals + 1; places-- > 0;) {
        if (places > 0 && places + 2 > width) continue;
        std::size_t length = FormatDecimal(value, places, result);
        if (length <= width) {
            out.append(width - length, ' ');
            out.append(result, length);
            return;
        }
    }
    out.append(width, '*');
}

}  // namespace

struct TKeyExpression::TNode {
    TKind kind = TKind::Char;
    std::size_t width = 0;

    virtual ~TNode() = default;
    // Character and date values: appends the bytes.
    virtual void Append(const std::uint8_t* record, std::string& out) const = 0;
    // Numeric values: the text the number is read from.
    virtual std::string_view NumberText(const std::uint8_t*) const { return {}; }
};

namespace {

using TNode = TKeyExpression::TNode;
using TNodePtr = std::unique_ptr<TNode>;

// Bytes of a field, maybe cut and upper-cased: what most keys are made of.
struct TSlice : TNode {
    std::uint32_t offset;
    bool upper = false;
    TSlice(TKind k, std::uint32_t off, std::size_t len) : offset(off) {
        kind = k;
        width = len;
    }
    void Append(const std::uint8_t* record, std::string& out) const override {
        std::size_t from = out.size();
        out.append(reinterpret_cast<const char*>(record + offset), width);
        if (upper) UpperInPlace(out, from);
    }
    std::string_view NumberText(const std::uint8_t* record) const override {
        return {reinterpret_cast<const char*>(record + offset), width};
    }
};

struct TLiteral : TNode {
    std::string text;
    TLiteral(TKind k, std::string t) : text(std::move(t)) {
        kind = k;
        width = text.size();
    }
    void Append(const std::uint8_t*, std::string& out) const override { out += text; }
    std::string_view NumberText(const std::uint8_t*) const override { return text; }
};

struct TConcat : TNode {
    std::vector<TNodePtr> parts;
    void Append(const std::uint8_t* record, std::string& out) const override {
        for (const auto& part : parts) part->Append(record, out);
    }
};

enum class TOp { Left, Right, Substr, Upper, RTrim, LTrim, AllTrim, Dtos };

// Functions over a computed value work in place at the end of the buffer.
struct TFunction : TNode {
    TOp op;
    TNodePtr arg;
    std::size_t start = 0;  // SUBSTR: from 0
    std::size_t count = 0;  // LEFT, RIGHT, SUBSTR
    TFunction(TOp o, TNodePtr a) : op(o), arg(std::move(a)) {}
    void Append(const std::uint8_t* record, std::string& out) const override {
        std::size_t mark = out.size();
        arg->Append(record, out);
        std::size_t length = out.size() - mark;
        switch (op) {
            case TOp::Left:
                out.resize(mark + std::min(length, count));
                break;
            case TOp::Right:
                if (length > count) out.erase(mark, length - count);
                break;
            case TOp::Substr:
                out.erase(mark, std::min(length, start));
                out.resize(mark + std::min(out.size() - mark, count));
                break;
            case TOp::Upper:
                UpperInPlace(out, mark);
                break;
            case TOp::RTrim:
                while (out.size() > mark && out.back() == ' ') out.pop_back();
                break;
            case TOp::LTrim:
                out.erase(mark, std::min(length, out.find_first_not_of(' ', mark) - mark));
                break;
            case TOp::AllTrim:
                while (out.size() > mark && out.back() == ' ') out.pop_back();
                out.erase(mark,
                          std::min(out.size() - mark, out.find_first_not_of(' ', mark) - mark));
                break;
            case TOp::Dtos:
                break;  // a date's bytes are already yyyymmdd
        }
    }
};

struct TStr : TNode {
    TNodePtr arg;
    std::size_t decimals;
    TStr(TNodePtr a, std::size_t len, std::size_t dec) : arg(std::move(a)), decimals(dec) {
        width = len;
    }
    void Append(const std::uint8_t* record, std::string& out) const override {
        AppendStr(arg->NumberText(record), width, decimals, out);
    }
};

struct TToken {
    enum Type { End, Name, String, Number, Plus, Open, Close, Comma } type = End;
    std::string text;
    std::size_t position = 0;  // 1-based column
};

class TCompiler {
public:
    TCompiler(std::string_view text, const std::vector<TFieldDef>& fields)
        : m_text(text), m_fields(fields) {
        Tokenize();
    }

    TNodePtr Compile() {
        TNodePtr root = ParseSum();
        if (Peek().type != TToken::End) Fail("unexpected '" + Peek().text + "'", Peek().position);
        if (root->kind != TKind::Char) {
            std::string hint = root->kind == TKind::Number ? " (use STR() for numbers)"
                               : root->kind == TKind::Date ? " (use DTOS() for dates)"
                                                           : "";
            Fail(std::string("the key must be character text, not ") + KindName(root->kind) + hint);
        }
        if (root->width == 0) Fail("the key is always empty");
        if (root->width > TKeyExpression::kMaxWidth)
            Fail("the key is " + std::to_string(root->width) + " bytes wide; at most " +
                 std::to_string(TKeyExpression::kMaxWidth) + " fit in an index");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& message, std::size_t position = 0) const {
        std::string where = position > 0 ? " at column " + std::to_string(position) : "";
        throw EXbaseWrite("key expression \"" + std::string(m_text) + "\": " + message + where);
    }

    void Tokenize() {
        std::size_t i = 0;
        while (i < m_text.size()) {
            unsigned char c = static_cast<unsigned char>(m_text[i]);
            if (std::isspace(c)) {
                ++i;
                continue;
            }
            TToken token;
            token.position = i + 1;
            if (std::isalpha(c) || c == '_') {
                std::size_t start = i;
                while (i < m_text.size() &&
                       (std::isalnum(static_cast<unsigned char>(m_text[i])) || m_text[i] == '_'))
                    ++i;
                token.type = TToken::Name;
                token.text = std::string(m_text.substr(start, i - start));
            } else if (std::isdigit(c)) {
                std::size_t start = i;
                while (i < m_text.size() &&
                       (std::isdigit(static_cast<unsigned char>(m_text[i])) || m_text[i] == '.'))
                    ++i;
                token.type = TToken::Number;
                token.text = std::string(m_text.substr(start, i - start));
                if (std::count(token.text.begin(), token.text.end(), '.') > 1 ||
                    token.text.back() == '.')
                    Fail("malformed number '" + token.text + "'", token.position);
            } else if (c == '\'' || c == '"' || c == '[') {
                char close = c == '[' ? ']' : static_cast<char>(c);
                std::size_t end = m_text.find(close, i + 1);
                if (end == std::string_view::npos) Fail("unterminated text", token.position);
                token.type = TToken::String;
                token.text = std::string(m_text.substr(i + 1, end - i - 1));
                i = end + 1;
            } else {
                token.text = std::string(1, static_cast<char>(c));
                switch (c) {
                    case '+':
                        token.type = TToken::Plus;
                        break;
                    case '(':
                        token.type = TToken::Open;
                        break;
                    case ')':
                        token.type = TToken::Close;
                        break;
                    case ',':
                        token.type = TToken::Comma;
                        break;
                    default:
                        Fail("unexpected '" + token.text + "'", token.position);
                }
                ++i;
            }
            m_tokens.push_back(token);
        }
        TToken end;
        end.position = m_text.size() + 1;
        end.text = "end of text";
        m_tokens.push_back(end);
    }

    const TToken& Peek() const { return m_tokens[m_next]; }
    const TToken& Take() { return m_tokens[m_next++]; }
    void Expect(TToken::Type type, const char* what) {
        if (Peek().type != type)
            Fail(std::string("expected ") + what + " but found '" + Peek().text + "'",
                 Peek().position);
        ++m_next;
    }

    TNodePtr ParseSum() {
        std::size_t position = Peek().position;
        TNodePtr first = ParseTerm();
        if (Peek().type != TToken::Plus) return first;
        auto sum = std::make_unique<TConcat>();
        auto add = [&](TNodePtr part, std::size_t at) {
            if (part->kind != TKind::Char)
                Fail(std::string("'+' joins character text; this part is ") + KindName(part->kind),
                     at);
            sum->width += part->width;
            if (auto* inner = dynamic_cast<TConcat*>(part.get())) {
                for (auto& p : inner->parts) sum->parts.push_back(std::move(p));
            } else {
                sum->parts.push_back(std::move(part));
            }
        };
        add(std::move(first), position);
        while (Peek().type == TToken::Plus) {
            Take();
            position = Peek().position;
            add(ParseTerm(), position);
        }
        return sum;
    }

    TNodePtr ParseTerm() {
        // Parsing and evaluation recurse once per level: keep the stack small.
        struct TDepth {
            std::size_t& depth;
            explicit TDepth(std::size_t& d) : depth(++d) {}
            ~TDepth() { --depth; }
        } depth(m_depth);
        if (m_depth > kMaxDepth) Fail("nested more than 32 levels deep", Peek().position);
        const TToken& token = Take();
        switch (token.type) {
            case TToken::String:
                return std::make_unique<TLiteral>(TKind::Char, token.text);
            case TToken::Number:
                return std::make_unique<TLiteral>(TKind::Number, token.text);
            case TToken::Open: {
                TNodePtr inner = ParseSum();
                Expect(TToken::Close, "')'");
                return inner;
            }
            case TToken::Name:
                if (Peek().type == TToken::Open) return ParseCall(token);
                return FieldNode(token);
            default:
                Fail("expected a field, function or text but found '" + token.text + "'",
                     token.position);
        }
    }

    TNodePtr FieldNode(const TToken& token) const {
        std::string name = ToUpperAscii(token.text);
        for (const auto& field : m_fields) {
            if (field.name != name) continue;
            switch (field.type) {
                case 'C':
                    return std::make_unique<TSlice>(TKind::Char, field.offset, field.length);
                case 'N':
                    return std::make_unique<TSlice>(TKind::Number, field.offset, field.length);
                case 'D':
                    return std::make_unique<TSlice>(TKind::Date, field.offset, field.length);
                case 'L':
                    Fail("logical field " + name + " cannot be part of a key", token.position);
                default:
                    Fail("field " + name + " of type '" + std::string(1, field.type) +
                             "' cannot be part of a key",
                         token.position);
            }
        }
        Fail("no field named " + name, token.position);
    }

    std::size_t Count(const TNodePtr& node, const char* function, const char* what,
                      std::size_t position, std::size_t minimum) const {
        auto* literal = dynamic_cast<const TLiteral*>(node.get());
        std::size_t value = 0;
        if (literal != nullptr && literal->kind == TKind::Number &&
            literal->text.find('.') == std::string::npos) {
            auto [ptr, ec] = std::from_chars(literal->text.data(),
                                             literal->text.data() + literal->text.size(), value);
            if (ec == std::errc() && value >= minimum && value <= 255) return value;
        }
        Fail(std::string(function) + ": the " + what + " must be a whole number from " +
                 std::to_string(minimum) + " to 255",
             position);
    }

    TNodePtr ParseCall(const TToken& nameToken) {
        std::string name = ToUpperAscii(nameToken.text);
        std::size_t at = nameToken.position;
        Expect(TToken::Open, "'('");
        std::vector<TNodePtr> args;
        std::vector<std::size_t> positions;
        if (Peek().type != TToken::Close) {
            for (;;) {
                positions.push_back(Peek().position);
                args.push_back(ParseSum());
                if (Peek().type != TToken::Comma) break;
                Take();
            }
        }
        Expect(TToken::Close, "')' or ','");

        struct TSignature {
            const char* name;
            std::size_t minArgs, maxArgs;
            TKind argKind;
        };
        static const TSignature kFunctions[] = {
            {"STR", 1, 3, TKind::Number},   {"LEFT", 2, 2, TKind::Char},
            {"RIGHT", 2, 2, TKind::Char},   {"SUBSTR", 2, 3, TKind::Char},
            {"UPPER", 1, 1, TKind::Char},   {"TRIM", 1, 1, TKind::Char},
            {"RTRIM", 1, 1, TKind::Char},   {"LTRIM", 1, 1, TKind::Char},
            {"ALLTRIM", 1, 1, TKind::Char}, {"DTOS", 1, 1, TKind::Date},
        };
        const TSignature* signature = nullptr;
        for (const auto& candidate : kFunctions) {
            if (name == candidate.name) signature = &candidate;
        }
        if (signature == nullptr) Fail("unknown function " + name + "()", at);
        if (args.size() < signature->minArgs || args.size() > signature->maxArgs)
            Fail(name + "() takes " + std::to_string(signature->minArgs) +
                     (signature->maxArgs > signature->minArgs
                          ? " to " + std::to_string(signature->maxArgs)
                          : std::string()) +
                     " arguments",
                 at);
        if (args[0]->kind != signature->argKind)
            Fail(name + "() needs a " + KindName(signature->argKind) + " value, not " +
                     KindName(args[0]->kind),
                 positions[0]);

        if (name == "STR") {
            std::size_t width =
                args.size() > 1 ? Count(args[1], "STR", "length", positions[1], 1) : 10;
            std::size_t decimals =
                args.size() > 2 ? Count(args[2], "STR", "decimal count", positions[2], 0) : 0;
            return std::make_unique<TStr>(std::move(args[0]), width, decimals);
        }
        if (name == "DTOS") {
            auto node = std::make_unique<TFunction>(TOp::Dtos, std::move(args[0]));
            node->width = 8;
            return node;
        }
        TNodePtr& arg = args[0];
        std::size_t width = arg->width;
        auto* slice = dynamic_cast<TSlice*>(arg.get());
        if (name == "LEFT" || name == "RIGHT") {
            std::size_t count = Count(args[1], name.c_str(), "length", positions[1], 0);
            std::size_t kept = std::min(count, width);
            if (slice != nullptr) {
                if (name == "RIGHT") slice->offset += static_cast<std::uint32_t>(width - kept);
                slice->width = kept;
                return std::move(arg);
            }
            auto node = std::make_unique<TFunction>(name == "LEFT" ? TOp::Left : TOp::Right,
                                                    std::move(arg));
            node->count = count;
            node->width = kept;
            return node;
        }
        if (name == "SUBSTR") {
            std::size_t start = Count(args[1], "SUBSTR", "start", positions[1], 1) - 1;
            std::size_t count =
                args.size() > 2 ? Count(args[2], "SUBSTR", "length", positions[2], 0) : 255;
            std::size_t kept = start >= width ? 0 : std::min(count, width - start);
            if (slice != nullptr) {
                slice->offset += static_cast<std::uint32_t>(std::min(start, width));
                slice->width = kept;
                return std::move(arg);
            }
            auto node = std::make_unique<TFunction>(TOp::Substr, std::move(arg));
            node->start = start;
            node->count = count;
            node->width = kept;
            return node;
        }
        if (name == "UPPER") {
            if (slice != nullptr) {
                slice->upper = true;
                return std::move(arg);
            }
            if (auto* literal = dynamic_cast<TLiteral*>(arg.get())) {
                UpperInPlace(literal->text, 0);
                return std::move(arg);
            }
        }
        TOp op = name == "UPPER"     ? TOp::Upper
                 : name == "LTRIM"   ? TOp::LTrim
                 : name == "ALLTRIM" ? TOp::AllTrim
                                     : TOp::RTrim;
        auto node = std::make_unique<TFunction>(op, std::move(arg));
        node->width = width;
        return node;
    }

    std::string_view m_text;
    const std::vector<TFieldDef>& m_fields;
    static constexpr std::size_t kMaxDepth = 32;
    std::vector<TToken> m_tokens;
    std::size_t m_next = 0;
    std::size_t m_depth = 0;
};

}  // namespace

TKeyExpression::TKeyExpression(std::string_view text, const std::vector<TFieldDef>& fields) {
    m_root = TCompiler(text, fields).Compile();
    m_width = m_root->width;
    m_scratch.reserve(m_width + 256);
}

TKeyExpression::~TKeyExpression() = default;
TKeyExpression::TKeyExpression(TKeyExpression&&) noexcept = default;
TKeyExpression& TKeyExpression::operator=(TKeyExpression&&) noexcept = default;

void TKeyExpression::Evaluate(const std::uint8_t* record, std::uint8_t* key) const {
    m_scratch.clear();
    m_root->Append(record, m_scratch);
    std::size_t length = std::min(m_scratch.size(), m_width);
    std::memcpy(key, m_scratch.data(), length);
    std::memset(key + length, ' ', m_width - length);
}
