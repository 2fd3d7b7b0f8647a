#pragma once

#include <QWidget>

#include <functional>

namespace velorin {

class AppModel;
class SymbolButton;

// The floating capsule of main commands: settings, the relief view, following the
// position, following the compass (only where the device reports a heading), recording a
// track, the saved tracks and the account. Each button shows its state by symbol and
// colour and first keeps the map controls shown. The buttons whose actions the application
// does not offer yet are shown disabled. GUI thread only.
class MapToolbar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSpacingPoints = 6;
    static constexpr int kHorizontalPaddingPoints = 8;
    static constexpr int kVerticalPaddingPoints = 6;

    MapToolbar(AppModel& model, QWidget* parent);

signals:
    // The settings button: the screen opens the settings sheet.
    void settingsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolButton* addButton(const char* name, const char* symbol, const char* accessibleName,
        std::function<void()> operation);
    void refresh();

    AppModel& model_;
    SymbolButton* relief_;
    SymbolButton* follow_;
    SymbolButton* compass_;
};

} // namespace velorin
