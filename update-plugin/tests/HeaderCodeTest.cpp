#include "update-plugin/HeaderCode.h"

#include <gtest/gtest.h>

using korrelvane::code;

TEST(HeaderCode, LettersMarksAndDigitsOfEveryScriptPassAndTheRestIsPercentEncoded)
{
    struct Case {
        std::string text;
        std::string coded;
    };
    for (const auto& c : {
             Case { "Poste d'Étienne", "Poste%20d%27Étienne" },
             Case { "a+b@x.fr", "a%2Bb@x.fr" },
             Case { "jean-luc_m.dupont@exemple.fr", "jean-luc_m.dupont@exemple.fr" },
             // An Arabic-Indic three is a digit; a combining acute accent is a mark.
             Case { "poste\u0663", "poste\u0663" },
             Case { "e\u0301t\u00E9", "e\u0301t\u00E9" },
             Case { "\U0001F600", "%F0%9F%98%80" },
             Case { "50%/~", "50%25%2F%7E" },
             Case { "", "" },
         })
        EXPECT_EQ(code(c.text), c.coded) << c.text;
}

TEST(HeaderCode, TextThatIsNotUtf8GivesAnEmptyValue)
{
    for (std::string text : { std::string("caf\xC3"), std::string("\xFF" "abc"), std::string("a\xED\xA0\x80") })
        EXPECT_EQ(code(text), "");
}
