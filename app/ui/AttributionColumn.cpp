#include "app/ui/AttributionColumn.h"

#include "app/AppModel.h"
#include "app/ui/HaloEffect.h"
#include "app/ui/ScaleBar.h"

#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace velorin {

namespace {
constexpr double kShadowOpacity = 0.5;
constexpr double kShadowRadiusPoints = 2;
} // namespace

AttributionColumn::AttributionColumn(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , attribution_(new QLabel(this))
    , scaleBar_(new ScaleBar(model, this))
{
    // A provider's credit, shown as it is written.
    attribution_->setTextFormat(Qt::PlainText);
    QFont font = attribution_->font();
    font.setPointSize(kFontPoints);
    font.setWeight(QFont::Medium);
    attribution_->setFont(font);
    QPalette palette = attribution_->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    attribution_->setPalette(palette);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacingPoints);
    column->addWidget(attribution_, 0, Qt::AlignLeft);
    column->addWidget(scaleBar_, 0, Qt::AlignLeft);

    setGraphicsEffect(new HaloEffect(QColor(0, 0, 0, int(std::lround(255 * kShadowOpacity))), kShadowRadiusPoints, this));

    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

void AttributionColumn::refresh()
{
    const auto text = model_.basemap().attribution();
    attribution_->setVisible(text.has_value());
    if (text)
        attribution_->setText(QString::fromUtf8(text->data(), qsizetype(text->size())));
}

} // namespace velorin
