// The main window's behaviour: start-up and shut-down, the handlers it forwards to the task table, and
// the TaskWindow side the task logic drives.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include "app/converter_image.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "platform/file_ops.h"

#ifdef MORVALIN_HAVE_BATCH_WINDOW
#include "resolve/batch_host.h"
#include "resolve/batch_window.h"
#endif

namespace morvalin {

void ReportEngineMissing(const std::string& message) {
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Morvalin"),
                        QString::fromStdString(message));
}

void MainWindow::Connect() {
  QObject::connect(时钟1, &QTimer::timeout, this, [this] { table_.PollTasks(); });
  QObject::connect(按钮2, &QPushButton::clicked, this, [this] { table_.ApplySettings(); });
  QObject::connect(按钮1, &QPushButton::clicked, this, [this] {
    if (batch_window_ == nullptr) return;
    batch_window_->show();
    batch_window_->raise();
    batch_window_->activateWindow();
  });
  QObject::connect(下载列表框, &QTreeWidget::customContextMenuRequested, this, [this] { ShowTaskMenu(); });
  QObject::connect(完成列表框, &QTreeWidget::customContextMenuRequested, this,
                   [this] { ShowFinishedMenu(); });
  QObject::connect(下载列表框, &QTreeWidget::itemDoubleClicked, this,
                   [this] { table_.ToggleSelectedTask(); });
  QObject::connect(删除任务, &QAction::triggered, this, [this] { table_.DeleteSelectedTask(); });
  QObject::connect(全部开始, &QAction::triggered, this, [this] { table_.StartAllTasks(); });
  QObject::connect(全部暂停, &QAction::triggered, this, [this] { table_.PauseAllTasks(); });
  QObject::connect(清空日志, &QAction::triggered, this, [this] { table_.ClearFinishedList(); });
}

void MainWindow::CreateBatchWindow() {
#ifdef MORVALIN_HAVE_BATCH_WINDOW
  auto host = std::make_shared<TaskTableBatchHost>(table_);
  batch_window_ = std::make_unique<BatchWindow>(*host);
  batch_window_->hide();
  batch_host_ = std::move(host);
#else
  // Start-up hook: the batch window is created here, hidden, once the program is built with it.
#endif
}

void MainWindow::OnMainWindowCreated() {
  CreateBatchWindow();
  // The converter file: written whole on every start, private to the user and executable. A failure
  // is left for the conversion to meet.
  WriteWholeFile(ConverterFile(), ConverterImage());
  SetOwnerOnlyExecutable(ConverterFile());
  if (FileExists(StoreFile())) {
    store_.OpenStore(StoreFile(), std::string(kStorePassword));
    table_.RestoreSavedState();
  }
  engine_.XL_Init();
}

void MainWindow::OnMainWindowDestroying() {
  if (shut_down_) return;
  shut_down_ = true;
  时钟1->stop();
  engine_.XL_UnInit();
  DeleteFileAt(ConverterFile());
  // Ends the program's event loop, whatever other windows (the batch window) are still shown. Without
  // a running loop (a window driven by a test) there is nothing to end, and ending would stop every
  // later loop of the process at once.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  OnMainWindowDestroying();
  event->accept();
}

void MainWindow::BrowseDownloadDirectory() {
  QString chosen = choose_directory_();
  if (chosen.isEmpty()) return;
  if (!chosen.endsWith(QLatin1Char('/'))) chosen += QLatin1Char('/');
  编辑框_储存路径->setText(chosen);
}

void MainWindow::ShowTaskMenu() {
  删除任务->setVisible(download_view_.SelectedRow() != -1);
  操作->popup(QCursor::pos());
}

void MainWindow::ShowFinishedMenu() { 日志->popup(QCursor::pos()); }

int MainWindow::TimerPeriod() const { return 时钟1->isActive() ? 时钟1->interval() : 0; }

void MainWindow::SetTimerPeriod(int milliseconds) {
  if (milliseconds <= 0) {
    时钟1->stop();
    return;
  }
  时钟1->start(milliseconds);
}

void MainWindow::SetStatusText(std::string_view text) { status_part_->setText(ToQString(text)); }

bool MainWindow::AskYesNo(std::string_view text, std::string_view caption) {
  return QMessageBox::question(this, ToQString(caption), ToQString(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::ShowMessage(std::string_view text, std::string_view caption) {
  const QString title = caption.empty() ? QString::fromUtf8("信息：") : ToQString(caption);
  QMessageBox::information(this, title, ToQString(text), QMessageBox::Ok);
}

void MainWindow::LetPendingEventsRun() {
  // The poll yields after every row so that input is handled during a long pass. Running the queue
  // once per few milliseconds keeps that promise without repainting the list once per row, which
  // would make a pass over a thousand tasks take most of its second.
  if (yield_clock_.isValid() && yield_clock_.elapsed() < kYieldIntervalMs) return;
  QCoreApplication::processEvents();
  yield_clock_.start();
}

std::string MainWindow::SpeedText() const { return FromQString(编辑框_下载速度->text()); }
void MainWindow::SetSpeedText(std::string_view text) { 编辑框_下载速度->setText(ToQString(text)); }
std::string MainWindow::DirectoryText() const { return FromQString(编辑框_储存路径->text()); }
void MainWindow::SetDirectoryText(std::string_view text) { 编辑框_储存路径->setText(ToQString(text)); }
bool MainWindow::AutoStart() const { return 选择框1->isChecked(); }
void MainWindow::SetAutoStart(bool checked) { 选择框1->setChecked(checked); }

}  // namespace morvalin
