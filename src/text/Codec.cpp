#include "text/Codec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace veska {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: CP932 is not available");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in; an input byte sequence that cannot be converted calls onBad, which may append
    // a replacement and returns the number of input bytes to skip, or 0 to give up.
    template <typename OnBad>
    bool run(std::string_view in, std::string& out, OnBad onBad) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char buf[512];
        while (left > 0) {
            char* dst = buf;
            std::size_t room = sizeof buf;
            std::size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) continue;
                std::size_t skip = onBad(std::string_view(src, left), out);
                if (skip == 0) return false;
                src += skip;
                left -= skip;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string toUtf8(std::string_view sjis) {
    thread_local Converter conv("UTF-8", "CP932");
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    conv.run(sjis, out, [](std::string_view rest, std::string& o) -> std::size_t {
        o.append("\xEF\xBF\xBD");
        std::size_t w = (isLeadByte(static_cast<unsigned char>(rest[0])) && rest.size() > 1) ? 2 : 1;
        return w;
    });
    return out;
}

std::optional<Bytes> fromUtf8(std::string_view utf8) {
    thread_local Converter conv("CP932", "UTF-8");
    Bytes out;
    if (!conv.run(utf8, out, [](std::string_view, std::string&) -> std::size_t { return 0; })) return std::nullopt;
    // Some characters map to CP932 one way only ("〜" becomes "～"): such a text would come back
    // as another one, a path as another path, so it counts as not representable.
    if (toUtf8(out) != utf8) return std::nullopt;
    return out;
}

Bytes sj(std::string_view utf8) {
    auto r = fromUtf8(utf8);
    if (!r) throw std::logic_error("text not representable in CP932");
    return *r;
}

}  // namespace veska
