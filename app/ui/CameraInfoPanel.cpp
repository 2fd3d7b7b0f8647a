#include "app/ui/CameraInfoPanel.h"

#include "app/AppModel.h"
#include "app/CameraReadout.h"
#include "widgets/ControlLook.h"
#include "widgets/MonospacedDigits.h"
#include "widgets/Symbols.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedLayout>

#include <span>

namespace velorin {

namespace {

constexpr int kSymbolWidthPoints = 18;
constexpr int kSymbolHeightPoints = 16;
constexpr int kStackSpacingPoints = 1;

QLabel* textLabel(const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QLabel* symbol(std::string_view name, const char* accessibleName, QWidget* parent)
{
    auto* label = textLabel(Symbols::font(CameraInfoPanel::kSymbolPixelSize, QFont::Medium), Qt::white, parent);
    label->setText(Symbols::glyph(name));
    label->setAlignment(Qt::AlignCenter);
    label->setFixedSize(kSymbolWidthPoints, kSymbolHeightPoints);
    if (accessibleName)
        label->setAccessibleName(QString::fromUtf8(accessibleName));
    return label;
}

QFont caption()
{
    return ControlLook::textFont(CameraInfoPanel::kCaptionPixelSize, QFont::Normal);
}

void setDigits(QLabel* label, const std::string& text)
{
    label->setText(MonospacedDigits::richText(QString::fromStdString(text), label->font()));
}

QString plain(const QLabel* label)
{
    return label ? MonospacedDigits::plainText(label->text()) : QString();
}

} // namespace

CameraInfoPanel::CameraInfoPanel(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , pages_(new QStackedLayout)
    , waiting_(textLabel(caption(), ControlLook::secondaryColor(), this))
{
    readout_ = buildReadout();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kPaddingPoints, kPaddingPoints, kPaddingPoints, kPaddingPoints);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    outer->addLayout(pages_);
    waiting_->setText(QString::fromUtf8(kWaitingText));
    pages_->addWidget(waiting_);
    pages_->addWidget(readout_);
    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

QWidget* CameraInfoPanel::buildReadout()
{
    auto* page = new QWidget(this);
    page->setFixedWidth(kWidthPoints);
    auto* stack = new QVBoxLayout(page);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kSpacingPoints);

    const auto place = [page](std::string_view name, const char* accessibleName, std::initializer_list<QLabel*> texts) {
        auto* row = new QHBoxLayout;
        row->setSpacing(kSymbolSpacingPoints);
        row->addWidget(symbol(name, accessibleName, page), 0, Qt::AlignTop);
        auto* column = new QVBoxLayout;
        column->setSpacing(kStackSpacingPoints);
        for (QLabel* text : texts)
            column->addWidget(text);
        row->addLayout(column, 1);
        return row;
    };
    center_ = textLabel(caption(), Qt::white, page);
    eye_ = textLabel(caption(), Qt::white, page);
    altitude_ = textLabel(ControlLook::textFont(kCaption2PixelSize, QFont::Normal), ControlLook::secondaryColor(), page);
    stack->addLayout(place("signpost.and.arrowtriangle.up", "Point visé", {center_}));
    stack->addLayout(place("eye", "Œil", {eye_, altitude_}));

    auto* divider = new QFrame(page);
    divider->setFixedHeight(1);
    divider->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 60);"));
    stack->addWidget(divider);

