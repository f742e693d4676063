#pragma once
// Shared pieces of the batch window tests: the one QApplication of the test process, a site table that
// points every host at a fixture server, and waiting for a condition while events run.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <functional>
#include <string>

#include "resolve/site_table.h"
#include "testsupport/fixture_server.h"

namespace morvalin::test {

// Created on first use and never destroyed: a detached worker may still be ending when the process
// exits, and must not meet a half-destroyed application.
inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "resolve_ui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// The default sites with every host name that a site has replaced by the server's "127.0.0.1:port".
// The host keys stay, so a line is recognised when its address holds "sitex.example" in its path.
inline SiteTable SitesServedBy(const FixtureServer& server) {
  SiteTable sites = DefaultSiteTable();
  for (Site& site : sites) {
    for (std::string* host : {&site.media_host, &site.web_host, &site.image_host}) {
      if (!host->empty()) *host = server.HostPort();
    }
  }
  return sites;
}

// Lets events run until `done` holds or `timeout_ms` passes; returns `done()`.
inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 60'000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return done();
    QTest::qWait(20);
  }
  return true;
}

}  // namespace morvalin::test
