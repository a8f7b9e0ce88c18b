#pragma once
#include <QDialog>
#include <string>

#include "platform/DesktopShell.h"
#include "platform/Dialogs.h"

class QTimer;

namespace rheo {

class SplashLabel;

enum class SplashMode {
    Startup,  // closes by itself after 3000 ms; the "Close" label is hidden
    About,    // stays until the "Close" label is clicked
};

// The borderless splash window, also the about window: the splash picture, the product name
// and version, the maker's copyright and the link to the maker's web address.
class Splash : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 427;
    static constexpr int kHeight = 433;
    static constexpr int kCloseAfterMs = 3000;

    // Creates the window afresh, puts it in the mode, shows it modally and destroys it after it
    // has closed. The event loop keeps running meanwhile, so readings keep arriving.
    static void ShowModal(SplashMode mode, QWidget* parent = nullptr);

    // What the web link uses. Null stands for the desktop's own shell and for message boxes
    // owned by this window; an empty directory for the program directory chosen at start-up
    // (looked up at each click).
    static void SetWebLink(DesktopShell* shell, MessageBoxes* boxes,
                           std::string programDirectory = {});

    explicit Splash(QWidget* parent = nullptr);
    ~Splash() override;

    void SetMode(SplashMode mode);

    // Esc and the window manager's close request do nothing: the window ends only by its
    // timer or its "Close" label.
    void reject() override;

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void Finish();
    void InvertCloseLabel();
    void PlainCloseLabel();
    void OpenWebPage();

    QTimer* Timer1_ = nullptr;
    SplashLabel* Label5_ = nullptr;
};

}  // namespace rheo
