#include "library/PhotoViewer.h"

#include "library/PhotoPage.h"
#include "platform/FrenchDate.h"
#include "widgets/ControlLook.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace velorin {

namespace {

bool inList(int index, std::size_t count)
{
    return index >= 0 && std::size_t(index) < count;
}

} // namespace

PhotoViewer::PhotoViewer(std::vector<TrackPhoto> photos, int index, std::filesystem::path pictures,
    platform::Executor& decodes, platform::MainQueue& main, std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent)
    , photos_(std::move(photos))
    , index_(index)
    , dismiss_(std::move(dismiss))
    , title_(new QLabel(this))
    , close_(new QPushButton(QStringLiteral("Fermer"), this))
    , page_(new PhotoPage(inList(index, photos_.size()) ? photos_[std::size_t(index)].id : std::string(),
          std::move(pictures), decodes, main, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);

    // The bar: the title centred over its whole width, the button at the trailing end.
    auto* bar = new QWidget(this);
    bar->setFixedHeight(kBarHeightPoints);
    bar->setAutoFillBackground(true);
    QPalette barPalette = bar->palette();
    barPalette.setColor(QPalette::Window, QColor(28, 28, 30));
    bar->setPalette(barPalette);
    auto* barLayout = new QGridLayout(bar);
    barLayout->setContentsMargins(kBarPaddingPoints, 0, kBarPaddingPoints, 0);
    title_->setParent(bar);
    title_->setFont(ControlLook::textFont(kTitlePoints, QFont::DemiBold));
    title_->setAlignment(Qt::AlignCenter);
    QPalette titlePalette = title_->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::white);
    title_->setPalette(titlePalette);
    close_->setParent(bar);
    close_->setFlat(true);
    close_->setFocusPolicy(Qt::NoFocus);
    close_->setCursor(Qt::PointingHandCursor);
    close_->setFont(ControlLook::textFont(kTitlePoints, QFont::DemiBold));
    QPalette closePalette = close_->palette();
    closePalette.setColor(QPalette::ButtonText, ControlLook::accentColor());
    close_->setPalette(closePalette);
    barLayout->addWidget(title_, 0, 0, Qt::AlignCenter);
    barLayout->addWidget(close_, 0, 0, Qt::AlignRight | Qt::AlignVCenter);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, showsPageDots() ? kDotsStripPoints : 0);
    column->setSpacing(0);
    column->addWidget(bar);
    column->addWidget(page_, 1);

    connect(close_, &QPushButton::clicked, this, [this] { dismiss_(); });
    title_->setText(title());
}

void PhotoViewer::setIndex(int index)
{
    if (index == index_)
        return;
    index_ = index;
    title_->setText(title());
    page_->setId(inList(index_, photos_.size()) ? photos_[std::size_t(index_)].id : std::string());
    update();
}

QString PhotoViewer::title() const
{
    if (!inList(index_, photos_.size()))
        return {};
    return QString::fromStdString(platform::frenchDate(photos_[std::size_t(index_)].date, { .year = true, .time = true }));
}

void PhotoViewer::turn(int step)
{
    const int last = int(photos_.size()) - 1;
    if (last >= 0)
        setIndex(std::clamp(index_ + step, 0, last));
}

void PhotoViewer::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        turn(-1);
        break;
    case Qt::Key_Right:
        turn(1);
        break;
    case Qt::Key_Escape:
        dismiss_();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PhotoViewer::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressedAt_ = event->position();
}

void PhotoViewer::mouseReleaseEvent(QMouseEvent* event)
{
    const auto pressed = std::exchange(pressedAt_, std::nullopt);
    if (event->button() != Qt::LeftButton || !pressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF at = event->position();
    // A click on a dot goes to its page; on the photo, its left half pages back, its right
    // half on. A press dragged from one place to another is no click.
    const auto dot = dotAt(at);
    if (dot && dot == dotAt(*pressed)) {
        setIndex(*dot);
        return;
    }
    if (page_->geometry().contains(at.toPoint()) && page_->geometry().contains(pressed->toPoint())
        && (at.x() < width() / 2.0) == (pressed->x() < width() / 2.0))
        turn(at.x() < width() / 2.0 ? -1 : 1);
}

void PhotoViewer::wheelEvent(QWheelEvent* event)
{
    // Down or right turns on, up or left back: a notch a page, a trackpad's small steps
    // added up until they make one.
    const QPoint delta = event->angleDelta();
    wheelUnits_ += std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
    while (std::abs(wheelUnits_) >= kWheelUnitsPerPage) {
        const int step = wheelUnits_ > 0 ? -1 : 1;
        wheelUnits_ += step * kWheelUnitsPerPage;
        turn(step);
    }
    event->accept();
}

QRectF PhotoViewer::dotRect(std::size_t index) const
{
    const double count = double(photos_.size());
    const double rowWidth = count * kDotPoints + (count - 1) * kDotSpacingPoints;
    // A long list's dots shrink to stay within the window.
    const double fit = std::min(1.0, (width() - 2.0 * kBarPaddingPoints) / rowWidth);
    const double dot = kDotPoints * fit;
    const double step = (kDotPoints + kDotSpacingPoints) * fit;
    const double left = (width() - rowWidth * fit) / 2;
    const double centreY = height() - kDotsStripPoints / 2.0;
    return QRectF(left + double(index) * step, centreY - dot / 2, dot, dot);
}

std::optional<int> PhotoViewer::dotAt(QPointF point) const
{
    if (!showsPageDots() || point.y() < height() - kDotsStripPoints)
        return std::nullopt;
    // Each dot answers over its share of the row, gaps included, so a small dot is easy to hit.
    for (std::size_t i = 0; i < photos_.size(); ++i) {
        const QRectF dot = dotRect(i);
        const double halfStep = dot.width() * (kDotPoints + kDotSpacingPoints) / kDotPoints / 2;
        if (std::abs(point.x() - dot.center().x()) <= halfStep)
            return int(i);
    }
    return std::nullopt;
}

void PhotoViewer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!showsPageDots())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < photos_.size(); ++i) {
        painter.setBrush(int(i) == index_ ? QColor(Qt::white) : QColor(255, 255, 255, 90));
        painter.drawEllipse(dotRect(i));
    }
}

} // namespace velorin
