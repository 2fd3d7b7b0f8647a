#include "library/TrackDetailView.h"

#include "app/AppModel.h"
#include "library/AltitudeProfileChart.h"
#include "library/TrackMapPreview.h"
#include "library/TravelModeText.h"
#include "library/ValueFormatters.h"
#include "platform/AtomicWrite.h"
#include "platform/FrenchDate.h"
#include "recordings/GPXWriter.h"
#include "widgets/ControlLook.h"
#include "widgets/MonospacedDigits.h"
#include "widgets/SheetParts.h"
#include "widgets/Symbols.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <fstream>
#include <iterator>
#include <system_error>

namespace velorin {

namespace {

constexpr double kTitlePixels = 22;
constexpr double kDatePixels = 15;
constexpr double kValuePixels = 16;
constexpr double kCellLabelPixels = 10;
constexpr double kNotePixels = 12;
constexpr double kActionPixels = 22;
constexpr double kRenamePixels = 17;
constexpr double kRowIconPixels = 17;
constexpr int kTitleSpacingPoints = 8;
constexpr int kHeaderSpacingPoints = 4;
constexpr int kHeaderBottomPaddingPoints = 6;
constexpr int kFiguresSpacingPoints = 12;
constexpr int kFiguresPaddingPoints = 4;
constexpr int kCellSpacingPoints = 2;
constexpr int kActionTopPaddingPoints = 8;
constexpr int kChartTopPaddingPoints = 10;
constexpr int kChartBottomPaddingPoints = 4;

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QLabel* makeLabel(const QString& content, double pixels, QFont::Weight weight, QWidget* parent)
{
    auto* label = new QLabel(content, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(ControlLook::textFont(pixels, weight));
    return label;
}

// A figure: its value over its label, centred.
QWidget* makeCell(const QString& value, const QString& caption)
{
    auto* cell = new QWidget;
    cell->setObjectName("cell");
    auto* column = new QVBoxLayout(cell);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kCellSpacingPoints);
    const QFont font = ControlLook::textFont(kValuePixels, QFont::DemiBold);
    auto* shown = new QLabel(MonospacedDigits::richText(value, font), cell);
    shown->setTextFormat(Qt::RichText);
    shown->setFont(font);
    shown->setObjectName("value");
    shown->setProperty("value", value);
    auto* label = makeLabel(caption, kCellLabelPixels, QFont::Normal, cell);
    label->setObjectName("label");
    label->setEnabled(false);
    column->addWidget(shown, 0, Qt::AlignHCenter);
    column->addWidget(label, 0, Qt::AlignHCenter);
    return cell;
}

// A line under the figures, dimmed: a symbol and a text.
QWidget* makeNote(const char* symbol, const QString& content, const char* name)
{
    auto* note = new QWidget;
    auto* row = new QHBoxLayout(note);
    row->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel(Symbols::glyph(symbol), note);
    icon->setFont(Symbols::font(kNotePixels, QFont::Normal));
    auto* label = new QLabel(MonospacedDigits::richText(content, ControlLook::textFont(kNotePixels, QFont::Normal)), note);
    label->setFont(ControlLook::textFont(kNotePixels, QFont::Normal));
    label->setObjectName(name);
    label->setProperty("value", content);
    for (QLabel* part : { icon, label }) {
        part->setEnabled(false);
        row->addWidget(part);
    }
    row->addStretch();
    return note;
}

QToolButton* makeSymbolButton(const char* symbol, const QString& accessibleName, const char* name, double pixels,
    QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(Symbols::icon(symbol, pixels, parent->palette().color(QPalette::ButtonText)));
    button->setIconSize(QSize(int(pixels), int(pixels)));
    button->setAutoRaise(true);
    button->setAccessibleName(accessibleName);
    button->setToolTip(accessibleName);
    return button;
}

QPushButton* makeRowButton(const char* symbol, const QString& title, const char* name, const QColor& color,
    QWidget* parent)
{
    auto* button = new QPushButton(Symbols::icon(symbol, kRowIconPixels, color), title, parent);
    button->setObjectName(name);
    button->setFlat(true);
    button->setStyleSheet(QStringLiteral("text-align: left; color: %1").arg(color.name()));
    return button;
}

QMessageBox* makeConfirmation(const QString& title, const QString& message, const QString& action, QWidget* parent)
{
    auto* box = new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::NoButton, parent);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->addButton(action, QMessageBox::DestructiveRole);
    box->addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
    return box;
}

} // namespace

