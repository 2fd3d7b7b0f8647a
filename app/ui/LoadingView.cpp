#include "app/ui/LoadingView.h"

#include "widgets/ControlLook.h"
#include "widgets/ActivitySpinner.h"

#include <QLabel>
#include <QVBoxLayout>

namespace velorin {

LoadingView::LoadingView(QWidget* parent)
    : QWidget(parent)
{
    auto* spinner = new ActivitySpinner(this, ControlLook::secondaryColor(), kSpinnerPoints);

    auto* caption = new QLabel(QStringLiteral("Préparation de la carte…"), this);
    QPalette palette = caption->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Disabled, QPalette::WindowText));
    caption->setPalette(palette);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(kSpacingPoints);
    column->addStretch();
    column->addWidget(spinner, 0, Qt::AlignHCenter);
    column->addWidget(caption, 0, Qt::AlignHCenter);
    column->addStretch();
}

} // namespace velorin
