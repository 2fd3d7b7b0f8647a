#include "account/ui/DiagnosticsView.h"

#include "app/AppModel.h"
#include "map-data/ui/ByteCountText.h"
#include "platform/FrenchDate.h"
#include "widgets/MonospacedDigits.h"
#include "widgets/SheetParts.h"
#include "widgets/Symbols.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>

namespace velorin {

namespace {

constexpr const char* kRetryFooter
    = "Efface les délais de reprise et redemande immédiatement les cartes visibles. Utile après un changement de "
      "réseau.";

QString number(std::int64_t value)
{
    return QString::number(value);
}

} // namespace

DiagnosticsView::DiagnosticsView(AppModel& model, QWidget* parent)
    : QDialog(parent)
    , model_(model)
{
    setWindowTitle(QStringLiteral("État du chargement"));
    auto* layout = new QVBoxLayout(this);
    addSheetCloseBar(*this, *layout);

    auto* diagnosis = makeSheetSection(QStringLiteral("Diagnostic"));
    for (const char* title : {"Message", "Réseau système", "Connexion facturée"})
        addRow(*diagnosis, QString::fromUtf8(title));
    auto* loading = makeSheetSection(QStringLiteral("Chargement des tuiles"));
    for (const char* title :
        {"Tuiles en cours", "Cartes en attente", "Carte en préparation", "Étape", "Échecs de transport", "Tuiles livrées"})
        addRow(*loading, QString::fromUtf8(title));
    cacheSection_ = makeSheetSection(QStringLiteral("Cache d'affichage"));
    for (const char* title : {"Textures", "Mémoire", "Évictions"})
        addRow(*cacheSection_, QString::fromUtf8(title));
    auto* position = makeSheetSection(QStringLiteral("Position"));
    for (const char* title : {"Source", "Dernière position"})
        addRow(*position, QString::fromUtf8(title));

    auto* action = makeSheetSection();
    auto* actionLayout = new QVBoxLayout(action);
    retry_ = new QPushButton(Symbols::icon("arrow.clockwise", kSymbolPixelSize, palette().color(QPalette::ButtonText)),
        QStringLiteral("Relancer le chargement"));
    retry_->setObjectName("retry");
    connect(retry_, &QPushButton::clicked, this, [this] { model_.retryLoading(); });
    actionLayout->addWidget(retry_);
    actionLayout->addWidget(makeSheetFooter(QString::fromUtf8(kRetryFooter)));

    auto* serverSection = makeSheetSection(QStringLiteral("Serveur"));
    auto* serverLayout = new QVBoxLayout(serverSection);
    server_ = new QLabel(QString::fromStdString(model_.hosts().origin(model_.hosts().ignHost)));
    server_->setObjectName("server");
    server_->setTextFormat(Qt::PlainText);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(mono.pointSizeF() * 0.85);
    server_->setFont(mono);
    server_->setEnabled(false);
    serverLayout->addWidget(server_);

    sections_ = {diagnosis, loading, cacheSection_, position, action, serverSection};
    for (QGroupBox* section : sections_)
        layout->addWidget(section);
    layout->addStretch();

    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

void DiagnosticsView::addRow(QGroupBox& section, const QString& title)
{
    auto* sectionLayout = qobject_cast<QVBoxLayout*>(section.layout());
    if (!sectionLayout)
        sectionLayout = new QVBoxLayout(&section);
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(new QLabel(title));
    line->addStretch();
    auto* value = new QLabel;
    // Dimmed, as values are, and with figures that keep their width as they change.
    value->setEnabled(false);
    value->setTextFormat(Qt::RichText);
    line->addWidget(value);
    sectionLayout->addWidget(row);
    values_[title] = value;
    rows_[title] = row;
}

void DiagnosticsView::setValue(const QString& title, const QString& value)
{
    QLabel* label = values_.at(title);
    const QString rich = MonospacedDigits::richText(value, label->font());
    if (label->text() != rich)
        label->setText(rich);
}

void DiagnosticsView::refresh()
{
    const NetworkMonitor& network = model_.network();
    setValue("Message",
        model_.hasLoadingProblem() ? QString::fromStdString(model_.loadingProblemMessage()) : QStringLiteral("aucun"));
    setValue(QStringLiteral("Réseau système"), network.isReachable() ? QStringLiteral("joignable") : QStringLiteral("coupé"));
    setValue(QStringLiteral("Connexion facturée"), network.isExpensive() ? QStringLiteral("oui") : QStringLiteral("non"));

    const auto& status = model_.tileStatus();
    setValue(QStringLiteral("Tuiles en cours"), number(status.pending));
    setValue(QStringLiteral("Cartes en attente"), number(status.queuedSheets));
    setValue(QStringLiteral("Carte en préparation"),
        status.loadingSheet ? QString::fromStdString(*status.loadingSheet) : QStringLiteral("aucune"));
    const auto phase = status.phase.label();
    rows_.at(QStringLiteral("Étape"))->setVisible(phase.has_value());
    setValue(QStringLiteral("Étape"), phase ? QString::fromStdString(*phase) : QString());
    setValue(QStringLiteral("Échecs de transport"), number(status.transportFailures));
    setValue(QStringLiteral("Tuiles livrées"), number(status.delivered));

    const auto usage = model_.textureCacheUsage();
    cacheSection_->setVisible(usage.has_value());
    if (usage) {
        setValue(QStringLiteral("Textures"), number(std::int64_t(usage->entryCount)));
        setValue(QStringLiteral("Mémoire"), QString::fromStdString(memoryByteCountText(std::uintmax_t(usage->currentBytes))));
        setValue(QStringLiteral("Évictions"), number(usage->evictionCount));
    }

    setValue(QStringLiteral("Source"), QString::fromStdString(model_.positionSourceName()));
    const auto& fix = model_.location().location();
    QString lastFix = QStringLiteral("aucune");
    if (fix) {
        const auto taken = platform::SystemTime(std::chrono::duration_cast<platform::SystemTime::duration>(
            std::chrono::duration<double>(fix->timestamp)));
        lastFix = QString::fromStdString(platform::frenchDate(taken, { .year = true, .time = true }));
    }
    setValue(QStringLiteral("Dernière position"), lastFix);
}

QString DiagnosticsView::value(const QString& title) const
{
    const auto found = values_.find(title);
    if (found == values_.end() || !rows_.at(title)->isVisibleTo(this))
        return {};
    return MonospacedDigits::plainText(found->second->text());
}

QLabel* DiagnosticsView::valueLabel(const QString& title) const
{
    const auto found = values_.find(title);
    return found == values_.end() ? nullptr : found->second;
}

int DiagnosticsView::sectionCount() const
{
    int count = 0;
    for (QGroupBox* section : sections_)
        count += section->isVisibleTo(this) ? 1 : 0;
    return count;
}

} // namespace velorin
