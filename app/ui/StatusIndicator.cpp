#include "app/ui/StatusIndicator.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "app/ui/Pill.h"
#include "app/ui/PillButton.h"
#include "widgets/ActivitySpinner.h"
#include "widgets/MonospacedDigits.h"
#include "widgets/Symbols.h"

#include <QBoxLayout>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QProgressBar>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <utility>

namespace velorin {

namespace {

constexpr int kProblemSpacingPoints = 8;
constexpr int kSheetRowSpacingPoints = 6;
constexpr int kSheetStackSpacingPoints = 5;
constexpr int kQueueSpacingPoints = 8;
constexpr int kProgressSteps = 1000;
constexpr int kProgressHeightPoints = 4;
constexpr double kBadgeOpacity = 0.3;

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* result = new QLabel(text, parent);
    result->setFont(font);
    // Inside a button a label would otherwise take the button's text colour.
    result->setForegroundRole(QPalette::WindowText);
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    return result;
}

QString rgba(QColor color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(color.red()).arg(color.green()).arg(color.blue()).arg(color.alpha());
}

QFont footnote(QFont::Weight weight)
{
    return ControlLook::textFont(StatusIndicator::kFootnotePixelSize, weight);
}

QFont caption(QFont::Weight weight)
{
    return ControlLook::textFont(StatusIndicator::kCaptionPixelSize, weight);
}

} // namespace

StatusIndicator::StatusIndicator(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kEdgePaddingPoints, kEdgePaddingPoints, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    buildRecordingPill();
    buildProblemPill();
    buildSheetPill();
    buildQueuePill();
    buildPositionPill();

    fade_ = new QGraphicsOpacityEffect(this);
    fade_->setEnabled(false);
    setGraphicsEffect(fade_);
    fadeAnimation_ = new QVariantAnimation(this);
    fadeAnimation_->setDuration(kFadeMilliseconds);
    fadeAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    fadeAnimation_->setStartValue(0.0);
    fadeAnimation_->setEndValue(1.0);
    connect(fadeAnimation_, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { fade_->setOpacity(value.toDouble()); });
    // Left on, the effect would redraw the pills through an offscreen pixmap for nothing.
    connect(fadeAnimation_, &QVariantAnimation::finished, this, [this] {
        fade_->setEnabled(false);
        if (std::exchange(fadingOut_, false))
            showContent();
    });

    connect(&model_, &AppModel::changed, this, &StatusIndicator::refresh);
    refresh();
}

void StatusIndicator::buildRecordingPill()
{
    recordingPill_ = new Pill(this);
    recordingPill_->setObjectName("recordingPill");
    auto* row = new QHBoxLayout(recordingPill_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kProblemSpacingPoints);
    row->addWidget(label(Symbols::glyph("exclamationmark.triangle.fill"), Symbols::font(kFootnotePixelSize, QFont::Medium),
                       ControlLook::orangeColor(), recordingPill_),
        0, Qt::AlignVCenter);
    recordingMessage_ = label({}, footnote(QFont::Medium), ControlLook::primaryColor(), recordingPill_);
    recordingMessage_->setObjectName("recordingMessage");
    row->addWidget(recordingMessage_, 0, Qt::AlignVCenter);
    layout()->addWidget(recordingPill_);
}

void StatusIndicator::buildProblemPill()
{
    problemPill_ = new PillButton(this);
    problemPill_->setObjectName("problemPill");
    auto* row = new QHBoxLayout(problemPill_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kProblemSpacingPoints);
    auto* symbol = label(Symbols::glyph("wifi.slash"), Symbols::font(kFootnotePixelSize, QFont::Medium),
        ControlLook::redColor(), problemPill_);
    problemMessage_ = label({}, footnote(QFont::Medium), ControlLook::primaryColor(), problemPill_);
    problemMessage_->setObjectName("problemMessage");
    auto* chevron = label(Symbols::glyph("chevron.right"), Symbols::font(kCaptionPixelSize, QFont::Normal),
        ControlLook::secondaryColor(), problemPill_);
    chevron->setObjectName("problemChevron");
    for (QLabel* item : { symbol, problemMessage_, chevron }) {
        PillButton::passPointerThrough(*item);
        row->addWidget(item, 0, Qt::AlignVCenter);
    }
    connect(problemPill_, &PillButton::clicked, this, &StatusIndicator::diagnosticsRequested);
    layout()->addWidget(problemPill_);
}

