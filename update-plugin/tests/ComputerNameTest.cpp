#include "update-plugin/ComputerName.h"

#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <fstream>

namespace {

std::string systemHostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    gethostname(name, sizeof name);
    return name;
}

} // namespace

TEST(ComputerName, ThePrettyNameIsReadAsTheShellWouldQuoteIt)
{
    struct Case {
        std::string file;
        std::string name;
    };
    testing_support::TemporaryFolder folder;
    const auto path = folder.path() / "machine-info";
    for (const auto& c : {
             Case { "PRETTY_HOSTNAME=\"Poste d'Étienne\"\n", "Poste d'Étienne" },
             Case { "CHASSIS=laptop\nPRETTY_HOSTNAME='Le \"grand\" PC'\nDEPLOYMENT=production\n", "Le \"grand\" PC" },
             Case { "PRETTY_HOSTNAME=Atelier\\ du\\ bas\n", "Atelier du bas" },
             Case { "PRETTY_HOSTNAME=\"Portable \\\"bleu\\\"\"\n", "Portable \"bleu\"" },
         }) {
        std::ofstream(path) << c.file;
        EXPECT_EQ(korrelvane::computerName(path), c.name) << c.file;
    }
}

TEST(ComputerName, WithoutAUsablePrettyNameTheHostNameIsUsed)
{
    testing_support::TemporaryFolder folder;
    const auto path = folder.path() / "machine-info";
    EXPECT_EQ(korrelvane::computerName(path), systemHostName()) << "no file";
    for (const std::string file : { "CHASSIS=desktop\n", "PRETTY_HOSTNAME=\n", "PRETTY_HOSTNAME=\"ouvert\n" }) {
        std::ofstream(path) << file;
        EXPECT_EQ(korrelvane::computerName(path), systemHostName()) << file;
    }
}
