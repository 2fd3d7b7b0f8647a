#pragma once

#include "app/LoadState.h"
#include "canvas/MapCanvasView.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <string>

class QAction;
class QMenu;
class QMenuBar;

namespace velorin {

class AppModel;
class UpdatePlugin;

// The content of the application's window: its menu bar ("Fichier" with "Quitter",
// "Cartes" with the TOP25 sheet search and the offline maps, "Aide"), and under it a dark
// background under the screen that the model's start-up state calls for, the loading
// screen, the failure screen or the map screen. It starts nothing itself but the failure
// screen's retry. GUI thread only; the model outlives it.
class RootView : public QWidget {
public:
    static QColor backgroundColor() { return QColor::fromRgbF(0.11f, 0.145f, 0.22f); }

    RootView(AppModel& model, MapCanvasView::Environment environment, QWidget* parent = nullptr);
    ~RootView() override;

    // The screen shown now; nothing over the background when the model is ready without
    // a catalogue, a loader or a GPU device.
    QWidget* content() const { return content_; }
    QMenuBar* menuBar() const { return menuBar_; }

    // Adds "Rechercher les mises à jour…" right after "À propos de Velorin" when `plugin`
    // gives a plug-in now; each choice sends `rechercher` once to the one it gives then.
    // Without a plug-in the menu has no such item, disabled or not.
    void offerUpdateCheck(const std::function<UpdatePlugin*()>& plugin);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Screen { none, loading, failure, map };

    // Shows the screen that the model's state calls for, unless it is shown already.
    void follow();
    Screen wanted() const;
    void present(Screen screen);
    // Below the menu bar.
    QRect contentArea() const;
    void showAbout();

    AppModel& model_;
    MapCanvasView::Environment environment_;
    Screen shown_ = Screen::none;
    // The reason on the failure screen shown.
    std::string shownMessage_;
    QWidget* content_ = nullptr;
    QMenuBar* menuBar_;
    QMenu* helpMenu_;
    QAction* searchAction_ = nullptr;
    QAction* offlineAction_ = nullptr;
    QMetaObject::Connection modelChanged_;
};

} // namespace velorin
