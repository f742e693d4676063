// The main window's controls: captions, texts, places and sizes.
#include "app/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <tuple>
#include <vector>

#include "app/click_label.h"
#include "app/global_objects.h"
#include "app/site_notes.h"
#include "app/state_images.h"
#include "resolve/site_table.h"

namespace morvalin {

namespace {

constexpr int kWindowWidth = 777;
constexpr int kWindowHeight = 413;
constexpr int kFontPixels = 12;

QTreeWidget* MakeReportList(QWidget* page,
                            const std::vector<std::tuple<const char*, int, Qt::Alignment>>& columns) {
  auto* tree = new QTreeWidget(page);
  tree->setGeometry(5, 5, 755, 255);
  tree->setRootIsDecorated(false);
  tree->setUniformRowHeights(true);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree->setIconSize(QSize(kStateImageSize, kStateImageSize));
  tree->setColumnCount(static_cast<int>(columns.size()));
  tree->setContextMenuPolicy(Qt::CustomContextMenu);
  tree->header()->setStretchLastSection(false);
  auto* header = tree->headerItem();
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    const auto& [title, width, alignment] = columns[static_cast<std::size_t>(i)];
    header->setText(i, QString::fromUtf8(title));
    header->setTextAlignment(i, alignment | Qt::AlignVCenter);
    tree->setColumnWidth(i, width);
  }
  return tree;
}

QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y, int width, int height) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setGeometry(x, y, width, height);
  return label;
}

}  // namespace

std::string DefaultDownloadDirectory() { return QDir::homePath().toStdString() + "/DJ舞曲/"; }

MainWindow::MainWindow(GlobalObjects& globals, DownloadEngine& engine, std::string run_directory,
                       QWidget* parent)
    : QWidget(parent),
      engine_(engine),
      run_directory_(std::move(run_directory)),
      converter_(run_directory_ + "/zaruzuv3.exe"),
      table_(engine, globals.task_param_block, globals.task_info_block, globals.task_handle_list, store_,
             *this, converter_) {
  setWindowTitle(QStringLiteral("Morvalin V201605101553"));
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(kFontPixels);
  setFont(font);
  move(50, 50);
  setFixedSize(kWindowWidth, kWindowHeight);

  BuildSettingsPanel();
  按钮1 = new QPushButton(QString::fromUtf8("下 载\n\n舞 曲"), this);
  按钮1->setGeometry(688, 7, 80, 48);
  // Three lines in 48 pixels: a smaller font and no padding.
  QFont button_font = font;
  button_font.setPixelSize(11);
  按钮1->setFont(button_font);
  按钮1->setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));
  BuildTabs();
  BuildLinesAndStatus();
  BuildMenus();
  时钟1 = new QTimer(this);
  Connect();
  choose_directory_ = [this] { return QString(); };
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildSettingsPanel() {
  分组框1 = new QGroupBox(this);
  分组框1->setGeometry(2, 1, 678, 53);
  MakeLabel(分组框1, "下载限速：", 8, 20, 52, 19);
  编辑框_下载速度 = new QLineEdit(QStringLiteral("9999"), 分组框1);
  编辑框_下载速度->setGeometry(65, 22, 71, 16);
  MakeLabel(分组框1, "KB/s", 140, 20, 32, 19);
  选择框1 = new QCheckBox(QString::fromUtf8("启动自动开始下载"), 分组框1);
  选择框1->setGeometry(178, 17, 132, 24);
  MakeLabel(分组框1, "下载目录：", 314, 20, 52, 19);
  编辑框_储存路径 = new QLineEdit(QString::fromStdString(DefaultDownloadDirectory()), 分组框1);
  编辑框_储存路径->setGeometry(373, 20, 153, 18);
  auto* browse = new ClickLabel(QString::fromUtf8("浏览"), 分组框1);
  browse->setGeometry(536, 19, 26, 20);
  browse->setCursor(Qt::PointingHandCursor);
  browse->setStyleSheet(QStringLiteral("color: #0645ad; text-decoration: underline;"));
  browse->on_release = [this] { BrowseDownloadDirectory(); };
  透明标签_浏览 = browse;
  按钮2 = new QPushButton(QString::fromUtf8("应 用"), 分组框1);
  按钮2->setGeometry(583, 12, 75, 32);
  for (QLineEdit* edit : {编辑框_下载速度, 编辑框_储存路径}) {
    edit->setTextMargins(0, 0, 0, 0);
    edit->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px 1px; border: 1px solid #7a7a7a; }"));
  }
}

