// A program that ends the way morvalin ends, in the middle of a batch: it starts a batch of the given
// text on a batch window whose sites all live at the given "host:port", waits for a line on its
// standard input, then destroys the window, leaves the event loop and returns from main while the
// worker may still be waiting for a page. The test that runs it expects exit code 0.
//   batch_exit_probe <host:port> <batch text>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <cstdint>
#include <cstdio>  // fileno
#include <string>

#include "resolve/batch_host.h"
#include "resolve/batch_window.h"

namespace {

class SilentHost : public morvalin::BatchHost {
 public:
  std::string DirectoryText() override { return "/tmp/"; }
  std::string SpeedText() override { return "9999"; }
  void SetSpeedLimit(std::int32_t) override {}
  void CreateResolvedTask(const std::string&, const std::string&, const std::string&,
                          const std::string&) override {}
};

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) return 2;
  QApplication app(argc, argv);
  morvalin::SiteTable sites = morvalin::DefaultSiteTable();
  for (morvalin::Site& site : sites) {
    for (std::string* host : {&site.media_host, &site.web_host, &site.image_host}) {
      if (!host->empty()) *host = argv[1];
    }
  }
  SilentHost host;
  auto* window = new morvalin::BatchWindow(host, sites);
  window->show();
  window->编辑框1->setPlainText(QString::fromLocal8Bit(argv[2]));
  QTest::mouseClick(window->按钮1, Qt::LeftButton);

  QSocketNotifier quit_request(fileno(stdin), QSocketNotifier::Read);
  QObject::connect(&quit_request, &QSocketNotifier::activated, [&] {
    quit_request.setEnabled(false);
    delete window;
    app.quit();
  });
  app.exec();
  return 0;
}
