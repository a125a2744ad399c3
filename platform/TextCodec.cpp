#include "platform/TextCodec.h"

#include <iconv.h>

#include <cerrno>

namespace platform {
namespace {

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Converts with iconv; an unconvertible or invalid input sequence becomes
// `replacement` and the conversion goes on after it.
std::string Convert(const char* to, const char* from, std::string_view in,
                    const char* replacement) {
    if (IsAscii(in)) return std::string(in);
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: skip one input byte (a whole UTF-8 sequence
            // when reading UTF-8) and mark the gap.
            size_t skip = 1;
            if (std::string_view(from) == "UTF-8") {
                const auto lead = static_cast<unsigned char>(*src);
                skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (skip > srcLeft) skip = srcLeft;
            }
            src += skip;
            srcLeft -= skip;
            out += replacement;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    // Five byte values are undefined in Windows-1252; show them as U+FFFD.
    return Convert("UTF-8", "WINDOWS-1252", ansi, "\xEF\xBF\xBD");
}

std::string Utf8ToAnsi(std::string_view utf8) { return Convert("WINDOWS-1252", "UTF-8", utf8, "?"); }

}  // namespace platform
