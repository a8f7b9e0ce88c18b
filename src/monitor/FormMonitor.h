#pragma once
#include <QPointer>
#include <QTreeView>
#include <QWidget>

#include "monitor/CommandMenu.h"
#include "monitor/MonitorHost.h"
#include "monitor/MonitorToolbar.h"
#include "monitor/ReadingListModel.h"
#include "platform/MonitorView.h"
#include "recording/ReadingHistory.h"

namespace rheo {

// The main window: the toolbar, the list of the last twenty readings and the command menu that
// opens over the list. It keeps no reading data of its own; the list is rebuilt on every
// RefreshMonitor from the reading history it was given.
class FormMonitor : public QWidget, public MonitorView {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 560;
    static constexpr int kClientHeight = 352;

    FormMonitor(const ReadingHistory& history, MonitorHost& host, QWidget* parent = nullptr);
    ~FormMonitor() override;

    // MonitorView
    void RefreshMonitor() override;
    void SetColumnCaption(int column, const Text& caption) override;
    void SetCaption(const std::string& caption) override;
    void SetCloseCommandEnabled(bool enabled) override;
    void ShowPortMarks(const PortMarks& marks) override;

    // The window's commands.
    void NuevoArchivo();
    void AbrirArchivo();
    void CerrarArchivo();
    void VerLog();
    void About();

    // Shows the window, centred on its screen the first time.
    void ShowCentred();

    MonitorToolbar* Toolbar1() const { return Toolbar1_; }
    QTreeView* ListView2() const { return ListView2_; }
    CommandMenu* MArch() const { return MArch_; }
    ReadingListModel* ListModel() const { return model_; }
    QWidget* DebugWindow() const { return debugWindow_; }

  public slots:
    void Toolbar1_ButtonClick(int position);
    void Toolbar1_ButtonMenuClick(int entry);
    void ShowDebugWindow();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildList();
    void ConnectMenu();

    const ReadingHistory& history_;
    MonitorHost& host_;
    MonitorToolbar* Toolbar1_ = nullptr;
    QTreeView* ListView2_ = nullptr;
    ReadingListModel* model_ = nullptr;
    CommandMenu* MArch_ = nullptr;
    QPointer<QWidget> debugWindow_;
    bool centred_ = false;
};

}  // namespace rheo
