#include "ScreenFixture.h"

#include "map-data/ui/SearchView.h"

#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>

namespace {

class SearchViewTest : public testing_support::ScreenFixture {
protected:
    QString title(velorin::SearchView& view) { return labelText(view, "emptyTitle"); }
    QString description(velorin::SearchView& view) { return labelText(view, "emptyDescription"); }
    QListWidget* results(velorin::SearchView& view) { return child<QListWidget>(view, "results"); }
    void type(velorin::SearchView& view, const QString& text) { child<QLineEdit>(view, "query")->setText(text); }
};

} // namespace

TEST_F(SearchViewTest, BlankQueriesInviteASearchAndUnmatchedOnesSaySo)
{
    velorin::SearchView view(velorin::SheetCatalog(), {});
    EXPECT_EQ(view.windowTitle(), "Cartes");
    EXPECT_EQ(child<QLineEdit>(view, "query")->placeholderText(), "Nom de la carte");
    for (auto query : { "", "   " }) {
        type(view, query);
        EXPECT_EQ(title(view), "Rechercher une carte");
        EXPECT_EQ(description(view), "0 cartes TOP25 indexées.");
    }
    type(view, " Mont ");
    EXPECT_EQ(title(view), "Aucun résultat");
    EXPECT_EQ(description(view), "Aucune carte ne correspond à «  Mont  ».");
}

TEST_F(SearchViewTest, ResultsShowNameAndCentreAtMostSixtyAndAChoiceIsHandedOn)
{
    std::vector<velorin::Sheet> many;
    for (int i = 0; i < 70; ++i) {
        velorin::Sheet sheet;
        sheet.id = i;
        sheet.name = fmt::format("Grenoble {}", i);
        sheet.south = 45.0;
        sheet.north = 45.2;
        sheet.west = 6.0;
        sheet.east = 6.3;
        many.push_back(sheet);
    }
    std::optional<velorin::Sheet> chosen;
    velorin::SearchView view(velorin::SheetCatalog(many), [&](const velorin::Sheet& sheet) { chosen = sheet; });
    view.show();
    type(view, "grenoble");
    ASSERT_EQ(results(view)->count(), 60);
    EXPECT_EQ(results(view)->item(0)->text(), "Grenoble 0\n45.1000, 6.1500");
    EXPECT_EQ(view.results(" grenoble 1").size(), 0U) << "the query is searched with its spaces";

    emit results(view)->itemClicked(results(view)->item(2));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->name, "Grenoble 2");
    EXPECT_EQ(view.result(), QDialog::Accepted);
}