    bearing_ = textLabel(caption(), Qt::white, page);
    pitch_ = textLabel(caption(), Qt::white, page);
    zoom_ = textLabel(caption(), Qt::white, page);
    focal_ = textLabel(caption(), Qt::white, page);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(kColumnSpacingPoints);
    struct Row {
        const char* symbolName;
        QLabel* value;
    };
    const Row left[] = {{"safari", bearing_}, {"angle", pitch_}};
    const Row right[] = {{"plus.magnifyingglass", zoom_}, {"camera.aperture", focal_}};
    int index = 0;
    for (const auto& side : {std::span(left), std::span(right)}) {
        auto* column = new QVBoxLayout;
        for (const Row& entry : side) {
            auto* row = new QWidget(page);
            auto* line = new QHBoxLayout(row);
            line->setContentsMargins(0, 0, 0, 0);
            line->setSpacing(kSymbolSpacingPoints);
            line->addWidget(symbol(entry.symbolName, nullptr, row), 0, Qt::AlignVCenter);
            entry.value->setParent(row);
            line->addWidget(entry.value, 1, Qt::AlignVCenter);
            column->addWidget(row);
            rows_[index++] = row;
        }
        columns->addLayout(column, 1);
    }
    stack->addLayout(columns);

    copy_ = new QPushButton(page);
    copy_->setFlat(true);
    copy_->setCursor(Qt::PointingHandCursor);
    QFont mono = QFont(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(int(kLinePixelSize));
    copy_->setFont(mono);
    copy_->setIcon(Symbols::icon("doc.on.doc", kLinePixelSize + 2, Qt::white));
    copy_->setStyleSheet(QStringLiteral("QPushButton { color: white; border: none; text-align: left; padding: 0; }"));
    copy_->setToolTip(QString::fromUtf8(kCopyHelp));
    copy_->setAccessibleName(QString::fromUtf8(kCopyHelp));
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (!line_.isEmpty())
            QGuiApplication::clipboard()->setText(line_);
    });
    stack->addWidget(copy_);
    return page;
}

void CameraInfoPanel::refresh()
{
    const std::optional<CameraInfo>& info = model_.cameraInfo();
    pages_->setCurrentWidget(info ? readout_ : static_cast<QWidget*>(waiting_));
    if (!info) {
        line_.clear();
        adjustSize();
        return;
    }
    const Camera& camera = info->camera;
    setDigits(center_, CameraReadout::position(camera.center));
    setDigits(eye_, CameraReadout::position(info->eye.ground));
    setDigits(altitude_, CameraReadout::altitude(info->eye.altitude));
    setDigits(bearing_, CameraReadout::bearing(camera.bearing));
    setDigits(pitch_, CameraReadout::pitch(camera.pitch));
    setDigits(zoom_, CameraReadout::zoom(camera.zoom));
    setDigits(focal_, CameraReadout::focal(camera.focalLength));
    const char* titles[] = {"Cap", "Inclinaison", "Zoom", "Focale"};
    QLabel* values[] = {bearing_, pitch_, zoom_, focal_};
    for (int i = 0; i < 4; ++i)
        rows_[i]->setAccessibleName(QString::fromUtf8(titles[i]) + QLatin1Char(' ') + plain(values[i]));
    line_ = QString::fromStdString(CameraReadout::launchLine(camera));
    elideLine();
    adjustSize();
}

void CameraInfoPanel::elideLine()
{
    const int room = kWidthPoints - copy_->iconSize().width() - 6;
    copy_->setText(copy_->fontMetrics().elidedText(line_, Qt::ElideMiddle, room));
}

bool CameraInfoPanel::showsReadout() const
{
    return pages_->currentWidget() == readout_;
}

QString CameraInfoPanel::centerText() const { return plain(center_); }
QString CameraInfoPanel::eyeText() const { return plain(eye_); }
QString CameraInfoPanel::altitudeText() const { return plain(altitude_); }
QString CameraInfoPanel::bearingText() const { return plain(bearing_); }
QString CameraInfoPanel::pitchText() const { return plain(pitch_); }
QString CameraInfoPanel::zoomText() const { return plain(zoom_); }
QString CameraInfoPanel::focalText() const { return plain(focal_); }

void CameraInfoPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    model_.refreshCameraInfo();
}

void CameraInfoPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ControlLook::paintBackground(painter, QRectF(rect()), kCornerRadius);
}

} // namespace velorin
