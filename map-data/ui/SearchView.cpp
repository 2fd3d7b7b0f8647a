#include "map-data/ui/SearchView.h"

#include "widgets/Symbols.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <fmt/format.h>

namespace velorin {

SearchView::SearchView(SheetCatalog catalog, std::function<void(const Sheet&)> onSelect, QWidget* parent)
    : QDialog(parent)
    , catalog_(std::move(catalog))
    , onSelect_(std::move(onSelect))
{
    setWindowTitle("Cartes");
    auto layout = new QVBoxLayout(this);

    auto top = new QHBoxLayout;
    auto close = new QPushButton("Fermer");
    close->setObjectName("close");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    top->addWidget(close);
    query_ = new QLineEdit;
    query_->setObjectName("query");
    query_->setPlaceholderText("Nom de la carte");
    query_->setClearButtonEnabled(true);
    connect(query_, &QLineEdit::textChanged, this, [this] { update(); });
    top->addWidget(query_, 1);
    layout->addLayout(top);
    // Typing searches at once; the field comes first when tabbing too.
    setTabOrder(query_, close);
    query_->setFocus();

    // The empty page and the results take turns in the sheet's own layout, which gives a
    // wrapped message the height that its width needs.
    emptyPage_ = new QWidget;
    auto emptyLayout = new QVBoxLayout(emptyPage_);
    emptyLayout->addStretch();
    auto icon = new QLabel(Symbols::glyph("map"));
    icon->setFont(Symbols::font(kEmptySymbolPixelSize, QFont::Normal));
    icon->setAlignment(Qt::AlignCenter);
    emptyLayout->addWidget(icon);
    emptyTitle_ = new QLabel;
    emptyTitle_->setObjectName("emptyTitle");
    emptyTitle_->setAlignment(Qt::AlignCenter);
    auto font = emptyTitle_->font();
    font.setBold(true);
    emptyTitle_->setFont(font);
    emptyLayout->addWidget(emptyTitle_);
    emptyDescription_ = new QLabel;
    emptyDescription_->setObjectName("emptyDescription");
    emptyDescription_->setAlignment(Qt::AlignCenter);
    emptyDescription_->setWordWrap(true);
    emptyLayout->addWidget(emptyDescription_);
    emptyLayout->addStretch();
    layout->addWidget(emptyPage_, 1);

    resultList_ = new QListWidget;
    resultList_->setObjectName("results");
    // A click chooses, and so does Return; on desktops where a click also activates, the
    // first of the two decides.
    connect(resultList_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { choose(resultList_->row(item)); });
    connect(resultList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { choose(resultList_->row(item)); });
    layout->addWidget(resultList_, 1);

    update();
}

std::vector<Sheet> SearchView::results(const QString& query) const
{
    if (query.trimmed().isEmpty())
        return {};
    return catalog_.search(query.toStdString(), kMaxResults);
}

void SearchView::update()
{
    auto query = query_->text();
    shown_ = results(query);
    resultList_->clear();
    if (shown_.empty()) {
        if (query.trimmed().isEmpty()) {
            emptyTitle_->setText("Rechercher une carte");
            emptyDescription_->setText(
                QString::fromStdString(fmt::format("{} cartes TOP25 indexées.", catalog_.sheets().size())));
        } else {
            emptyTitle_->setText("Aucun résultat");
            emptyDescription_->setText("Aucune carte ne correspond à « " + query + " ».");
        }
        fitMessage();
        resultList_->hide();
        emptyPage_->show();
        return;
    }
    for (const auto& sheet : shown_) {
        const auto centre
            = fmt::format("{:.4f}, {:.4f}", (sheet.south + sheet.north) / 2, (sheet.west + sheet.east) / 2);
        auto item = new QListWidgetItem(resultList_);
        item->setData(Qt::UserRole, qlonglong(sheet.id));
        item->setData(Qt::AccessibleTextRole, QString::fromStdString(sheet.name + ", " + centre));
        auto row = sheetRow(QString::fromStdString(sheet.name), QString::fromStdString(centre));
        item->setSizeHint(row->sizeHint());
        resultList_->setItemWidget(item, row);
    }
    emptyPage_->hide();
    resultList_->show();
}

QWidget* SearchView::sheetRow(const QString& name, const QString& centre) const
{
    auto row = new QWidget;
    auto stack = new QVBoxLayout(row);
    stack->setSpacing(kRowSpacingPoints);
    auto nameLabel = new QLabel(name);
    nameLabel->setObjectName("sheetName");
    stack->addWidget(nameLabel);
    auto centreLabel = new QLabel(centre);
    centreLabel->setObjectName("sheetCentre");
    // Every digit as wide as the others, so that the coordinates of the rows line up.
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(font().pointSizeF() * kCaptionScale);
    centreLabel->setFont(digits);
    centreLabel->setEnabled(false);
    stack->addWidget(centreLabel);
    return row;
}

void SearchView::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitMessage();
}

void SearchView::fitMessage()
{
    // A wrapped label only asks for its one-line height: the sheet grows to its real one.
    emptyDescription_->setMinimumHeight(emptyDescription_->heightForWidth(emptyDescription_->width()));
}

void SearchView::choose(int row)
{
    if (chosen_ || row < 0 || std::size_t(row) >= shown_.size())
        return;
    chosen_ = true;
    auto sheet = shown_[std::size_t(row)];
    if (onSelect_)
        onSelect_(sheet);
    accept();
}

} // namespace velorin
