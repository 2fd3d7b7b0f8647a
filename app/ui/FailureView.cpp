#include "app/ui/FailureView.h"

#include "widgets/Symbols.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velorin {

FailureView::FailureView(const std::string& message, std::function<void()> retry, QWidget* parent)
    : QWidget(parent)
    , symbol_(new QLabel(Symbols::glyph("wifi.exclamationmark"), this))
    , message_(new QLabel(QString::fromStdString(message), this))
    , retryButton_(new QPushButton(QStringLiteral("Réessayer"), this))
{
    symbol_->setFont(Symbols::font(kSymbolPoints, QFont::Normal));
    QPalette orange = symbol_->palette();
    orange.setColor(QPalette::WindowText, kSymbolColor);
    symbol_->setPalette(orange);

    // Shown as written: the reason comes from start-up, not from a translation table.
    message_->setTextFormat(Qt::PlainText);
    message_->setAlignment(Qt::AlignHCenter);
    message_->setWordWrap(true);
    QPalette palette = message_->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Disabled, QPalette::WindowText));
    message_->setPalette(palette);

    // The one way on from here stands out in the accent colour.
    retryButton_->setDefault(true);
    QPalette prominent = retryButton_->palette();
    prominent.setColor(QPalette::Button, prominent.color(QPalette::Highlight));
    prominent.setColor(QPalette::ButtonText, prominent.color(QPalette::HighlightedText));
    retryButton_->setPalette(prominent);
    connect(retryButton_, &QPushButton::clicked, this, [retry = std::move(retry)] {
        if (retry)
            retry();
    });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPaddingPoints, kPaddingPoints, kPaddingPoints, kPaddingPoints);
    column->setSpacing(kSpacingPoints);
    column->addStretch();
    column->addWidget(symbol_, 0, Qt::AlignHCenter);
    column->addWidget(message_);
    column->addWidget(retryButton_, 0, Qt::AlignHCenter);
    column->addStretch();
}

} // namespace velorin
