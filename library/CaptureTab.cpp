#include "library/CaptureTab.h"

#include "app/AppModel.h"
#include "library/CapturePrompts.h"
#include "library/CaptureRow.h"
#include "library/CaptureTexts.h"
#include "library/CaptureThumbnail.h"
#include "library/ContextMenuSelection.h"
#include "platform/Log.h"
#include "recordings/PhotoLibraryExport.h"
#include "widgets/SheetParts.h"

#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace velorin {

namespace {

constexpr int kIdRole = Qt::UserRole;
// Thumbnails decoded at once; they are small.
constexpr int kDecoderThreads = 2;

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

template <typename Capture>
std::optional<Capture> findCapture(const std::vector<Capture>& captures, const std::string& id)
{
    const auto found = std::find_if(captures.begin(), captures.end(), [&](const Capture& c) { return c.id == id; });
    return found == captures.end() ? std::nullopt : std::optional<Capture>(*found);
}

template <typename Capture>
std::vector<std::string> idsOf(const std::vector<Capture>& captures)
{
    std::vector<std::string> ids;
    for (const Capture& capture : captures)
        ids.push_back(capture.id);
    return ids;
}

// The outcome of a save, in the sheet's alert while the sheet is there; afterwards nobody
// asked to see it, so it is only logged.
void report(const QPointer<CapturePrompts>& prompts, std::string_view message)
{
    if (prompts)
        prompts->showMessage(text(message));
    else
        platform::Log::info(platform::logcat::tracks, "bibliothèque fermée : « {} » non affiché", message);
}

} // namespace

CaptureTab::CaptureTab(Kind kind, AppModel& model, CapturePrompts& prompts, std::function<void()> dismiss,
    QWidget* parent)
    : QWidget(parent)
    , kind_(kind)
    , model_(model)
    , prompts_(prompts)
    , dismiss_(std::move(dismiss))
    , list_(new QListWidget(this))
    , decoder_("Miniatures", kDecoderThreads)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(list_);
    if (kind_ == Kind::videos) {
        notice_ = makeSheetFooter({});
        notice_->setObjectName("notice");
        layout->addWidget(notice_);
    }
    connect(list_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) { showMenu(at); });
    connect(list_, &QListWidget::itemActivated, this,
        [this](QListWidgetItem* item) { openCapture(item->data(kIdRole).toString().toStdString()); });
    auto* remove = new QShortcut(QKeySequence::Delete, list_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, [this] { deleteSelected(); });
    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

CaptureTab::~CaptureTab() = default;

bool CaptureTab::isEmpty() const
{
    const CaptureStore& captures = model_.captures();
    return kind_ == Kind::views ? captures.views().empty() : captures.videos().empty();
}

std::vector<std::string> CaptureTab::rowIds() const
{
    std::vector<std::string> ids;
    for (int i = 0; i < list_->count(); ++i)
        ids.push_back(rowId(i));
    return ids;
}

std::string CaptureTab::rowId(int index) const
{
    const QListWidgetItem* item = list_->item(index);
    return item ? item->data(kIdRole).toString().toStdString() : std::string();
}

CaptureRow& CaptureTab::row(int index) const
{
    return *static_cast<CaptureRow*>(list_->itemWidget(list_->item(index)));
}

void CaptureTab::showEvent(QShowEvent* event)
{
    // The notice reads the film height afresh each time the tab shows.
    refresh();
    QWidget::showEvent(event);
}

void CaptureTab::refresh()
{
    const CaptureStore& captures = model_.captures();
    if (auto ids = kind_ == Kind::views ? idsOf(captures.views()) : idsOf(captures.videos()); ids != shown_) {
        shown_ = std::move(ids);
        rebuildList();
    }
    showProgress();
    if (notice_)
        notice_->setText(text(CaptureTexts::filmNotice(model_.defaults()->boolean(AppModel::kVideoHDKey).value_or(false))));
}

void CaptureTab::rebuildList()
{
    std::vector<std::string> selected;
    for (const QListWidgetItem* item : list_->selectedItems())
        selected.push_back(item->data(kIdRole).toString().toStdString());
    list_->clear();
    const CaptureStore& captures = model_.captures();
    auto add = [&](const std::string& id, const std::string& name, const std::string& subtitle,
                   const std::filesystem::path& thumbnail) {
        auto* row = new CaptureRow(text(name), text(subtitle));
        if (const auto cached = thumbnails_.find(id); cached != thumbnails_.end())
            row->thumbnail().setImage(cached->second);
        else
            row->thumbnail().load(thumbnail, decoder_, model_.mainQueue(),
                [tab = QPointer<CaptureTab>(this), id](const QImage& image) {
                    if (tab)
                        tab->thumbnails_[id] = image;
                });
        connect(&row->tapArea(), &QAbstractButton::clicked, this, [this, id] { openCapture(id); });
        connect(&row->photosButton(), &QAbstractButton::clicked, this, [this, id] { savePhotoOf(id); });
        connect(&row->fileButton(), &QAbstractButton::clicked, this, [this, id] { saveFileOf(id); });
        auto* item = new QListWidgetItem(list_);
        item->setData(kIdRole, text(id));
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
        item->setSelected(std::find(selected.begin(), selected.end(), id) != selected.end());
    };
    if (kind_ == Kind::views)
        for (const SavedView& view : captures.views())
            add(view.id, view.name, CaptureTexts::viewSubtitle(view), captures.thumbnailFile(view));
    else
        for (const SavedVideo& video : captures.videos())
            add(video.id, video.name, CaptureTexts::videoSubtitle(video), captures.thumbnailFile(video));
}

