#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace velorin {

class AppModel;
class SymbolButton;

// The floating capsule of main commands: settings, the relief view, following the
// position, following the compass (only where the device reports a heading), recording a
// track, the saved tracks and the account. Each button shows its state by symbol and
// colour and first keeps the map controls shown. A recording starts only once its
// confirmation is accepted, and stops at the first press. The buttons whose actions the
// application does not offer yet are shown disabled. GUI thread only.
class MapToolbar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSpacingPoints = 6;
    static constexpr int kHorizontalPaddingPoints = 8;
    static constexpr int kVerticalPaddingPoints = 6;

    static constexpr const char* kStartTitle = "Démarrer un trajet";
    static constexpr const char* kStartMessage
        = "Votre position sera enregistrée, y compris écran verrouillé, jusqu'à ce que vous arrêtiez le trajet.";

    MapToolbar(AppModel& model, QWidget* parent);

    // The start confirmation while it is shown.
    QMessageBox* startConfirmation() const { return startConfirmation_; }

signals:
    // The settings button: the screen opens the settings sheet.
    void settingsRequested();
    // The account button: the screen opens the account sheet.
    void accountRequested();
    // The saved tracks button: the screen opens the library.
    void tracksRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolButton* addButton(const char* name, const char* symbol, const char* accessibleName,
        std::function<void()> operation);
    void refresh();
    void pressRecording();

    AppModel& model_;
    SymbolButton* relief_;
    SymbolButton* follow_;
    SymbolButton* compass_;
    SymbolButton* account_;
    SymbolButton* recording_;
    // Cleared by Qt once the confirmation closes.
    QPointer<QMessageBox> startConfirmation_;
};

} // namespace velorin
