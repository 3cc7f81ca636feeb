#include "chips/SplitTitle.h"

namespace {

class TitleCursor {
public:
    // The text ends at its first NUL, as a title does.
    explicit TitleCursor(const std::string& text) : text_(text.substr(0, text.find('\0'))) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    unsigned char peek() const { return atEnd() ? 0 : static_cast<unsigned char>(text_[pos_]); }
    bool nextIsLast() const { return pos_ + 1 >= text_.size(); }

    // Steps over one character: two bytes for a code page 936 lead byte that
    // has a second byte, one otherwise.
    void advance()
    {
        unsigned char c = peek();
        pos_ += c >= 0x81 && c <= 0xFE && pos_ + 1 < text_.size() ? 2 : 1;
    }

    void skipBlanks()
    {
        while (!atEnd() && peek() >= 1 && peek() <= 32)
            ++pos_;
    }

    std::string quotedItem()
    {
        std::string item;
        ++pos_;
        while (!atEnd()) {
            if (peek() == '"') {
                ++pos_;
                if (peek() != '"')
                    return item;
            }
            size_t start = pos_;
            advance();
            item.append(text_, start, pos_ - start);
        }
        return item;
    }

    std::string plainItem()
    {
        size_t start = pos_;
        while (!atEnd() && peek() > 32 && peek() != ',')
            advance();
        return text_.substr(start, pos_ - start);
    }

private:
    std::string text_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<std::string> SplitTitle(const std::string& title)
{
    std::vector<std::string> items;
    TitleCursor cursor(title);
    cursor.skipBlanks();
    while (!cursor.atEnd()) {
        items.push_back(cursor.peek() == '"' ? cursor.quotedItem() : cursor.plainItem());
        cursor.skipBlanks();
        if (cursor.peek() == ',') {
            if (cursor.nextIsLast())
                items.emplace_back();
            cursor.advance();
            cursor.skipBlanks();
        }
    }
    return items;
}
