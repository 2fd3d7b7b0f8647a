#pragma once

#include <QWidget>

#include <functional>

namespace velorin {

class AppModel;
class SymbolButton;

// The floating column of map options: photo pins, the IGN or Apple maps, the aerial photo,
// 3D trees and buildings, summit and pass names, saving the view, zooming, and the flyover
// of the track on the map (or the tour of the aimed point), which also stops either.
// Each button shows its state by symbol and colour and first keeps the map controls shown.
// The buttons whose actions the application does not offer yet are shown disabled.
// GUI thread only.
class MapPalette : public QWidget {
    Q_OBJECT

public:
    static constexpr int kVerticalPaddingPoints = 4;
    static constexpr int kDividerWidthPoints = 28;

    MapPalette(AppModel& model, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolButton* addButton(const char* name, std::function<void()> operation);
    void addDivider();
    void refresh();

    AppModel& model_;
    SymbolButton* photoPins_;
    SymbolButton* ign_;
    SymbolButton* apple_;
    SymbolButton* aerial_;
    SymbolButton* trees_;
    SymbolButton* toponyms_;
    SymbolButton* flyover_;
};

} // namespace velorin
