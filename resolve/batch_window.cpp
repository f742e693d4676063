#include "resolve/batch_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <algorithm>
#include <exception>
#include <thread>

#include "platform/code_page.h"
#include "resolve/batch_host.h"
#include "resolve/resolve_worker.h"
#include "resolve/ui_bridge.h"
#include "tasks/number_format.h"
#include "web/text_ops.h"

namespace morvalin {
namespace {

QString FromGbk(const std::string& text) { return QString::fromStdString(GbkToUtf8(text)); }

}  // namespace

BatchWindow::BatchWindow(BatchHost& host, SiteTable sites, QWidget* parent)
    : QWidget(parent, Qt::Window),
      编辑框1(new QPlainTextEdit(this)),
      标签1(new QLabel(QStringLiteral("等待解析..."), this)),
      按钮1(new QPushButton(QStringLiteral("解析并下载"), this)),
      选择框1(new QCheckBox(QStringLiteral("显示在前"), this)),
      host_(host),
      sites_(std::move(sites)) {
  setWindowTitle(QStringLiteral("Tessivar（一个播放地址一行，可同时下载不同舞曲网舞曲）"));
  // The same face and size as the main window, so that the fixed places fit the texts.
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(12);
  setFont(font);
  move(50, 50);
  resize(618, 266);
  编辑框1->setGeometry(5, 8, 603, 192);
  编辑框1->setLineWrapMode(QPlainTextEdit::NoWrap);
  标签1->setGeometry(7, 208, 377, 17);
  按钮1->setGeometry(488, 203, 121, 32);
  选择框1->setGeometry(396, 207, 80, 24);

  QObject::connect(按钮1, &QPushButton::clicked, this, [this] { StartBatch(); });
  QObject::connect(选择框1, &QCheckBox::clicked, this, [this](bool checked) { SetOnTop(checked); });
}

BatchWindow::~BatchWindow() {
  // A worker still running must not reach this window any more.
  for (const auto& weak : bridges_) {
    if (auto bridge = weak.lock()) bridge->Detach();
  }
}

std::string BatchWindow::BatchText() const {
  // The box breaks lines with LF; the batch text breaks them with CR LF.
  return ReplaceAll(Utf8ToGbk(编辑框1->toPlainText().toStdString()), "\n", "\r\n");
}

void BatchWindow::SetStatusText(const std::string& text) {
  const QString shown = FromGbk(text);
  标签1->setText(shown);
  if (status_observer_) status_observer_(shown);
}

void BatchWindow::EndBatch() {
  hide();
  编辑框1->setPlainText(QString());
  标签1->setText(QString());
  if (status_observer_) status_observer_(QString());
  按钮1->setEnabled(true);
  编辑框1->setEnabled(true);
}

void BatchWindow::SetStatusObserver(std::function<void(const QString&)> observer) {
  status_observer_ = std::move(observer);
}

bool BatchWindow::BatchRunning() const {
  return std::any_of(bridges_.begin(), bridges_.end(), [](const auto& weak) { return !weak.expired(); });
}

std::weak_ptr<const void> BatchWindow::CurrentBatch() const {
  return bridges_.empty() ? std::weak_ptr<const void>() : std::weak_ptr<const void>(bridges_.back().lock());
}

void BatchWindow::closeEvent(QCloseEvent* event) {
  // Closing only hides the window; it stays loaded for the whole run and a batch goes on.
  event->ignore();
  hide();
}

void BatchWindow::StartBatch() {
  按钮1->setEnabled(false);
  编辑框1->setEnabled(false);
  host_.SetSpeedLimit(kBatchSpeedLimit);

  std::erase_if(bridges_, [](const auto& weak) { return weak.expired(); });
  auto bridge = std::make_shared<UiBridge>(this);
  bridges_.push_back(bridge);
  try {
    // Nobody waits for the worker: it ends by itself, or with the process.
    std::thread(ResolveWorker, bridge, this, sites_).detach();
  } catch (const std::exception&) {
    // No thread could be started: give the window and the speed limit back at once.
    bridges_.pop_back();
    EndBatch();
    host_.SetSpeedLimit(SpeedLimitFromText(host_.SpeedText()));
  }
}

void BatchWindow::SetOnTop(bool on_top) {
  const bool was_visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on_top);
  // Changing a window flag hides the window; a visible window stays visible.
  if (was_visible) show();
}

}  // namespace morvalin
