#include "library/TracksView.h"

#include "app/AppModel.h"
#include "library/CapturePrompts.h"
#include "library/CaptureTab.h"
#include "library/ContextMenuSelection.h"
#include "library/GPXImport.h"
#include "library/TrackDetailView.h"
#include "library/ValueFormatters.h"
#include "map-data/ui/ByteCountText.h"
#include "widgets/ControlLook.h"
#include "widgets/SheetParts.h"
#include "widgets/Symbols.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace velorin {

namespace {

constexpr int kRowSpacingPoints = 4;
constexpr int kFigureSpacingPoints = 10;
constexpr int kFigureSymbolPoints = 12;
constexpr int kIdRole = Qt::UserRole;

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QLabel* figure(const char* symbol, const QString& value, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    const QString glyph = Symbols::glyph(symbol);
    label->setText(QStringLiteral("<span style=\"font-family:'%1'; font-size:%2px\">%3</span> %4")
                       .arg(Symbols::font(kFigureSymbolPoints, QFont::Normal).family())
                       .arg(kFigureSymbolPoints)
                       .arg(glyph.toHtmlEscaped(), value.toHtmlEscaped()));
    label->setProperty("value", value);
    return label;
}

// One saved track: its name over its distance, ascent, duration and speed.
QWidget* makeRow(const TrackMetadata& track, const TrackStatistics& statistics, std::optional<double> speed,
    bool recording)
{
    auto* row = new QWidget;
    auto* column = new QVBoxLayout(row);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(kRowSpacingPoints);
    auto* top = new QHBoxLayout;
    auto* name = new QLabel(text(track.name), row);
    name->setObjectName("name");
    name->setTextFormat(Qt::PlainText);
    top->addWidget(name, 1);
    if (recording) {
        auto* badge = new QLabel(QStringLiteral("En cours"), row);
        badge->setObjectName("recording");
        QPalette palette = badge->palette();
        palette.setColor(QPalette::WindowText, ControlLook::redColor());
        badge->setPalette(palette);
        top->addWidget(badge);
    }
    column->addLayout(top);
    auto* figures = new QHBoxLayout;
    figures->setSpacing(kFigureSpacingPoints);
    for (QLabel* label : {
             figure("arrow.left.and.right", text(formatDistance(statistics.distance)), row),
             figure("arrow.up.forward", text(formatAltitude(statistics.ascent)), row),
             figure("clock", text(formatDuration(statistics.duration)), row),
             figure("speedometer", text(formatSpeed(speed)), row),
         }) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        label->setFont(font);
        label->setEnabled(false);
        label->setObjectName("figure");
        figures->addWidget(label);
    }
    figures->addStretch();
    column->addLayout(figures);
    return row;
}

QWidget* makeEmptyState(const char* symbol, const QString& title, const QString& description)
{
    auto* state = new QWidget;
    auto* column = new QVBoxLayout(state);
    column->addStretch();
    auto* icon = new QLabel(Symbols::glyph(symbol), state);
    icon->setFont(Symbols::font(44, QFont::Normal));
    icon->setEnabled(false);
    auto* heading = new QLabel(title, state);
    heading->setObjectName("title");
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    auto* body = new QLabel(description, state);
    body->setObjectName("description");
    body->setWordWrap(true);
    body->setAlignment(Qt::AlignHCenter);
    body->setEnabled(false);
    for (QLabel* label : { icon, heading, body })
        column->addWidget(label, 0, Qt::AlignHCenter);
    column->addStretch();
    return state;
}

} // namespace

QString TracksView::label(Tab tab)
{
    switch (tab) {
    case Tab::tracks:
        return QStringLiteral("Trajets");
    case Tab::views:
        return QStringLiteral("Vues");
    case Tab::videos:
        return QStringLiteral("Vidéos");
    }
    return {};
}