void StatusIndicator::buildSheetPill()
{
    sheetPill_ = new Pill(this);
    sheetPill_->setObjectName("sheetPill");
    auto* stack = new QVBoxLayout(sheetPill_);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kSheetStackSpacingPoints);
    auto* row = new QHBoxLayout;
    row->setSpacing(kSheetRowSpacingPoints);
    // Bold, not semibold: the desktop's sans has no semibold face, and a synthesised one
    // draws wider than it measures, clipping the last letter.
    sheetName_ = label({}, footnote(QFont::Bold), ControlLook::primaryColor(), sheetPill_);
    sheetName_->setObjectName("sheetName");
    sheetBadge_ = label({}, caption(QFont::Bold), ControlLook::primaryColor(), sheetPill_);
    sheetBadge_->setObjectName("sheetBadge");
    sheetBadge_->setTextFormat(Qt::RichText);
    QColor badge = ControlLook::accentColor();
    badge.setAlphaF(float(kBadgeOpacity));
    const int badgeHeight = sheetBadge_->fontMetrics().height() + 2;
    sheetBadge_->setStyleSheet(QStringLiteral("background-color: %1; border-radius: %2px; padding: 1px 5px;")
                                   .arg(rgba(badge))
                                   .arg(badgeHeight / 2));
    row->addWidget(sheetName_, 0, Qt::AlignVCenter);
    row->addWidget(sheetBadge_, 0, Qt::AlignVCenter);
    row->addStretch();
    stack->addLayout(row);
    sheetProgress_ = new QProgressBar(sheetPill_);
    sheetProgress_->setObjectName("sheetProgress");
    sheetProgress_->setRange(0, kProgressSteps);
    sheetProgress_->setTextVisible(false);
    sheetProgress_->setFixedSize(kProgressWidthPoints, kProgressHeightPoints);
    stack->addWidget(sheetProgress_);
    sheetPhase_ = label({}, caption(QFont::Normal), ControlLook::secondaryColor(), sheetPill_);
    sheetPhase_->setObjectName("sheetPhase");
    sheetPhase_->setTextFormat(Qt::RichText);
    stack->addWidget(sheetPhase_);
    layout()->addWidget(sheetPill_);
}

void StatusIndicator::buildQueuePill()
{
    queuePill_ = new Pill(this);
    queuePill_->setObjectName("queuePill");
    auto* row = new QHBoxLayout(queuePill_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kQueueSpacingPoints);
    row->addWidget(new ActivitySpinner(queuePill_, ControlLook::secondaryColor()), 0, Qt::AlignVCenter);
    queueText_ = label({}, footnote(QFont::Normal), ControlLook::primaryColor(), queuePill_);
    queueText_->setObjectName("queueText");
    row->addWidget(queueText_, 0, Qt::AlignVCenter);
    layout()->addWidget(queuePill_);
}

void StatusIndicator::buildPositionPill()
{
    positionPill_ = new Pill(this);
    positionPill_->setObjectName("positionPill");
    auto* row = new QHBoxLayout(positionPill_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kProblemSpacingPoints);
    row->addWidget(label(Symbols::glyph("location"), Symbols::font(kFootnotePixelSize, QFont::Medium),
                       ControlLook::redColor(), positionPill_),
        0, Qt::AlignVCenter);
    positionText_ = label({}, footnote(QFont::Medium), ControlLook::primaryColor(), positionPill_);
    positionText_->setObjectName("positionText");
    row->addWidget(positionText_, 0, Qt::AlignVCenter);
    layout()->addWidget(positionPill_);
}

QSize StatusIndicator::largestSize() const
{
    QSize largest;
    for (const QWidget* pill : { static_cast<const QWidget*>(recordingPill_), static_cast<const QWidget*>(problemPill_),
             static_cast<const QWidget*>(sheetPill_), static_cast<const QWidget*>(queuePill_),
             static_cast<const QWidget*>(positionPill_) })
        largest = largest.expandedTo(pill->sizeHint());
    const QMargins margins = layout()->contentsMargins();
    return largest.grownBy(margins);
}

bool StatusIndicator::isFading() const
{
    return fadeAnimation_->state() == QAbstractAnimation::Running;
}

