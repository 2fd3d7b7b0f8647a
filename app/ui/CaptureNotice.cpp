#include "app/ui/CaptureNotice.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "app/ui/OverlayTransition.h"
#include "widgets/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace velorin {

CaptureNotice::CaptureNotice(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , symbol_(new QLabel(Symbols::glyph("camera.fill"), this))
    , text_(new QLabel(this))
    , transition_(new OverlayTransition(*this, Qt::TopEdge, kTransitionSeconds))
{
    setObjectName("captureNotice");
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ControlLook::primaryColor());
    setPalette(palette);
    const QFont font = ControlLook::textFont(kTextPixelSize, QFont::DemiBold);
    symbol_->setFont(Symbols::font(kTextPixelSize, QFont::DemiBold));
    text_->setFont(font);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPaddingPoints, kVerticalPaddingPoints, kHorizontalPaddingPoints,
        kVerticalPaddingPoints);
    row->setSpacing(kSpacingPoints);
    row->addWidget(symbol_, 0, Qt::AlignVCenter);
    row->addWidget(text_, 0, Qt::AlignVCenter);

    ControlLook::applyShadow(*this, ControlLook::kPillShadow);
    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

void CaptureNotice::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlLook::paintBackground(painter, QRectF(rect()), height() / 2.0);
}

void CaptureNotice::refresh()
{
    const auto& notice = model_.captureNotice();
    // The last text stays while the capsule leaves.
    if (notice)
        text_->setText(QString::fromStdString(*notice));
    transition_->setShown(notice.has_value());
}

} // namespace velorin
