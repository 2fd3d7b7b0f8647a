#include "library/CaptureRow.h"

#include "library/CaptureThumbnail.h"
#include "library/ProgressRing.h"
#include "widgets/MonospacedDigits.h"
#include "widgets/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace velorin {

namespace {

constexpr int kIconPixels = 18;
constexpr double kCaptionScale = 0.85;
constexpr double kPressedOpacity = 0.12;

// The row's tappable part: its whole area, the gaps between thumbnail and texts included,
// with a faint shade while pressed. Its size is its layout's.
class TapArea : public QAbstractButton {
public:
    explicit TapArea(QWidget* parent)
        : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }

    QSize sizeHint() const override { return layout() ? layout()->sizeHint() : QSize(); }
    QSize minimumSizeHint() const override { return layout() ? layout()->minimumSize() : QSize(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!isDown())
            return;
        QPainter painter(this);
        QColor shade = palette().color(QPalette::WindowText);
        shade.setAlphaF(kPressedOpacity);
        painter.fillRect(rect(), shade);
    }
};

QToolButton* saveButton(const char* symbol, const QString& label, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(Symbols::icon(symbol, kIconPixels, parent->palette().color(QPalette::ButtonText)));
    button->setIconSize(QSize(kIconPixels, kIconPixels));
    button->setToolTip(label);
    button->setAccessibleName(label);
    return button;
}

} // namespace

CaptureRow::CaptureRow(const QString& name, const QString& subtitle, QWidget* parent)
    : QWidget(parent)
    , tapArea_(new TapArea(this))
    , thumbnail_(new CaptureThumbnail(tapArea_))
    , name_(new QLabel(tapArea_))
    , subtitle_(new QLabel(tapArea_))
    , saveButtons_(new QWidget(this))
    , photos_(saveButton("photo.on.rectangle", QStringLiteral("Enregistrer dans Photos"), saveButtons_))
    , file_(saveButton("folder", QStringLiteral("Enregistrer dans un fichier"), saveButtons_))
    , ring_(new ProgressRing(this))
{
    tapArea_->setAccessibleName(name);
    auto* label = new QHBoxLayout(tapArea_);
    label->setContentsMargins(0, 0, 0, 0);
    label->setSpacing(kSpacingPoints);
    label->addWidget(thumbnail_, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(kTextSpacingPoints);
    name_->setTextFormat(Qt::PlainText);
    name_->setText(name);
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont caption = subtitle_->font();
    caption.setPointSizeF(caption.pointSizeF() * kCaptionScale);
    subtitle_->setFont(caption);
    subtitle_->setTextFormat(Qt::RichText);
    subtitle_->setText(MonospacedDigits::richText(subtitle, caption));
    subtitle_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    subtitle_->setEnabled(false);
    for (QLabel* text : { name_, subtitle_ }) {
        text->setAttribute(Qt::WA_TransparentForMouseEvents);
        texts->addWidget(text);
    }
    label->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout(saveButtons_);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(kButtonSpacingPoints);
    buttons->addWidget(photos_);
    buttons->addWidget(file_);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(kSpacingPoints);
    row->addWidget(tapArea_, 1);
    row->addWidget(saveButtons_, 0, Qt::AlignVCenter);
    row->addWidget(ring_, 0, Qt::AlignVCenter);
    ring_->hide();
}

QAbstractButton& CaptureRow::photosButton() const
{
    return *photos_;
}

QAbstractButton& CaptureRow::fileButton() const
{
    return *file_;
}

QString CaptureRow::name() const
{
    return name_->text();
}

QString CaptureRow::subtitle() const
{
    return MonospacedDigits::plainText(subtitle_->text());
}

void CaptureRow::setProgress(std::optional<double> fraction)
{
    if (fraction)
        ring_->setValue(*fraction);
    ring_->setVisible(fraction.has_value());
    saveButtons_->setVisible(!fraction);
}

ProgressRing* CaptureRow::progressRing() const
{
    return ring_->isHidden() ? nullptr : ring_;
}

bool CaptureRow::showsSaveButtons() const
{
    return !saveButtons_->isHidden();
}

} // namespace velorin
