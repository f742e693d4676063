#include "tasks/flv_conversion.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QProcess>
#include <QThread>
#include <filesystem>
#include <system_error>

#include "platform/code_page.h"
#include "platform/file_ops.h"

namespace morvalin {

std::string Mp3PathBeside(const std::string& native_path) {
  std::filesystem::path path(native_path);
  path.replace_extension(".mp3");
  return path.string();
}

ProcessFlvConverter::ProcessFlvConverter(std::string converter_file)
    : converter_file_(std::move(converter_file)), owner_(std::make_unique<QObject>()) {}

// A conversion still running when the program ends is given time to finish, so that it leaves either
// a whole ".mp3" (and no ".flv") or the ".flv" untouched, never a cut-off ".mp3". One that does not end
// in time is killed with its owner; its ".flv" stays.
ProcessFlvConverter::~ProcessFlvConverter() {
  for (QProcess* process : owner_->findChildren<QProcess*>()) {
    if (process->state() != QProcess::NotRunning) process->waitForFinished(kShutdownWaitMs);
  }
}

void ProcessFlvConverter::ConvertFlvDownload(std::string_view flv_path) {
  if (flv_path.empty()) return;
  const std::string flv = GbkToUtf8(flv_path);
  const std::string mp3 = Mp3PathBeside(flv);

  auto* process = new QProcess(owner_.get());
  process->setProgram(QString::fromStdString(converter_file_));
  process->setArguments({QStringLiteral("-a"), QStringLiteral("-o"), QString::fromStdString(flv)});
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  ++running_;

  QObject::connect(process, &QProcess::finished, owner_.get(),
                   [this, process, flv, mp3](int exit_code, QProcess::ExitStatus status) {
                     if (status == QProcess::NormalExit && exit_code == 0 && FileExists(mp3)) {
                       DeleteFileAt(flv);
                     }
                     --running_;
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, owner_.get(),
                   [this, process](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;  // finished follows the others
                     --running_;
                     process->deleteLater();
                   });
  process->start();
}

bool ProcessFlvConverter::WaitForAll(int timeout_ms) {
  QDeadlineTimer deadline(timeout_ms);
  while (running_ > 0 && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(5);
  }
  return running_ == 0;
}

}  // namespace morvalin
