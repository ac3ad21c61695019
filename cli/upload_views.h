// How an upload session looks on a terminal. One line: the engine's log on
// standard output as it always was, a progress bar, the closing text and
// errors on standard error. Several lines: a row per line, and the log with
// each line labelled.
#pragma once

#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "cli/fleet_view.h"
#include "cli/labelled_log.h"
#include "cli/terminal_operator.h"
#include "engine/log.h"
#include "session/events.h"

class SingleLineView final : public SessionObserver {
 public:
  // `log`: where the engine's log goes (standard output, and the record).
  SingleLineView(LogSink& log, bool quiet, bool terminal) : log_(log), op_(quiet, terminal) {}

  void lineState(std::size_t line, LineState state, const std::vector<int>& addresses) override;
  void progressRange(std::size_t, std::int32_t total) override {
    op_.progressRange(static_cast<std::uint16_t>(total));
  }
  void progress(std::size_t, std::int32_t bytes) override { op_.progressPosition(bytes); }
  void logLine(std::size_t, const std::string& text) override { log_.write(text.c_str()); }
  void closingBox(std::size_t, const std::string& text, bool error) override;

  bool errorShown() const { return op_.errorShown(); }
  // Keeps the closing text of an upload that ended well ("DONE") until
  // showHeld(): what follows (the read-back) decides whether it is true.
  void holdClosing() { hold_ = true; }
  void showHeld();

 private:
  LogSink& log_;
  TerminalOperator op_;
  bool hold_ = false;
  std::string held_;
};

class ManyLinesView final : public SessionObserver {
 public:
  // `labels`: a row each. The log goes to `log`, labelled; while the rows
  // are drawn on the terminal that also shows the log, it is kept and
  // written once they are gone.
  ManyLinesView(const std::vector<std::string>& labels, LogSink& log, bool quiet,
                bool viewOnTerminal, bool keepLogs);
  ~ManyLinesView() override;

  void start() { view_.start(); }
  // Stops drawing and writes the kept log.
  void stop();

  void lineState(std::size_t line, LineState state, const std::vector<int>& addresses) override;
  void progressRange(std::size_t line, std::int32_t total) override { view_.setTotal(line, total); }
  void progress(std::size_t line, std::int32_t bytes) override { view_.setBytes(line, bytes); }
  void logLine(std::size_t line, const std::string& text) override {
    logs_[line]->write(text.c_str());
  }
  void result(const UploadReport& result) override;

 private:
  LogSink& log_;
  FleetView view_;
  std::mutex outLock_;
  std::vector<std::unique_ptr<LabelledLog>> logs_;
  bool stopped_ = false;
};
