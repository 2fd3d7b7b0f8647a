#include "map-data/ui/SearchView.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
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

    pages_ = new QStackedWidget;
    auto empty = new QWidget;
    auto emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch();
    auto icon = new QLabel;
    icon->setPixmap(QIcon::fromTheme("folder-open").pixmap(48, 48));
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
    pages_->addWidget(empty);

    resultList_ = new QListWidget;
    resultList_->setObjectName("results");
    connect(resultList_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { choose(resultList_->row(item)); });
    connect(resultList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { choose(resultList_->row(item)); });
    pages_->addWidget(resultList_);
    layout->addWidget(pages_, 1);

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
        pages_->setCurrentIndex(0);
        return;
    }
    auto digits = QFont("monospace");
    digits.setStyleHint(QFont::TypeWriter);
    for (const auto& sheet : shown_) {
        auto centre = fmt::format("{:.4f}, {:.4f}", (sheet.south + sheet.north) / 2, (sheet.west + sheet.east) / 2);
        auto item = new QListWidgetItem(QString::fromStdString(sheet.name + "\n" + centre), resultList_);
        item->setData(Qt::UserRole, qlonglong(sheet.id));
    }
    pages_->setCurrentIndex(1);
}

void SearchView::choose(int row)
{
    if (row < 0 || std::size_t(row) >= shown_.size())
        return;
    auto sheet = shown_[std::size_t(row)];
    if (onSelect_)
        onSelect_(sheet);
    accept();
}

} // namespace velorin
