#include "app/ui/PlaceSearchField.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "app/ui/PlaceSuggestionRow.h"
#include "app/ui/SymbolButton.h"
#include "features/PlaceSuggestionText.h"
#include "widgets/Symbols.h"

#include <QBoxLayout>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

namespace velorin {

namespace {

constexpr QSizeF kClearButtonFrame { 22, 22 };
constexpr double kMagnifierPixelSize = 17;

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A rectangle of the regular material: the box as a capsule, the panel's parts rounded.
class Material : public QWidget {
public:
    Material(double cornerRadius, QWidget* parent)
        : QWidget(parent)
        , cornerRadius_(cornerRadius)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        ControlLook::paintBackground(painter, rect(), cornerRadius_);
    }

private:
    const double cornerRadius_;
};

class MaterialLabel : public QLabel {
public:
    explicit MaterialLabel(QWidget* parent)
        : QLabel(parent)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        {
            QPainter painter(this);
            ControlLook::paintBackground(painter, rect(), PlaceSearchField::kPanelCornerRadius);
        }
        QLabel::paintEvent(event);
    }
};

class MaterialScrollArea : public QScrollArea {
public:
    explicit MaterialScrollArea(QWidget* parent)
        : QScrollArea(parent)
    {
    }

    // As tall as its rows, up to the list's maximum.
    QSize sizeHint() const override
    {
        const int rows = widget() ? widget()->sizeHint().height() : 0;
        return {width(), std::min(rows, PlaceSearchField::kListMaxHeightPoints)};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(viewport());
        ControlLook::paintBackground(painter, viewport()->rect(), PlaceSearchField::kPanelCornerRadius);
    }
};

void tint(QWidget& widget, const QColor& color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    QColor placeholder = ControlLook::secondaryColor();
    palette.setColor(QPalette::PlaceholderText, placeholder);
    widget.setPalette(palette);
}

} // namespace

PlaceSearchField::PlaceSearchField(AppModel& model, const SheetCatalog& catalog, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , catalogCenter_{(catalog.worldRect().minX + catalog.worldRect().maxX) / 2,
          (catalog.worldRect().minY + catalog.worldRect().maxY) / 2}
    , placesRevision_(model.placesRevision())
    , box_(new Material(kBoxHeightPoints / 2.0, this))
    , textBox_(new QLineEdit(box_))
    , clear_(new SymbolButton(kClearButtonFrame, kFootnotePixelSize + 3, box_))
    , chosenActions_(new PlaceActions([this](PlaceOperation operation) {
        if (chosenPlace_)
            choose(*chosenPlace_, operation);
    }, box_))
    , message_(new MaterialLabel(this))
    , list_(new MaterialScrollArea(this))
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kStackSpacingPoints);
    stack->setSizeConstraint(QLayout::SetFixedSize);

    box_->setObjectName("searchBox");
    box_->setFixedSize(kBoxWidthPoints, kBoxHeightPoints);
    box_->setAttribute(Qt::WA_Hover);
    box_->installEventFilter(this);
    auto* row = new QHBoxLayout(box_);
    row->setContentsMargins(kBoxPaddingPoints, 0, kBoxPaddingPoints, 0);
    row->setSpacing(kBoxSpacingPoints);
    auto* magnifier = new QLabel(Symbols::glyph("magnifyingglass"), box_);
    magnifier->setFont(Symbols::font(kMagnifierPixelSize, QFont::Medium));
    tint(*magnifier, ControlLook::secondaryColor());
    row->addWidget(magnifier, 0, Qt::AlignVCenter);

    textBox_->setObjectName("textBox");
    textBox_->setPlaceholderText(fromUtf8(PlaceSuggestionText::kPlaceholder));
    textBox_->setFrame(false);
    textBox_->setFont(ControlLook::textFont(kTextPixelSize, QFont::Normal));
    textBox_->setAttribute(Qt::WA_MacShowFocusRect, false);
    textBox_->setStyleSheet("QLineEdit { background: transparent; border: none; }");
    tint(*textBox_, ControlLook::primaryColor());
    textBox_->installEventFilter(this);
    row->addWidget(textBox_, 1, Qt::AlignVCenter);

    auto* clear = static_cast<SymbolButton*>(clear_);
    clear->setObjectName("clearButton");
    clear->setSymbol("xmark.circle.fill");
    clear->setTint(SymbolButton::Tint::secondary);
    clear->setAccessibleName(QStringLiteral("Effacer"));
    connect(clear, &SymbolButton::clicked, this, [this] { setQuery(""); });
    row->addWidget(clear_, 0, Qt::AlignVCenter);
    chosenActions_->setObjectName("chosenActions");
    row->addWidget(chosenActions_, 0, Qt::AlignVCenter);
    stack->addWidget(box_);

    message_->setObjectName("message");
    message_->setFixedWidth(kBoxWidthPoints);
    message_->setContentsMargins(kMessagePaddingPoints, kMessagePaddingPoints, kMessagePaddingPoints, kMessagePaddingPoints);
    message_->setFont(ControlLook::textFont(kFootnotePixelSize, QFont::Normal));
    message_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    message_->setWordWrap(true);
    tint(*message_, ControlLook::secondaryColor());
    stack->addWidget(message_, 0, Qt::AlignLeft);

    list_->setObjectName("suggestions");
    list_->setFixedWidth(kSuggestionsWidthPoints);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setWidgetResizable(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setAttribute(Qt::WA_Hover);
    list_->viewport()->setAutoFillBackground(false);
    list_->installEventFilter(this);
    stack->addWidget(list_, 0, Qt::AlignLeft);

    connect(textBox_, &QLineEdit::textChanged, this, [this] { queryDidChange(); });
    connect(textBox_, &QLineEdit::returnPressed, this, [this] {
        if (!places_.empty())
            choose(places_.front(), PlaceOperation::show);
    });
    connect(&model_, &AppModel::changed, this, [this] { modelDidChange(); });
    ControlLook::applyShadow(*this, ControlLook::kPanelShadow);
    refresh();
}