TrackDetailView::TrackDetailView(Track track, AppModel& model, Callbacks callbacks, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , track_(std::move(track))
    , callbacks_(std::move(callbacks))
    , values_(track_)
    , scroll_(new QScrollArea(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    auto* back = new QPushButton(Symbols::icon("chevron.left", 16, palette().color(QPalette::ButtonText)),
        QStringLiteral("Trajets"), this);
    back->setObjectName("back");
    back->setFlat(true);
    connect(back, &QPushButton::clicked, this, [this] { callbacks_.dismiss(); });
    bar->addWidget(back);
    bar->addStretch();
    layout->addLayout(bar);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(scroll_, 1);
    writeExportFile();
    buildSections();
    connect(&model_, &AppModel::changed, this, [this] { updateRecording(); });
}

void TrackDetailView::buildSections()
{
    edits_.clear();
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->addWidget(makeSummary());
    column->addWidget(makeProfile());
    if (track_.points.size() >= 2) {
        if (preview_) {
            preview_->setTrack(track_);
        } else {
            preview_ = new TrackMapPreview(track_, model_);
            connect(preview_, &TrackMapPreview::tapped, this, [this] { showOnMap(); });
        }
        // Moved into the new sections before the old ones go.
        column->addWidget(preview_);
    } else {
        delete preview_;
        preview_ = nullptr;
    }
    if (QWidget* edits = makeEdits())
        column->addWidget(edits);
    column->addWidget(makeDeletion());
    column->addStretch(1);
    // The old sections go with the widget they stood in.
    scroll_->setWidget(content);
    updateRecording();
}

QWidget* TrackDetailView::makeSummary()
{
    auto* summary = new QWidget;
    auto* column = new QVBoxLayout(summary);
    column->setContentsMargins(0, 0, 0, 0);

    auto* header = new QVBoxLayout;
    header->setSpacing(kHeaderSpacingPoints);
    header->setContentsMargins(0, 0, 0, kHeaderBottomPaddingPoints);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(kTitleSpacingPoints);
    name_ = makeLabel(text(track_.metadata.name), kTitlePixels, QFont::Bold, summary);
    name_->setObjectName("name");
    name_->setWordWrap(true);
    rename_ = makeSymbolButton("pencil", QStringLiteral("Renommer"), "rename", kRenamePixels, summary);
    connect(rename_, &QToolButton::clicked, this, [this] { beginRename(); });
    titleRow->addWidget(name_, 0, Qt::AlignBaseline);
    titleRow->addWidget(rename_, 0, Qt::AlignVCenter);
    titleRow->addStretch();
    header->addLayout(titleRow);
    auto* date = makeLabel(text(platform::frenchDate(track_.metadata.startedAt, { .year = true, .time = true, .fullMonth = true })),
        kDatePixels, QFont::Normal, summary);
    date->setObjectName("date");
    date->setEnabled(false);
    header->addWidget(date);
    column->addLayout(header);

    QGroupBox* box = makeSheetSection();
    auto* figures = new QVBoxLayout(box);
    figures->setSpacing(kFiguresSpacingPoints);
    figures->setContentsMargins(12, kFiguresPaddingPoints + 6, 12, kFiguresPaddingPoints + 6);
    const TrackStatistics& statistics = values_.statistics;
    auto* first = new QHBoxLayout;
    const std::vector<Cell> firstCells {
        { text(formatDistance(statistics.distance)), QStringLiteral("distance") },
        { text(formatDuration(statistics.duration)), QStringLiteral("durée") },
        { text(formatAltitude(statistics.ascent)), QStringLiteral("D+") },
        { text(formatAltitude(statistics.descent)), QStringLiteral("D\u2212") },
    };
    for (std::size_t i = 0; i < firstCells.size(); ++i) {
        if (i > 0)
            first->addStretch();
        first->addWidget(makeCell(firstCells[i].value, firstCells[i].label));
    }
    figures->addLayout(first);
    auto* second = new QHBoxLayout;
    second->addWidget(makeCell(text(formatDuration(values_.movingDuration)), QStringLiteral("en marche")));
    second->addStretch();
    second->addWidget(makeCell(text(formatSpeed(values_.averageSpeed())), QStringLiteral("vitesse moyenne")));
    second->addStretch();
    figures->addLayout(second);
    if (const auto range = values_.altitudeRangeText())
        figures->addWidget(makeNote("arrow.up.and.down", text(*range), "altitudeRange"));
    if (const auto pauses = values_.pausesText())
        figures->addWidget(makeNote("pause.fill", text(*pauses), "pauses"));
    if (const auto mode = values_.mainModeText())
        figures->addWidget(makeNote(travelModeSymbol(*values_.mainMode), text(*mode), "mainMode"));
    column->addWidget(box);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(kActionSpacingPoints);
    actions->setContentsMargins(0, kActionTopPaddingPoints, 0, 0);
    actions->addStretch();
    auto* map = makeSymbolButton("map", QStringLiteral("Voir sur la carte"), "showOnMap", kActionPixels, summary);
    connect(map, &QToolButton::clicked, this, [this] { showOnMap(); });
    actions->addWidget(map);
    if (track_.points.size() >= 2) {
        auto* flyover = makeSymbolButton("airplane", QStringLiteral("Survol 3D"), "flyover", kActionPixels, summary);
        connect(flyover, &QToolButton::clicked, this, [this] { flyOver(); });
        actions->addWidget(flyover);
    }
    export_ = makeSymbolButton("square.and.arrow.up", QStringLiteral("Exporter en GPX"), "export", kActionPixels, summary);
    connect(export_, &QToolButton::clicked, this, [this] { chooseExportDestination(); });
    export_->setVisible(exportFile_.has_value());
    actions->addWidget(export_);
    actions->addStretch();
    column->addLayout(actions);
    return summary;
}

QWidget* TrackDetailView::makeProfile()
{
    const auto domain = values_.altitudeDomain();
    if (!domain) {
        QGroupBox* box = makeSheetSection();
        auto* column = new QVBoxLayout(box);
        auto* row = new QHBoxLayout;
        auto* icon = new QLabel(Symbols::glyph("mountain.2"), box);
        icon->setFont(Symbols::font(kRowIconPixels, QFont::Normal));
        auto* label = new QLabel(QStringLiteral("Aucune altitude relevée"), box);
        label->setObjectName("noAltitude");
        for (QLabel* part : { icon, label }) {
            part->setEnabled(false);
            row->addWidget(part);
        }
        row->addStretch();
        column->addLayout(row);
        QLabel* footer = makeSheetFooter(QStringLiteral("Une position obtenue par Wi-Fi n'a pas de composante verticale. "
                                                        "L'altitude n'est relevée qu'avec un vrai point GPS, à ciel ouvert."));
        footer->setObjectName("noAltitudeFooter");
        column->addWidget(footer);
        return box;
    }
    QGroupBox* box = makeSheetSection(QStringLiteral("Profil altimétrique"));
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(4, kChartTopPaddingPoints, 8, kChartBottomPaddingPoints);
    column->addWidget(new AltitudeProfileChart(values_.profile, *domain, box));
    return box;
}

QWidget* TrackDetailView::makeEdits()
{
    if (values_.trimCount == 0 && values_.footCount == 0)
        return nullptr;
    QGroupBox* box = makeSheetSection();
    auto* column = new QVBoxLayout(box);
    const QColor color = palette().color(QPalette::ButtonText);
    if (values_.trimCount > 0) {
        QPushButton* trim = makeRowButton("scissors", QStringLiteral("Élaguer les extrémités"), "trimEnds", color, box);
        connect(trim, &QPushButton::clicked, this, [this] { confirmEdit(TrackEdit::trimEnds); });
        column->addWidget(trim);
        edits_.push_back(trim);
    }
    if (values_.footCount > 0) {
        QPushButton* foot = makeRowButton("figure.walk", QStringLiteral("Ne garder que la marche"), "keepOnFoot", color, box);
        connect(foot, &QPushButton::clicked, this, [this] { confirmEdit(TrackEdit::keepOnFoot); });
        column->addWidget(foot);
        edits_.push_back(foot);
    }
    if (const auto footnote = values_.trimFootnote()) {
        QLabel* footer = makeSheetFooter(text(*footnote));
        footer->setObjectName("editsFooter");
        column->addWidget(footer);
    }
    return box;
}

QWidget* TrackDetailView::makeDeletion()
{
    QGroupBox* box = makeSheetSection();
    auto* column = new QVBoxLayout(box);
    QPushButton* remove = makeRowButton("trash", QStringLiteral("Supprimer ce trajet"), "delete", ControlLook::redColor(), box);
    connect(remove, &QPushButton::clicked, this, [this] { confirmDeletion(); });
    column->addWidget(remove);
    return box;
}

std::vector<TrackDetailView::Cell> TrackDetailView::cells() const
{
    std::vector<Cell> result;
    for (const QWidget* cell : scroll_->widget()->findChildren<QWidget*>("cell"))
        result.push_back({ cell->findChild<QLabel*>("value")->property("value").toString(),
            cell->findChild<QLabel*>("label")->text() });
    return result;
}

bool TrackDetailView::isRecording() const
{
    const auto& current = model_.tracks().current();
    return current && current->metadata.id == track_.metadata.id;
}

void TrackDetailView::updateRecording()
{
    // The track being recorded changes under the screen: its name and points wait for the end.
    const bool recording = isRecording();
    rename_->setEnabled(!recording);
    for (QAbstractButton* edit : edits_)
        edit->setEnabled(!recording);
}

bool TrackDetailView::hasOpenDialog() const
{
    return renameDialog_ || editConfirmation_ || deleteConfirmation_;
}

void TrackDetailView::showOnMap()
{
    callbacks_.onShowOnMap(track_);
    callbacks_.dismiss();
}

void TrackDetailView::flyOver()
{
    if (track_.points.size() < 2)
        return;
    callbacks_.onFlyover(track_);
    callbacks_.dismiss();
}

QLineEdit* TrackDetailView::renameField() const
{
    return renameDialog_ ? renameDialog_->findChild<QLineEdit*>() : nullptr;
}

void TrackDetailView::beginRename()
{
    if (hasOpenDialog() || isRecording())
        return;
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Renommer le trajet"));
    auto* column = new QVBoxLayout(dialog);
    auto* title = new QLabel(QStringLiteral("Renommer le trajet"), dialog);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    column->addWidget(title);
    auto* field = new QLineEdit(text(track_.metadata.name), dialog);
    field->setPlaceholderText(QStringLiteral("Nom"));
    field->selectAll();
    column->addWidget(field);
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(QStringLiteral("Renommer"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(dialog, &QDialog::accepted, this, [this, field] {
        const QString name = field->text().trimmed();
        if (name.isEmpty())
            return;
        callbacks_.onRename(track_, name.toStdString());
        track_.metadata.name = name.toStdString();
        name_->setText(name);
        writeExportFile();
    });
    renameDialog_ = dialog;
    dialog->open();
}

void TrackDetailView::confirmEdit(TrackEdit edit)
{
    if (hasOpenDialog() || isRecording())
        return;
    const TrackDetailValues::EditConfirmation confirmation = values_.confirmation(edit);
    QMessageBox* box = makeConfirmation(text(confirmation.title), text(confirmation.message), text(confirmation.action), this);
    connect(box, &QMessageBox::buttonClicked, this, [this, box, edit](QAbstractButton* button) {
        if (box->buttonRole(button) != QMessageBox::DestructiveRole)
            return;
        std::optional<Track> edited = callbacks_.onEdit(edit);
        if (!edited)
            return;
        track_ = std::move(*edited);
        values_ = TrackDetailValues(track_);
        writeExportFile();
        buildSections();
    });
    editConfirmation_ = box;
    box->open();
}

void TrackDetailView::confirmDeletion()
{
    if (hasOpenDialog())
        return;
    // Deleting the track being recorded ends the recording first, which the walker is told.
    QMessageBox* box = isRecording()
        ? makeConfirmation(QStringLiteral("Supprimer le trajet en cours ?"),
              QStringLiteral("L'enregistrement sera arrêté, puis le trajet supprimé."), QStringLiteral("Supprimer"), this)
        : makeConfirmation(QStringLiteral("Supprimer ce trajet ?"),
              QStringLiteral("Cette action est définitive. Exportez le trajet en GPX si vous souhaitez le conserver."),
              QStringLiteral("Supprimer"), this);
    connect(box, &QMessageBox::buttonClicked, this, [this, box](QAbstractButton* button) {
        if (box->buttonRole(button) != QMessageBox::DestructiveRole)
            return;
        callbacks_.onDelete(track_);
        callbacks_.dismiss();
    });
    deleteConfirmation_ = box;
    box->open();
}

void TrackDetailView::writeExportFile()
{
    std::optional<std::filesystem::path> written = exportGPXFile(track_, model_.folders());
    // A rename leaves no copy under the old name behind.
    if (exportFile_ && exportFile_ != written) {
        std::error_code ignored;
        std::filesystem::remove(*exportFile_, ignored);
    }
    exportFile_ = std::move(written);
    if (export_)
        export_->setVisible(exportFile_.has_value());
}

void TrackDetailView::chooseExportDestination()
{
    if (!exportFile_)
        return;
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Exporter en GPX"),
        QString::fromStdString(exportFile_->filename().string()), QStringLiteral("Traces GPX (*.gpx)"));
    if (!chosen.isEmpty())
        exportTo(chosen.toStdString());
}

bool TrackDetailView::exportTo(const std::filesystem::path& destination)
{
    bool copied = false;
    if (exportFile_) {
        std::ifstream source(*exportFile_, std::ios::binary);
        const std::string bytes { std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>() };
        if (source && !bytes.empty()) {
            try {
                platform::atomicWrite(destination, bytes);
                copied = true;
            } catch (const std::filesystem::filesystem_error&) {
            }
        }
    }
    if (copied)
        return true;
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Exporter en GPX"),
        QStringLiteral("Le fichier n'a pas été enregistré."), QMessageBox::NoButton, this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
    exportAlert_ = alert;
    alert->open();
    return false;
}

} // namespace velorin
