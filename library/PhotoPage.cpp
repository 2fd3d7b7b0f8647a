#include "library/PhotoPage.h"

#include "canvas/qt/PhotoDelivery.h"
#include "widgets/ActivitySpinner.h"

#include <QPainter>

#include <cmath>

namespace velorin {

PhotoPage::PhotoPage(std::string id, std::filesystem::path pictures, platform::Executor& decodes, platform::MainQueue& main,
    QWidget* parent)
    : QWidget(parent)
    , id_(std::move(id))
    , pictures_(std::move(pictures))
    , decodes_(decodes)
    , main_(main)
    , spinner_(new ActivitySpinner(this, Qt::white))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PhotoPage::setId(std::string id)
{
    if (id == id_)
        return;
    id_ = std::move(id);
    setImage(QImage());
    if (isVisible())
        load(size());
}

void PhotoPage::load(QSizeF size)
{
    const double scale = devicePixelRatioF();
    const int width = int(std::lround(size.width() * scale));
    const int height = int(std::lround(size.height() * scale));
    // A page shown before it has a size reads its photo once it has one.
    loadsOnResize_ = !id_.empty() && (width < 1 || height < 1);
    if (id_.empty() || width < 1 || height < 1)
        return;
    deliverPhoto(
        decodes_, main_, this, [pictures = pictures_, id = id_, width, height] { return photoFitting(pictures, id, width, height); },
        [this, id = id_](QImage image, QSizeF) {
            // Read for a photo the page no longer shows, or for none.
            if (id != id_ || image.isNull())
                return;
            setImage(std::move(image));
        });
}

QRectF PhotoPage::imageRect() const
{
    if (image_.isNull())
        return {};
    QSizeF fitted = QSizeF(image_.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void PhotoPage::setImage(QImage image)
{
    image_ = std::move(image);
    spinner_->setVisible(image_.isNull());
    update();
}

void PhotoPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    load(size());
}

void PhotoPage::resizeEvent(QResizeEvent*)
{
    if (loadsOnResize_ && isVisible())
        load(size());
    spinner_->resize(spinner_->sizeHint());
    spinner_->move((width() - spinner_->width()) / 2, (height() - spinner_->height()) / 2);
}

void PhotoPage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (image_.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), image_);
}

} // namespace velorin
