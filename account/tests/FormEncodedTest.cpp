#include "account/FormEncoded.h"

#include <gtest/gtest.h>

using velorin::FormFields;
using velorin::formEncoded;

TEST(FormEncoded, FieldsAreSortedByNameAndOnlyUnreservedCharactersStayAsTheyAre)
{
    struct Case {
        FormFields fields;
        const char* body;
    };
    for (const auto& c : {
             Case { {}, "" },
             Case { { { "password", "a+b c" }, { "login", "marie@example.fr" } },
                 "login=marie%40example.fr&password=a%2Bb%20c" },
             Case { { { "nom", "Éloïse & Zoé=1" } }, "nom=%C3%89lo%C3%AFse%20%26%20Zo%C3%A9%3D1" },
             Case { { { "redirect_uri", "http://127.0.0.1:5/" }, { "code", "4/0A-b_c.d~e" } },
                 "code=4%2F0A-b_c.d~e&redirect_uri=http%3A%2F%2F127.0.0.1%3A5%2F" },
             Case { { { "a b", "" } }, "a%20b=" },
         })
        EXPECT_EQ(formEncoded(c.fields), c.body);
}