void MainWindow::BuildTabs() {
  高级选择夹1 = new QTabWidget(this);
  高级选择夹1->setGeometry(2, 57, 766, 300);
  auto* running = new QWidget();
  auto* finished = new QWidget();
  auto* notes = new QWidget();
  高级选择夹1->addTab(running, QString::fromUtf8("正在下载"));
  高级选择夹1->addTab(finished, QString::fromUtf8("完成下载"));
  高级选择夹1->addTab(notes, QString::fromUtf8("站点说明"));

  下载列表框 = MakeReportList(running, {{"舞曲名称", 350, Qt::AlignLeft},
                                        {"下载速度", 80, Qt::AlignHCenter},
                                        {"下载进度", 70, Qt::AlignHCenter},
                                        {"下载大小", 70, Qt::AlignHCenter},
                                        {"文件大小", 70, Qt::AlignHCenter},
                                        {"舞曲来源", 80, Qt::AlignLeft}});
  完成列表框 = MakeReportList(finished, {{"舞曲名称", 300, Qt::AlignLeft},
                                         {"完成时间", 180, Qt::AlignLeft},
                                         {"歌曲来源", 100, Qt::AlignLeft},
                                         {"下载目录", 150, Qt::AlignLeft}});
  download_view_.Attach(下载列表框);
  finished_view_.Attach(完成列表框);
  BuildSiteNotes(notes);
}

void MainWindow::BuildSiteNotes(QWidget* page) {
  分组框3 = new QGroupBox(QString::fromUtf8("舞曲下载说明"), page);
  分组框3->setGeometry(5, 5, 750, 205);
  const int tops[] = {18, 40, 62, 84, 106, 128, 152, 177};
  const SiteTable& sites = DefaultSiteTable();
  for (int i = 0; i < static_cast<int>(sites.size()); ++i) {
    auto* line =
        new ClickLabel(QString::fromStdString(SiteNoteLine(sites[static_cast<std::size_t>(i)], i)), 分组框3);
    line->setGeometry(10, tops[i], 720, 16);
    line->setObjectName(QStringLiteral("site_note_%1").arg(i));
    if (i == 6) {
      line->on_press = [this] { table_.ClearFinishedList(); };
      透明标签10 = line;
    }
  }
}

void MainWindow::BuildLinesAndStatus() {
  标签1 = MakeLabel(
      this, "特别声明：本工具下载的歌曲部分站点为试听音源，并非全无损。本软件仅提供学习，请勿使用商业用途。",
      188, 328, 564, 13);
  标签2 = MakeLabel(this, "软件说明：如软件问题请联系 聊天号 dj-help@chat.example  软件更新 ------->", 188,
                    344, 412, 13);
  超级链接框2 = new QLabel(
      QString::fromUtf8("<a href=\"http://www.morvalin.example/download/\">新版本下载 &gt;&gt;</a>"), this);
  超级链接框2->setGeometry(608, 344, 136, 13);
  超级链接框2->setOpenExternalLinks(true);
  超级链接框2->setTextFormat(Qt::RichText);
  for (QLabel* line : {标签1, 标签2, 超级链接框2}) {
    QFont small = font();
    small.setPixelSize(11);
    line->setFont(small);
    line->raise();
  }

  状态条1 = new QStatusBar(this);
  状态条1->setGeometry(0, 392, 763, 20);
  状态条1->setSizeGripEnabled(false);
  status_part_ = new QLabel(状态条1);
  状态条1->addWidget(status_part_, 1);
}

void MainWindow::BuildMenus() {
  // Both menus are only ever shown as popups; the window has no menu bar.
  操作 = new QMenu(QString::fromUtf8("操作"), this);
  删除任务 = 操作->addAction(QString::fromUtf8("删除任务"));
  全部开始 = 操作->addAction(QString::fromUtf8("全部开始"));
  全部暂停 = 操作->addAction(QString::fromUtf8("全部暂停"));
  日志 = new QMenu(QString::fromUtf8("日志"), this);
  清空日志 = 日志->addAction(QString::fromUtf8("清空日志"));
}

}  // namespace morvalin
