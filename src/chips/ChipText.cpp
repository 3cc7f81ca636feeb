#include "chips/ChipText.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace {

bool isPlainAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Opening a conversion costs many times what converting a title does, and a
// selection run converts every title of the table: each thread keeps the
// conversions it has used open.
class Converters {
public:
    Converters() = default;
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;
    ~Converters()
    {
        for (const auto& [names, cd] : open_)
            iconv_close(cd);
    }

    // A conversion in its initial state, or (iconv_t)-1 when iconv has none.
    iconv_t get(const char* to, const char* from)
    {
        const std::string names = std::string(to) + '<' + from;
        auto found = open_.find(names);
        if (found == open_.end()) {
            const iconv_t cd = iconv_open(to, from);
            if (cd == reinterpret_cast<iconv_t>(-1))
                return cd;
            found = open_.emplace(names, cd).first;
        }
        iconv(found->second, nullptr, nullptr, nullptr, nullptr);
        return found->second;
    }

private:
    std::map<std::string, iconv_t> open_;
};

// One conversion through iconv. With `replaceInvalid`, an input byte iconv
// rejects is skipped and U+FFFD written in its place (used only towards UTF-8).
std::optional<std::string> convert(const char* to, const char* from, const std::string& input, bool replaceInvalid)
{
    thread_local Converters converters;
    iconv_t cd = converters.get(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string output;
    std::string in = input;
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char buffer[256];
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        output.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        if (!replaceInvalid) {
            ok = false;
            break;
        }
        output += "\xEF\xBF\xBD";
        ++inPtr;
        --inLeft;
    }
    if (!ok)
        return std::nullopt;
    return output;
}

}  // namespace

namespace ChipText {

std::string titleBytes(const ChipRecord& record)
{
    const char* end = static_cast<const char*>(std::memchr(record.title, 0, sizeof record.title));
    return std::string(record.title, end ? end : record.title + sizeof record.title);
}

std::string trimmed(const std::string& text)
{
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string gbkToUtf8(const std::string& gbk)
{
    if (isPlainAscii(gbk))
        return gbk;
    return convert("UTF-8", "CP936", gbk, true).value_or(std::string());
}

std::optional<std::string> utf8ToGbk(const std::string& utf8)
{
    if (isPlainAscii(utf8))
        return utf8;
    return convert("CP936", "UTF-8", utf8, false);
}

}  // namespace ChipText