std::string PlaceSearchField::query() const
{
    return textBox_->text().toStdString();
}

void PlaceSearchField::setQuery(const std::string& text)
{
    textBox_->setText(QString::fromStdString(text));
}

void PlaceSearchField::queryDidChange()
{
    isOpen_ = PlaceSuggestionText::opensFor(chosen_, query());
    search();
    refresh();
}

void PlaceSearchField::search()
{
    const std::string trimmed = PlaceSuggestionText::trimmed(query());
    if (trimmed.empty()) {
        places_.clear();
        rebuildList();
        return;
    }
    PlaceStore& store = model_.places();
    for (const PlaceStore::Country& country : PlaceStore::countries)
        store.ensureDatabase(country.code);
    places_ = store.placeSearch(trimmed, referencePoint(), PlaceStore::kSearchLimit);
    rebuildList();
}

WorldPoint PlaceSearchField::referencePoint() const
{
    if (auto canvas = model_.canvas())
        if (auto center = canvas->cameraCenter())
            return *center;
    return catalogCenter_;
}

bool PlaceSearchField::canFly() const
{
    auto canvas = model_.canvas();
    return canvas && canvas->canStartFlight();
}

void PlaceSearchField::modelDidChange()
{
    if (model_.placesRevision() == placesRevision_)
        return;
    placesRevision_ = model_.placesRevision();
    search();
    refresh();
}

void PlaceSearchField::choose(const Place& place, PlaceOperation operation)
{
    // Copied: the search that the new text runs replaces the list the place came from.
    const Place chosen = place;
    chosen_ = chosen.name;
    chosenPlace_ = chosen;
    setQuery(chosen.name);
    isOpen_ = false;
    releaseFocus();
    model_.setIsFollowingUser(false);
    refresh();
    auto canvas = model_.canvas();
    if (!canvas)
        return;
    const Toponym toponym = chosen.toponym();
    switch (operation) {
    case PlaceOperation::show:
        canvas->show(toponym, true);
        break;
    case PlaceOperation::goDirectly:
        canvas->goDirectly(toponym);
        break;
    case PlaceOperation::flight:
        canvas->startFlight(toponym, false);
        break;
    case PlaceOperation::tour:
        canvas->startFlight(toponym, true);
        break;
    }
}

void PlaceSearchField::releaseFocus()
{
    focused_ = false;
    if (textBox_->hasFocus())
        textBox_->clearFocus();
    emit focusReleased();
}

void PlaceSearchField::focusDidChange(bool focused)
{
    focused_ = focused;
    if (!focused && !hoveringList_)
        isOpen_ = false;
    refresh();
}

bool PlaceSearchField::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == textBox_) {
        if (type == QEvent::FocusIn) {
            focusDidChange(true);
        } else if (type == QEvent::FocusOut) {
            focusDidChange(false);
        } else if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            setQuery("");
            isOpen_ = false;
            releaseFocus();
            refresh();
            return true;
        }
    } else if (watched == box_ && (type == QEvent::Enter || type == QEvent::Leave)) {
        hovering_ = type == QEvent::Enter;
        refresh();
    } else if (watched == list_ && type == QEvent::Enter) {
        // The list keeps the panel open while the keyboard goes back to the map.
        hoveringList_ = true;
        releaseFocus();
    } else if (watched == list_ && type == QEvent::Leave) {
        hoveringList_ = false;
    }
    return QWidget::eventFilter(watched, event);
}

void PlaceSearchField::rebuildList()
{
    // A row's own button may be what chose the place that brought this list.
    if (QWidget* old = list_->takeWidget())
        old->deleteLater();
    auto* rows = new QWidget;
    auto* column = new QVBoxLayout(rows);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const bool flights = canFly();
    for (const Place& place : places_) {
        auto* row = new PlaceSuggestionRow(place, flights, [this, place](PlaceOperation operation) {
            choose(place, operation);
        }, rows);
        column->addWidget(row);
    }
    column->addStretch(1);
    list_->setWidget(rows);
    // The scroll area would fill it with the window's colour over the material.
    rows->setAutoFillBackground(false);
    const int wanted = rows->sizeHint().width() + list_->verticalScrollBar()->sizeHint().width();
    const int room = window()->width() - mapTo(window(), QPoint()).x() - kSuggestionsWindowMarginPoints;
    list_->setFixedWidth(std::max(kSuggestionsWidthPoints, std::min(wanted, room)));
    list_->updateGeometry();
}

void PlaceSearchField::refresh()
{
    const std::string text = query();
    const bool showsChosen = hovering_ && !isOpen_ && chosenPlace_ && text == chosenPlace_->name;
    chosenActions_->setVisible(showsChosen);
    chosenActions_->setFlightsEnabled(canFly());
    clear_->setVisible(!showsChosen && !text.empty());

    const bool panel = isOpen_ && !text.empty();
    if (panel && places_.empty()) {
        PlaceStore& store = model_.places();
        const bool withoutDatabases = !store.canDownload() && !store.hasOpenDatabase();
        message_->setText(fromUtf8(PlaceSuggestionText::emptyMessage(
            text, withoutDatabases ? std::optional(store.directory()) : std::nullopt)));
    }
    message_->setVisible(panel && places_.empty());
    const bool listed = panel && !places_.empty();
    list_->setVisible(listed);
    if (listed)
        list_->setFixedHeight(list_->sizeHint().height());
}

} // namespace velorin