TracksView::TracksView(AppModel& model, TrackAction onShow, TrackAction onFlyover, QWidget* parent)
    : QDialog(parent)
    , model_(model)
    , onShow_(std::move(onShow))
    , onFlyover_(std::move(onFlyover))
    , navigation_(new QStackedWidget(this))
    , root_(new QWidget)
    , title_(new QLabel(this))
    , import_(new QPushButton(Symbols::icon("square.and.arrow.down", 16, palette().color(QPalette::ButtonText)),
          QStringLiteral("Importer"), this))
    , content_(new QStackedWidget(this))
    , empty_(makeEmptyState("figure.walk", QStringLiteral("Aucun trajet"),
          QStringLiteral("Appuyez sur le bouton d'enregistrement pour tracer votre parcours.")))
    , tracksPage_(new QWidget)
    , list_(new QListWidget(tracksPage_))
    , footer_(makeSheetFooter({}))
    , capturePrompts_(new CapturePrompts(model, *this))
    , viewsEmpty_(makeEmptyState("camera", QStringLiteral("Aucune vue"),
          QStringLiteral("L'icône appareil photo de la palette enregistre la vue affichée, pour la retrouver ici.")))
    , videosEmpty_(makeEmptyState("film", QStringLiteral("Aucune vidéo"),
          QStringLiteral("Les vols, tours de drone et survols s'enregistrent ici d'eux-mêmes, pour les rejouer ou en faire "
                         "un film.")))
    , viewsTab_(new CaptureTab(CaptureTab::Kind::views, model, *capturePrompts_, [this] { accept(); }))
    , videosTab_(new CaptureTab(CaptureTab::Kind::videos, model, *capturePrompts_, [this] { accept(); }))
{
    setWindowTitle(QStringLiteral("Bibliothèque"));
    resize(480, 640);
    auto* frame = new QVBoxLayout(this);
    frame->addWidget(navigation_);
    navigation_->addWidget(root_);
    auto* layout = new QVBoxLayout(root_);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    auto* close = new QPushButton(QStringLiteral("Fermer"), this);
    close->setObjectName("close");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    bar->addWidget(close);
    bar->addStretch();
    // The segmented picker "Liste".
    auto* picker = new QButtonGroup(this);
    for (std::size_t i = 0; i < kTabs.size(); ++i) {
        auto* button = new QPushButton(label(kTabs[i]), this);
        button->setCheckable(true);
        picker->addButton(button, int(i));
        bar->addWidget(button);
        tabButtons_[i] = button;
    }
    tabButtons_[0]->setChecked(true);
    connect(picker, &QButtonGroup::idClicked, this, [this](int id) { setTab(kTabs[std::size_t(id)]); });
    bar->addStretch();
    bar->addWidget(import_);
    layout->addLayout(bar);
    QFont heading = title_->font();
    heading.setBold(true);
    title_->setFont(heading);
    layout->addWidget(title_, 0, Qt::AlignHCenter);

    auto* page = new QVBoxLayout(tracksPage_);
    page->setContentsMargins(0, 0, 0, 0);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    page->addWidget(list_);
    page->addWidget(footer_);
    for (QWidget* page : { empty_, tracksPage_, viewsEmpty_, static_cast<QWidget*>(viewsTab_), videosEmpty_,
             static_cast<QWidget*>(videosTab_) })
        content_->addWidget(page);
    layout->addWidget(content_, 1);

    connect(list_, &QListWidget::itemActivated, this,
        [this](QListWidgetItem* item) { openTrack(item->data(kIdRole).toString().toStdString()); });
    connect(list_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) { showMenu(at); });
    auto* rename = new QShortcut(QKeySequence(Qt::Key_F2), list_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(rename, &QShortcut::activated, this, [this] { beginRename(list_->currentRow()); });
    auto* remove = new QShortcut(QKeySequence::Delete, list_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, [this] { deleteSelected(); });
    connect(import_, &QPushButton::clicked, this, [this] { chooseFiles(); });
    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    setTab(Tab::tracks);
    refresh();
}

QWidget& TracksView::emptyState(Tab tab) const
{
    return tab == Tab::tracks ? *empty_ : tab == Tab::views ? *viewsEmpty_ : *videosEmpty_;
}

CaptureTab& TracksView::captureTab(Tab tab) const
{
    return tab == Tab::videos ? *videosTab_ : *viewsTab_;
}

QAbstractButton& TracksView::tabButton(Tab tab) const
{
    return *tabButtons_[std::size_t(std::find(kTabs.begin(), kTabs.end(), tab) - kTabs.begin())];
}

void TracksView::setTab(Tab tab)
{
    tab_ = tab;
    title_->setText(label(tab));
    import_->setVisible(tab == Tab::tracks);
    tabButton(tab).setChecked(true);
    showContent();
}

void TracksView::showContent()
{
    switch (tab_) {
    case Tab::tracks:
        content_->setCurrentWidget(model_.tracks().savedTracks().empty() ? empty_ : tracksPage_);
        break;
    case Tab::views:
    case Tab::videos: {
        CaptureTab& captures = captureTab(tab_);
        content_->setCurrentWidget(captures.isEmpty() ? &emptyState(tab_) : &captures);
        break;
    }
    }
}

