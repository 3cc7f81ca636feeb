#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "core/CatalogueRow.h"
#include "core/MessageCatalogue.h"

namespace {

std::multiset<std::string> placeholders(const std::string& text)
{
    std::multiset<std::string> found;
    for (size_t at = text.find('%'); at != std::string::npos && at + 1 < text.size(); at = text.find('%', at + 1))
        found.insert(text.substr(at, 2));
    return found;
}

// A translation that drops or adds a placeholder would lose the address or
// path it stands for in that language only.
TEST(MessageCatalogue, EveryTextExistsInEachLanguageWithTheSamePlaceholders)
{
    for (int id = 0; id < static_cast<int>(Msg::Count); ++id) {
        const std::string& english = MessageCatalogue::text(static_cast<Msg>(id), English);
        for (const int language : {SimplifiedChinese, TraditionalChinese}) {
            const std::string& text = MessageCatalogue::text(static_cast<Msg>(id), language);
            EXPECT_FALSE(text.empty()) << "message " << id << " in language " << language;
            EXPECT_EQ(placeholders(text), placeholders(english)) << "message " << id << " in language " << language;
        }
    }
}

// Rows carry their message, so two swapped rows are caught, not shown as each
// other's text: the catalogue itself is checked the same way as it is built.
TEST(MessageCatalogue, RowsAwayFromTheirMessagesPlaceAreCaught)
{
    constexpr std::array<CatalogueRow, 3> inPlace = {{{Msg::ConfigDestroyed, {"a", "a", "a"}},
                                                      {Msg::FileExists, {"b", "b", "b"}},
                                                      {Msg::FileWriteError, {"c", "c", "c"}}}};
    constexpr std::array<CatalogueRow, 3> swapped = {{{Msg::FileExists, {"b", "b", "b"}},
                                                      {Msg::ConfigDestroyed, {"a", "a", "a"}},
                                                      {Msg::FileWriteError, {"c", "c", "c"}}}};
    constexpr std::array<CatalogueRow, 3> leftOut = {{{Msg::ConfigDestroyed, {"a", "a", "a"}},
                                                      {Msg::FileWriteError, {"c", "c", "c"}}}};
    EXPECT_TRUE(RowsFollowTheirKeys(inPlace));
    EXPECT_FALSE(RowsFollowTheirKeys(swapped));
    EXPECT_FALSE(RowsFollowTheirKeys(leftOut));
}

TEST(MessageCatalogue, FormatPutsEachArgumentInOnce)
{
    EXPECT_EQ(MessageCatalogue::format(Msg::FillEndBelowStart, English, {"%2", "10"}),
              "The end address %2 lies below the start address 10.");
    EXPECT_EQ(MessageCatalogue::format(Msg::FillEndBelowStart, SimplifiedChinese, {"F", "10"}),
              "结束地址 F 小于开始地址 10。");
    EXPECT_EQ(MessageCatalogue::format(Msg::FillEndBelowStart, English, {"F"}),
              "The end address F lies below the start address %2.");
}

// Every row, in every language, formatted with arguments enough for any
// placeholder: each one its English text has lands, and none is left over.
TEST(MessageCatalogue, PlaceholdersOfEveryRowAreFilledInEachLanguage)
{
    for (int id = 0; id < static_cast<int>(Msg::Count); ++id) {
        const Msg message = static_cast<Msg>(id);
        for (const int language : {SimplifiedChinese, TraditionalChinese, English}) {
            const std::string text =
                MessageCatalogue::format(message, language, {"<1>", "<2>", "<3>", "<4>", "<5>", "<6>", "<7>", "<8>", "<9>"});
            for (const std::string& placeholder : placeholders(MessageCatalogue::text(message, English))) {
                if (std::isdigit(static_cast<unsigned char>(placeholder[1]))) {
                    EXPECT_NE(text.find("<" + placeholder.substr(1) + ">"), std::string::npos)
                        << "message " << id << " in language " << language;
                }
            }
            for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1))
                EXPECT_FALSE(at + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 1])))
                    << "message " << id << " in language " << language << ": " << text;
        }
    }
}

}  // namespace
