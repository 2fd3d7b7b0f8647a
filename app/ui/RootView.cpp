#include "app/ui/RootView.h"

#include "app/AppModel.h"
#include "app/UpdatePlugin.h"
#include "app/ui/FailureView.h"
#include "app/ui/LoadingView.h"
#include "app/ui/MapScreen.h"

#include "platform/Version.h"

#include <QAction>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>

namespace velorin {

RootView::RootView(AppModel& model, MapCanvasView::Environment environment, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , environment_(std::move(environment))
    , menuBar_(new QMenuBar(this))
    , helpMenu_(menuBar_->addMenu(QStringLiteral("Aide")))
{
    // One bar inside the window: Linux desktops have no menu of the application's own.
    menuBar_->setNativeMenuBar(false);
    QMenu* file = new QMenu(QStringLiteral("Fichier"), menuBar_);
    menuBar_->insertMenu(helpMenu_->menuAction(), file);
    // Quitting closes the window, as its title bar does: the view and the model are saved
    // on the way out.
    QAction* quit = file->addAction(QStringLiteral("Quitter"), this, [this] { window()->close(); });
    quit->setObjectName("quit");
    quit->setShortcut(QKeySequence::Quit);
    QMenu* maps = new QMenu(QStringLiteral("Cartes"), menuBar_);
    menuBar_->insertMenu(helpMenu_->menuAction(), maps);
    searchAction_ = maps->addAction(QStringLiteral("Rechercher une carte TOP25…"), this, [this] {
        if (auto* map = dynamic_cast<MapScreen*>(content_))
            map->openSearch();
    });
    searchAction_->setObjectName("sheetSearch");
    searchAction_->setShortcut(QKeySequence::Find);
    offlineAction_ = maps->addAction(QStringLiteral("Cartes hors ligne…"), this, [this] {
        if (auto* map = dynamic_cast<MapScreen*>(content_))
            map->openOffline();
    });
    offlineAction_->setObjectName("offlineMaps");
    offlineAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    helpMenu_->addAction(QStringLiteral("À propos de Velorin"), this, [this] { showAbout(); });
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, backgroundColor());
    setPalette(palette);
    modelChanged_ = connect(&model_, &AppModel::changed, this, [this] { follow(); });
    follow();
}

RootView::~RootView()
{
    // The screens go after this destructor, and one going may still publish a change.
    disconnect(modelChanged_);
}

void RootView::offerUpdateCheck(const std::function<UpdatePlugin*()>& plugin)
{
    if (!plugin || !plugin())
        return;
    helpMenu_->addAction(QStringLiteral("Rechercher les mises à jour…"), this, [plugin] {
        if (UpdatePlugin* target = plugin())
            target->rechercher();
    });
}

void RootView::showAbout()
{
    QMessageBox::about(this, QStringLiteral("À propos de Velorin"),
        QStringLiteral("Velorin %1").arg(QString::fromUtf8(platform::kVersion)));
}

QRect RootView::contentArea() const
{
    return rect().adjusted(0, menuBar_->sizeHint().height(), 0, 0);
}

void RootView::resizeEvent(QResizeEvent*)
{
    menuBar_->setGeometry(0, 0, width(), menuBar_->sizeHint().height());
    if (content_)
        content_->setGeometry(contentArea());
}

void RootView::follow()
{
    const Screen screen = wanted();
    // The map screen keeps its own state while the model publishes.
    if (screen == shown_ && (screen != Screen::failure || shownMessage_ == model_.state().message))
        return;
    present(screen);
}

RootView::Screen RootView::wanted() const
{
    switch (model_.state().kind) {
    case LoadState::Kind::loading:
        return Screen::loading;
    case LoadState::Kind::failed:
        return Screen::failure;
    case LoadState::Kind::ready:
        break;
    }
    const bool complete = model_.catalog() && model_.loader() && model_.device();
    return complete ? Screen::map : Screen::none;
}

void RootView::present(Screen screen)
{
    if (content_) {
        // The old screen may be the one reporting this change: it goes once its call is over.
        content_->hide();
        content_->deleteLater();
        content_ = nullptr;
    }
    shown_ = screen;
    shownMessage_ = model_.state().message;
    // The maps' entries need the map screen.
    searchAction_->setEnabled(screen == Screen::map);
    offlineAction_->setEnabled(screen == Screen::map);
    switch (screen) {
    case Screen::none:
        setMinimumSize(0, 0);
        return;
    case Screen::loading:
        content_ = new LoadingView(this);
        break;
    case Screen::failure:
        content_ = new FailureView(model_.state().message, [this] { model_.retryStart(); }, this);
        break;
    case Screen::map:
        content_ = new MapScreen(model_, environment_, this);
        break;
    }
    // A window made smaller than its screen allows would hide controls off its edges.
    setMinimumSize(content_->minimumSizeHint().expandedTo(QSize(0, 0)) + QSize(0, menuBar_->sizeHint().height()));
    content_->setGeometry(contentArea());
    content_->show();
    content_->setFocus();
}

} // namespace velorin