void TracksView::refresh()
{
    showContent();
    const TrackRecorder& recorder = model_.tracks();
    // A cheap fingerprint of what the rows show.
    std::string shown = recorder.isRecording() ? recorder.current()->metadata.id : std::string();
    for (const TrackMetadata& track : recorder.savedTracks()) {
        shown += '\n' + track.id + '\t' + track.name;
        if (auto statistics = recorder.savedStatistics().find(track.id); statistics != recorder.savedStatistics().end())
            shown += '\t' + std::to_string(statistics->second.distance) + '\t' + std::to_string(statistics->second.duration);
    }
    if (shown == shown_ && list_->count() == int(recorder.savedTracks().size()))
        return;
    shown_ = std::move(shown);
    rebuildList();
}

void TracksView::rebuildList()
{
    const TrackRecorder& recorder = model_.tracks();
    const std::string current = recorder.isRecording() ? recorder.current()->metadata.id : std::string();
    std::vector<std::string> selected;
    for (const QListWidgetItem* item : list_->selectedItems())
        selected.push_back(item->data(kIdRole).toString().toStdString());
    list_->clear();
    for (const TrackMetadata& track : recorder.savedTracks()) {
        const auto statistics = recorder.savedStatistics().find(track.id);
        const auto speed = recorder.savedSpeeds().find(track.id);
        QWidget* row = makeRow(track, statistics == recorder.savedStatistics().end() ? TrackStatistics() : statistics->second,
            speed == recorder.savedSpeeds().end() ? std::nullopt : std::optional<double>(speed->second), track.id == current);
        auto* item = new QListWidgetItem(list_);
        item->setData(kIdRole, text(track.id));
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
        item->setSelected(std::find(selected.begin(), selected.end(), track.id) != selected.end());
    }
    showContent();
    footer_->setText(QString::number(recorder.savedTracks().size()) + QStringLiteral(" trajet(s) · ")
        + text(byteCountText(recorder.store().diskSize())));
}

std::vector<std::string> TracksView::rowIds() const
{
    std::vector<std::string> ids;
    for (int i = 0; i < list_->count(); ++i)
        ids.push_back(list_->item(i)->data(kIdRole).toString().toStdString());
    return ids;
}

std::vector<QString> TracksView::rowTexts(int row) const
{
    QWidget* widget = list_->itemWidget(list_->item(row));
    std::vector<QString> texts { widget->findChild<QLabel*>("name")->text() };
    for (const QLabel* label : widget->findChildren<QLabel*>("figure"))
        texts.push_back(label->property("value").toString());
    if (widget->findChild<QLabel*>("recording"))
        texts.push_back(QStringLiteral("En cours"));
    return texts;
}

void TracksView::showMenu(const QPoint& position)
{
    QListWidgetItem* item = selectRowForMenu(*list_, position);
    if (!item)
        return;
    QMenu menu(this);
    QAction* rename = menu.addAction(Symbols::icon("pencil", 16, palette().color(QPalette::Text)), QStringLiteral("Renommer"));
    rename->setShortcut(QKeySequence(Qt::Key_F2));
    QAction* remove = menu.addAction(QStringLiteral("Supprimer"));
    remove->setShortcut(QKeySequence::Delete);
    QAction* chosen = menu.exec(list_->viewport()->mapToGlobal(position));
    if (chosen == rename)
        beginRename(list_->row(item));
    else if (chosen == remove)
        deleteSelected();
}

QLineEdit* TracksView::renameField() const
{
    return renameDialog_ ? renameDialog_->findChild<QLineEdit*>() : nullptr;
}

