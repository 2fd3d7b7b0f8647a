#include "update-plugin/ui/UpdateDialog.h"

#include "testing/TestApplication.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPushButton>

#include <optional>
#include <string>

using korrelvane::UpdateDialog;
using korrelvane::UpdateItem;
using korrelvane::UpdateOutcome;

namespace {

QPushButton* button(const UpdateDialog& dialog, const QString& text)
{
    for (auto* candidate : dialog.findChildren<QPushButton*>()) {
        if (candidate->text() == text && candidate->isVisible())
            return candidate;
    }
    return nullptr;
}

QStringList buttonTexts(const UpdateDialog& dialog)
{
    QStringList texts;
    for (auto* candidate : dialog.findChild<QDialogButtonBox*>()->buttons())
        texts << candidate->text();
    texts.sort();
    return texts;
}

const UpdateItem kItem { "0.10.0", "Velorin 0.10", "<b>Des cartes</b> plus nettes.", "https://exemple.fr/velorin",
    korrelvane::UpdateDownload { "https://exemple.fr/velorin-0.10.0.tar.gz", 1234, "c2ln" } };

} // namespace

TEST(UpdateDialog, ANewVersionOffersItsPageAndOnlyASignedDownloadThatCanBeChecked)
{
    testing_support::application();
    std::optional<std::string> opened;
    std::optional<UpdateItem> downloaded;
    UpdateDialog dialog([&](const std::string& url) { opened = url; });
    dialog.download = [&](const UpdateItem& item) { downloaded = item; };

    dialog.show(UpdateOutcome { UpdateOutcome::Kind::available, "0.9.9", kItem, false, {} });
    EXPECT_EQ(dialog.message(), QStringLiteral("Velorin 0.10.0 est disponible ; vous avez la version 0.9.9."));
    EXPECT_EQ(dialog.notes(), QStringLiteral("<b>Des cartes</b> plus nettes."));
    EXPECT_EQ(buttonTexts(dialog),
        (QStringList { QStringLiteral("Ouvrir la page de téléchargement"), QStringLiteral("Plus tard") }));

    dialog.show(UpdateOutcome { UpdateOutcome::Kind::available, "0.9.9", kItem, true, {} });
    ASSERT_NE(button(dialog, QStringLiteral("Télécharger")), nullptr);
    button(dialog, QStringLiteral("Télécharger"))->click();
    EXPECT_EQ(downloaded, kItem);
    dialog.showDownloading(0, 1234);
    EXPECT_EQ(dialog.message(), QStringLiteral("Téléchargement de la nouvelle version…"));

    dialog.show(UpdateOutcome { UpdateOutcome::Kind::available, "0.9.9", kItem, true, {} });
    button(dialog, QStringLiteral("Ouvrir la page de téléchargement"))->click();
    EXPECT_EQ(opened, "https://exemple.fr/velorin");
    EXPECT_FALSE(dialog.isVisible());

    dialog.show(UpdateOutcome { UpdateOutcome::Kind::tampered, "0.9.9", kItem, false, {} });
    EXPECT_EQ(dialog.message(), QStringLiteral("Le téléchargement est altéré : il a été supprimé."));
    EXPECT_EQ(dialog.notes(), QString());
    EXPECT_EQ(buttonTexts(dialog), QStringList { QStringLiteral("OK") });
}