void CaptureTab::showProgress()
{
    if (kind_ != Kind::videos)
        return;
    const auto& progress = model_.movieProgress();
    for (int i = 0; i < list_->count(); ++i) {
        const auto entry = progress.find(rowId(i));
        row(i).setProgress(entry == progress.end() ? std::nullopt : std::optional<double>(entry->second));
    }
}

void CaptureTab::open(int index)
{
    openCapture(rowId(index));
}

void CaptureTab::saveToPhotos(int index)
{
    savePhotoOf(rowId(index));
}

void CaptureTab::saveToFile(int index)
{
    saveFileOf(rowId(index));
}

void CaptureTab::openCapture(const std::string& id)
{
    // The map has the capture before the sheet goes.
    if (kind_ == Kind::views) {
        const auto view = findCapture(model_.captures().views(), id);
        if (!view)
            return;
        model_.openSavedView(*view);
    } else {
        const auto video = findCapture(model_.captures().videos(), id);
        if (!video)
            return;
        model_.playSavedVideo(*video);
    }
    dismiss_();
}

void CaptureTab::savePhotoOf(const std::string& id)
{
    // Holds what the copy needs rather than the tab, so that it ends even once the sheet is gone.
    auto copy = [prompts = QPointer<CapturePrompts>(&prompts_), folders = model_.folders(),
                    worker = model_.photoWorker(), mainQueue = model_.mainQueue()](
                    const std::filesystem::path& file, const std::string& name) {
        velorin::saveToPhotos(file, file.extension() == ".mp4", name, folders, *worker, mainQueue,
            [prompts](bool added) { report(prompts, added ? CaptureTexts::kSavedToPhotos : CaptureTexts::kNotSaved); });
    };
    if (kind_ == Kind::views) {
        if (const auto view = findCapture(model_.captures().views(), id))
            copy(model_.captures().photoFile(*view), view->name);
        return;
    }
    const auto video = findCapture(model_.captures().videos(), id);
    if (!video)
        return;
    model_.makeFilm(*video, [copy, prompts = QPointer<CapturePrompts>(&prompts_), name = video->name](
                                std::optional<std::filesystem::path> film) {
        if (film)
            copy(*film, name);
        else
            report(prompts, CaptureTexts::kFilmFailed);
    });
}

void CaptureTab::saveFileOf(const std::string& id)
{
    if (kind_ == Kind::views) {
        if (const auto view = findCapture(model_.captures().views(), id))
            prompts_.offerExport(CaptureFile { model_.captures().photoFile(*view) });
        return;
    }
    const auto video = findCapture(model_.captures().videos(), id);
    if (!video)
        return;
    model_.makeFilm(*video, [prompts = QPointer<CapturePrompts>(&prompts_)](std::optional<std::filesystem::path> film) {
        if (!film)
            report(prompts, CaptureTexts::kFilmFailed);
        else if (prompts)
            prompts->offerExport(CaptureFile { *film });
        else
            platform::Log::info(platform::logcat::tracks, "bibliothèque fermée : exportation de {} non proposée",
                film->string());
    });
}

void CaptureTab::deleteSelected()
{
    // Every selected capture is looked up before the first goes, since each deletion
    // rebuilds the list.
    std::vector<SavedView> views;
    std::vector<SavedVideo> videos;
    CaptureStore& captures = model_.captures();
    for (const QListWidgetItem* item : list_->selectedItems()) {
        const std::string id = item->data(kIdRole).toString().toStdString();
        if (kind_ == Kind::views) {
            if (auto view = findCapture(captures.views(), id))
                views.push_back(std::move(*view));
        } else if (auto video = findCapture(captures.videos(), id)) {
            videos.push_back(std::move(*video));
        }
    }
    for (const SavedView& view : views)
        captures.deleteView(view);
    for (const SavedVideo& video : videos)
        captures.deleteVideo(video);
}

void CaptureTab::showMenu(const QPoint& position)
{
    if (!selectRowForMenu(*list_, position))
        return;
    QMenu menu(this);
    QAction* remove = menu.addAction(QStringLiteral("Supprimer"));
    remove->setShortcut(QKeySequence::Delete);
    if (menu.exec(list_->viewport()->mapToGlobal(position)) == remove)
        deleteSelected();
}

} // namespace velorin