void TracksView::beginRename(int row)
{
    if (row < 0 || row >= list_->count() || renameDialog_)
        return;
    const std::string id = list_->item(row)->data(kIdRole).toString().toStdString();
    const auto& saved = model_.tracks().savedTracks();
    const auto track = std::find_if(saved.begin(), saved.end(), [&](const TrackMetadata& m) { return m.id == id; });
    if (track == saved.end())
        return;
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Renommer"));
    auto* column = new QVBoxLayout(dialog);
    auto* field = new QLineEdit(text(track->name), dialog);
    field->setPlaceholderText(QStringLiteral("Nom"));
    field->selectAll();
    column->addWidget(field);
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(QStringLiteral("Renommer"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(dialog, &QDialog::accepted, this, [this, id, field] {
        // A blank name changes nothing; spaces around a name are not kept.
        const QString name = field->text().trimmed();
        if (!name.isEmpty())
            model_.tracks().rename(id, name.toStdString());
    });
    renameDialog_ = dialog;
    dialog->open();
}

void TracksView::deleteSelected()
{
    std::vector<std::string> ids;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->isSelected())
            ids.push_back(list_->item(i)->data(kIdRole).toString().toStdString());
    if (ids.empty() || deleteConfirmation_)
        return;
    const TrackRecorder& recorder = model_.tracks();
    const bool recording = recorder.isRecording()
        && std::find(ids.begin(), ids.end(), recorder.current()->metadata.id) != ids.end();
    if (ids.size() == 1 && !recording) {
        deleteTracks(ids);
        return;
    }
    // Several rows go only once the walker has seen how many: a Control-A then Delete
    // would otherwise take the whole library.
    const bool several = ids.size() > 1;
    const QString question = several ? QStringLiteral("Supprimer %1 trajets ?").arg(ids.size())
                                     : QStringLiteral("Supprimer le trajet en cours ?");
    QString consequence = several ? QStringLiteral("Cette action est définitive.")
                                  : QStringLiteral("L'enregistrement sera arrêté, puis le trajet supprimé.");
    if (several && recording)
        consequence += QStringLiteral(" L'enregistrement en cours sera arrêté.");
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Supprimer"), question, QMessageBox::NoButton, this);
    box->setInformativeText(consequence);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* confirm = box->addButton(QStringLiteral("Supprimer"), QMessageBox::DestructiveRole);
    box->addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
    connect(box, &QMessageBox::buttonClicked, this, [this, ids, confirm](QAbstractButton* button) {
        if (button == confirm)
            deleteTracks(ids);
    });
    deleteConfirmation_ = box;
    box->open();
}

void TracksView::deleteTracks(const std::vector<std::string>& ids)
{
    for (const std::string& id : ids)
        model_.tracks().deleteTrack(id);
}

void TracksView::openTrack(const std::string& id)
{
    std::optional<Track> track = model_.tracks().store().readTrack(id);
    if (!track || detail_)
        return;
    TrackDetailView::Callbacks callbacks {
        .onShowOnMap = [this](const Track& shown) {
            onShow_(shown);
            reject();
        },
        .onDelete = [this, id](const Track&) { model_.tracks().deleteTrack(id); },
        .onRename = [this, id](const Track&, const std::string& name) { model_.tracks().rename(id, name); },
        .onEdit = [this, id](TrackEdit edit) -> std::optional<Track> {
            if (model_.tracks().apply(edit, id) <= 0)
                return std::nullopt;
            return model_.tracks().store().readTrack(id);
        },
        .onFlyover = [this](const Track& flown) {
            onFlyover_(flown);
            reject();
        },
        .dismiss = [this] { closeDetail(); },
    };
    auto* detail = new TrackDetailView(std::move(*track), model_, std::move(callbacks));
    navigation_->addWidget(detail);
    navigation_->setCurrentWidget(detail);
    detail_ = detail;
}

void TracksView::openNewestTrack()
{
    // Once: going back to the list must not bring the detail straight back.
    if (openedNewestTrack_)
        return;
    openedNewestTrack_ = true;
    if (!model_.tracks().savedTracks().empty())
        openTrack(model_.tracks().savedTracks().front().id);
}

void TracksView::closeDetail()
{
    if (!detail_)
        return;
    navigation_->setCurrentWidget(root_);
    navigation_->removeWidget(detail_);
    // Later: the detail may be closing itself from one of its own buttons.
    detail_->deleteLater();
    detail_ = nullptr;
}

void TracksView::chooseFiles()
{
    const QStringList chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("Importer"), {},
        QStringLiteral("Traces GPX (*.gpx *.GPX);;XML (*.xml)"));
    std::vector<std::filesystem::path> files;
    for (const QString& file : chosen)
        files.emplace_back(file.toStdString());
    if (!files.empty())
        importFiles(std::move(files));
}

void TracksView::importFiles(std::vector<std::filesystem::path> files)
{
    if (importing_)
        return;
    importing_ = true;
    import_->setEnabled(false);
    // The model's worker holds nothing the sheet owns: a large import goes on after the sheet
    // is closed, and closing it never waits.
    model_.importWorker().post([sheet = QPointer<TracksView>(this), model = QPointer<AppModel>(&model_),
                                   queue = model_.mainQueue(), root = model_.tracks().store().root(),
                                   files = std::move(files), now = std::chrono::system_clock::now()] {
        GPXImportResult result = importGPXFiles(root, files, now);
        queue->post([sheet, model, result = std::move(result)] {
            if (sheet)
                sheet->finishImport(result);
            else if (model)
                // Nobody is left to tell what failed; the stored tracks are still listed.
                model->tracks().reloadSavedTracks();
        });
    });
}

void TracksView::finishImport(const GPXImportResult& result)
{
    importing_ = false;
    import_->setEnabled(true);
    model_.tracks().reloadSavedTracks();
    const auto message = importMessage(result);
    if (!message)
        return;
    auto* alert = new QMessageBox(QMessageBox::Information, QStringLiteral("Import"), text(*message), QMessageBox::NoButton, this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
    importAlert_ = alert;
    alert->open();
}

} // namespace velorin