void StatusIndicator::fadeIn()
{
    fadingOut_ = false;
    fadeAnimation_->stop();
    fadeAnimation_->setStartValue(0.0);
    fadeAnimation_->setEndValue(1.0);
    fade_->setOpacity(0);
    fade_->setEnabled(true);
    fadeAnimation_->start();
}

void StatusIndicator::fadeOut()
{
    const double from = fade_->isEnabled() ? fade_->opacity() : 1.0;
    fadeAnimation_->stop();
    fadingOut_ = true;
    fadeAnimation_->setStartValue(from);
    fadeAnimation_->setEndValue(0.0);
    fade_->setOpacity(from);
    fade_->setEnabled(true);
    fadeAnimation_->start();
}

void StatusIndicator::showContent()
{
    recordingPill_->setVisible(content_ == Content::recording);
    problemPill_->setVisible(content_ == Content::problem);
    sheetPill_->setVisible(content_ == Content::sheet);
    queuePill_->setVisible(content_ == Content::queue);
    positionPill_->setVisible(content_ == Content::position);
    setHidden(content_ == Content::none);
}

StatusIndicator::Content StatusIndicator::choose(const AppModel& model)
{
    if (model.tracks().writeFailure())
        return Content::recording;
    if (model.hasLoadingProblem())
        return Content::problem;
    if (model.positionProblem())
        return Content::position;
    if (model.tileStatus().loadingSheet)
        return Content::sheet;
    if (model.tileStatus().queuedSheets >= 1)
        return Content::queue;
    return Content::none;
}

void StatusIndicator::refresh()
{
    const Content previous = content_;
    content_ = choose(model_);
    const TileLoader::Status& status = model_.tileStatus();
    const auto& failure = model_.tracks().writeFailure();
    switch (content_) {
    case Content::recording:
        recordingMessage_->setText(QString::fromStdString(*failure));
        recordingPill_->setAccessibleName(recordingMessage_->text());
        break;
    case Content::problem:
        problemMessage_->setText(QString::fromStdString(model_.loadingProblemMessage()));
        problemPill_->setAccessibleName(problemMessage_->text());
        break;
    case Content::sheet: {
        const QString name = QString::fromStdString(*status.loadingSheet);
        sheetName_->setText(sheetName_->fontMetrics().elidedText(name, Qt::ElideRight, kSheetNameMaxWidthPoints));
        sheetName_->setToolTip(name);
        // The count and the download figures keep their width as they change.
        sheetBadge_->setText(MonospacedDigits::richText(QStringLiteral("+%1").arg(status.queuedSheets), sheetBadge_->font()));
        sheetBadge_->setVisible(status.queuedSheets > 0);
        const double progress = std::isfinite(status.sheetProgress) ? std::clamp(status.sheetProgress, 0.0, 1.0) : 0.0;
        sheetProgress_->setValue(int(std::lround(progress * kProgressSteps)));
        const auto phase = status.phase.label();
        sheetPhase_->setText(phase ? MonospacedDigits::richText(QString::fromStdString(*phase), sheetPhase_->font()) : QString());
        sheetPhase_->setVisible(phase.has_value());
        sheetPill_->setAccessibleName(name);
        break;
    }
    case Content::queue:
        queueText_->setText(status.queuedSheets == 1 ? QStringLiteral("1 carte à préparer")
                                                     : QStringLiteral("%1 cartes à préparer").arg(status.queuedSheets));
        break;
    case Content::position:
        positionText_->setText(QString::fromStdString(positionProblemText(*model_.positionProblem())));
        positionPill_->setAccessibleName(positionText_->text());
        break;
    case Content::none:
        break;
    }
    // Only a problem starting or ending or another sheet fades: the counts and the progress
    // change many times a second and must not flicker.
    const bool problem = model_.hasLoadingProblem();
    const auto position = model_.positionProblem();
    const bool changed = problem != shownProblem_ || status.loadingSheet != shownSheet_ || failure != shownFailure_
        || position.has_value() != shownPosition_;
    shownProblem_ = problem;
    shownPosition_ = position.has_value();
    shownSheet_ = status.loadingSheet;
    shownFailure_ = failure;
    if (content_ == Content::none && (fadingOut_ || (changed && previous != Content::none))) {
        if (!fadingOut_)
            fadeOut();
        return;
    }
    showContent();
    // Something to show again while a pill was fading out comes back the same way.
    if (fadingOut_ || (changed && content_ != Content::none))
        fadeIn();
}

} // namespace velorin
