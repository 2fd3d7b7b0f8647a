#include "ScreenFixture.h"

#include "map-data/ui/SearchView.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QTest>
#include <QListWidget>

#include <filesystem>

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
    QWidget* row = results(view)->itemWidget(results(view)->item(0));
    ASSERT_TRUE(row);
    EXPECT_EQ(labelText(*row, "sheetName"), "Grenoble 0");
    QLabel* centre = child<QLabel>(*row, "sheetCentre");
    EXPECT_EQ(centre->text(), "45.1000, 6.1500");
    const QFontMetricsF metrics(centre->font());
    for (char digit = '1'; digit <= '9'; ++digit)
        EXPECT_EQ(metrics.horizontalAdvance(QChar(digit)), metrics.horizontalAdvance(QChar('0')))
            << digit << ": the centre's digits line up from row to row";
    EXPECT_LT(centre->font().pointSizeF(), child<QLabel>(*row, "sheetName")->font().pointSizeF());
    EXPECT_EQ(view.results(" grenoble 1").size(), 0U) << "the query is searched with its spaces";

    int choices = 0;
    velorin::SearchView counted(velorin::SheetCatalog(many), [&](const velorin::Sheet& sheet) {
        chosen = sheet;
        ++choices;
    });
    type(counted, "grenoble");
    // A desktop where a click activates sends both.
    emit results(counted)->itemClicked(results(counted)->item(2));
    emit results(counted)->itemActivated(results(counted)->item(2));
    EXPECT_EQ(choices, 1);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->name, "Grenoble 2");
    EXPECT_EQ(counted.result(), QDialog::Accepted);
}

TEST_F(SearchViewTest, TheFieldTakesTheTypingAndAMissShowsItsWholeMessage)
{
    QWidget parent;
    parent.resize(600, 400);
    parent.show();
    auto* view = new velorin::SearchView(velorin::SheetCatalog(), {}, &parent);
    view->open();
    QApplication::processEvents();
    auto* query = child<QLineEdit>(*view, "query");
    EXPECT_EQ(QApplication::focusWidget(), query) << "typed letters go to the search";
    QTest::keyClicks(QApplication::focusWidget(), "Belledonne");
    EXPECT_EQ(query->text(), "Belledonne");
    query->setText("Massif de la Chartreuse et de Belledonne, versant nord");
    QApplication::processEvents();

    QLabel* description = child<QLabel>(*view, "emptyDescription");
    EXPECT_EQ(description->text(), "Aucune carte ne correspond à « Massif de la Chartreuse et de Belledonne, versant nord ».");
    const int needed = description->heightForWidth(description->width());
    EXPECT_GE(description->height(), needed) << "the message is laid out at its full height";
    const QImage shot = view->grab().toImage();
    EXPECT_TRUE(shot.save(QString::fromStdString((std::filesystem::read_symlink("/proc/self/exe").parent_path() / "search-miss.png").string())));
}
